#include "Messages.h"

#include "MemberName.h"
#include "core/Cp1252.h"
#include "platform/Platform.h"
#include "zipformat/UnzDllMessages.h"
#include "zipformat/ZipDlls.h"

#include <cerrno>
#include <stdexcept>

namespace zeb::unzdll {
namespace {

// The sentences are written here in UTF-8 and handed over in the interface's code page.
std::string ansi(std::string_view utf8) {
    try {
        return cp1252::fromUtf8(utf8);
    } catch (const std::invalid_argument&) {
        return std::string(utf8); // every sentence below is representable; this is a safety net
    }
}

std::string systemReason(int error) {
    switch (error) {
    case ENOENT:
        return "fichier introuvable";
    case EACCES:
    case EPERM:
        return "accès refusé";
    case ENOSPC:
        return "le disque est plein";
#ifdef EDQUOT // not every system has quotas
    case EDQUOT:
        return "quota dépassé";
#endif
    case EROFS:
        return "support en lecture seule";
    case ENAMETOOLONG:
        return "nom trop long";
    case EIO:
        return "erreur d'entrée-sortie";
    case EISDIR:
        return "c'est un dossier";
    case EEXIST:
        return "un fichier du même nom est apparu entre-temps";
    default:
        return FrenchReason(error);
    }
}

std::string withReason(std::string_view sentence, int error) {
    std::string text(sentence);
    if (error != 0) {
        text += " (";
        text += systemReason(error);
        text += ")";
    }
    text += ".";
    return text;
}

// A sentence around a Windows-1252 name: the name is spliced in after the conversion so that
// its bytes pass through untouched. The caller's buffer holds 511 bytes: a name too long for
// it keeps its start and end around "…", so that the reason always reaches the user whole.
std::string aroundName(std::string_view before, std::string_view member, std::string_view after) {
    const std::string head = ansi(before);
    const std::string tail = ansi(after);
    std::string name = PrintableName(member);
    constexpr std::size_t Capacity = UNZIP_ACTION_TEXT_SIZE - 1;
    const std::size_t room = Capacity > head.size() + tail.size() ? Capacity - head.size() - tail.size() : 0;
    if (name.size() > room) {
        const std::size_t kept = room > 0 ? room - 1 : 0;
        const std::size_t start = (kept + 1) / 2;
        name = name.substr(0, start) + '\x85' + name.substr(name.size() - (kept - start));
    }
    return head + name + tail;
}

std::string aboutMember(std::string_view member, std::string_view rest) {
    return aroundName("Le membre « ", member, " »" + std::string(rest));
}

} // namespace

std::string MessageText(int code, std::string_view member, int detail) {
    switch (code) {
    case UNZDLL_MSG_FOLDER_UNAVAILABLE:
        return ansi(withReason("Le dossier d'extraction est inaccessible, rien n'a été extrait", detail));
    case UNZDLL_MSG_ARCHIVE_UNREADABLE:
        if (detail != 0)
            return ansi(withReason("L'archive ne peut pas être ouverte", detail));
        return ansi("Le fichier n'est pas une archive zip lisible, rien n'a été extrait.");
    case UNZDLL_MSG_ARCHIVE_SPANNED:
        return ansi("L'archive est répartie sur plusieurs disques, ce qui n'est pas pris en charge : rien "
                    "n'a été extrait.");
    case UNZDLL_MSG_DIRECTORY_DAMAGED:
        return ansi("Le répertoire de l'archive est endommagé : rien n'a été extrait.");
    case UNZDLL_MSG_ZIP64_TOO_LARGE:
        return ansi("L'archive est au format Zip64 avec des tailles ou des positions trop grandes pour ce "
                    "programme : rien n'a été extrait.");
    case UNZDLL_MSG_DUPLICATE_NAMES:
        return aroundName("L'archive contient plusieurs membres nommés « ", member,
                          " » : elle est refusée, rien n'a été extrait.");
    case UNZDLL_MSG_MEMBERS_OVERLAP:
        return aboutMember(member, " chevauche un autre membre ou le répertoire de l'archive, ou son "
                                   "en-tête manque : l'archive est refusée, rien n'a été extrait.");
    case UNZDLL_MSG_INCONSISTENT:
        if (member.empty())
            return ansi("L'archive est incohérente : elle est refusée, rien n'a été extrait.");
        return aboutMember(member, " n'est pas décrit de façon cohérente dans l'archive : elle est "
                                   "refusée, rien n'a été extrait.");
    case UNZDLL_MSG_UNSUPPORTED_METHOD:
        return aboutMember(member, " est compressé par une méthode non prise en charge (méthode " +
                                       std::to_string(detail) + ") : rien n'a été extrait.");
    case UNZDLL_MSG_UNSUPPORTED_ENCRYPTION:
        return aboutMember(member,
                           " est chiffré par une méthode non prise en charge : rien n'a été extrait.");
    case UNZDLL_MSG_RUN_TOO_LARGE:
        return ansi("Les membres demandés dépassent 64 Mio une fois décompressés : rien n'a été extrait.");

    case UNZDLL_MSG_NAME_ABSOLUTE:
        return aboutMember(member, " a été refusé : son chemin est absolu.");
    case UNZDLL_MSG_NAME_DRIVE:
        return aboutMember(member, " a été refusé : son chemin commence par une lettre de lecteur.");
    case UNZDLL_MSG_NAME_PARENT:
        return aboutMember(member, " a été refusé : son chemin sort du dossier d'extraction.");
    case UNZDLL_MSG_NAME_CONTROL:
        return aboutMember(member, " a été refusé : son nom contient un caractère de contrôle.");
    case UNZDLL_MSG_NAME_MALFORMED:
        return aboutMember(member,
                           " a été refusé : son nom est vide ou son chemin a un élément vide ou « . ».");
    case UNZDLL_MSG_NAME_NOT_ALLOWED:
        return aboutMember(member, " a été refusé : son nom n'est pas permis sur ce système.");
    case UNZDLL_MSG_SYMLINK_MEMBER:
        return aboutMember(member, " a été refusé : c'est un lien symbolique.");
    case UNZDLL_MSG_PATH_NOT_FOLDER:
        return aboutMember(member, " a été refusé : un dossier de son chemin est un lien symbolique ou "
                                   "n'est pas un dossier.");
    case UNZDLL_MSG_TARGET_NOT_FILE:
        return aboutMember(member, " a été refusé : sa place est prise par un lien symbolique, un dossier "
                                   "ou un fichier spécial.");
    case UNZDLL_MSG_MEMBER_TOO_LARGE:
        return aboutMember(member, " a été refusé : il dépasse 64 Mio une fois décompressé.");
    case UNZDLL_MSG_RATIO:
        return aboutMember(member, " a été refusé : il est compressé à plus de 1000 pour 1, ce qui "
                                   "signale une archive piégée.");
    case UNZDLL_MSG_SIZE_MISMATCH:
        return aboutMember(member, " a été refusé : sa taille une fois décompressé n'est pas celle "
                                   "annoncée par l'archive.");
    case UNZDLL_MSG_DAMAGED:
        return aboutMember(member, " n'a pas été extrait : ses données sont endommagées.");
    case UNZDLL_MSG_WRONG_PASSWORD:
        return aboutMember(member, " n'a pas été extrait : le mot de passe est incorrect.");
    case UNZDLL_MSG_WRITE_FAILED:
        // Running out of descriptors or memory is no fault of the disk.
        if (detail == EMFILE || detail == ENFILE || detail == ENOMEM)
            return aboutMember(member, " n'a pas été extrait : " + systemReason(detail) + ".");
        return aboutMember(member,
                           withReason(" n'a pas été extrait : l'écriture sur le disque a échoué", detail));
    default:
        return aboutMember(member, " n'a pas été extrait.");
    }
}

} // namespace zeb::unzdll
