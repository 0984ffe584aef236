#include "Files.h"

#include "Descriptor.h"
#include "core/Cp1252.h"
#include "core/Errors.h"
#include "platform/Platform.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zeb {
namespace fs = std::filesystem;
using posix::FileDescriptor;

namespace {

std::string quoted(const fs::path& file) {
    return "« " + PrintableName(file.string()) + " »";
}

[[noreturn]] void failBecause(const char* what, const fs::path& file, const std::string& reason) {
    throw ZebError(std::string(what) + " " + quoted(file) + " : " + reason + ".");
}

[[noreturn]] void fail(const char* what, const fs::path& file, int errorNumber) {
    failBecause(what, file, FrenchReason(errorNumber));
}

constexpr const char* NotOrdinaryReason =
    "ce n'est pas un fichier ordinaire (c'est un tube, un périphérique ou une socket)";
constexpr const char* LinkReason =
    "c'est un lien symbolique, que ZEB ne suit pas pour les données des élèves ; supprimez-le";
constexpr const char* FolderReason = "c'est un dossier, pas un fichier";

// Why a file of this kind cannot be read or written as a document, or nothing for an
// ordinary file.
const char* refusalFor(mode_t mode) {
    if (S_ISREG(mode))
        return nullptr;
    if (S_ISDIR(mode))
        return FolderReason;
    if (S_ISLNK(mode))
        return LinkReason;
    return NotOrdinaryReason;
}

// Opened without O_NONBLOCK a pipe waits for a writer and a device may never answer; the
// flag is cleared once the descriptor is known to be an ordinary file.
void checkOrdinaryAndBlock(int fd, const char* what, const fs::path& file) {
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        fail(what, file, errno);
    if (const char* reason = refusalFor(info.st_mode))
        failBecause(what, file, reason);
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        fail(what, file, errno);
}

std::string describeLimit(std::size_t limit) {
    if (limit >= (std::size_t{1} << 20))
        return std::to_string(limit >> 20) + " Mo";
    return CountOf(static_cast<long long>(limit), "octet", "octets");
}

// Reads `name` relative to `folder` (AT_FDCWD for a path); `file` is the path shown in
// messages.
std::string readAt(int folder, const char* name, const fs::path& file, std::size_t limit, bool followLinks) {
    const char* cannotOpen = "Impossible d'ouvrir le fichier";
    const char* cannotRead = "Impossible de lire le fichier";
    struct stat info {};
    if (::fstatat(folder, name, &info, followLinks ? 0 : AT_SYMLINK_NOFOLLOW) != 0)
        fail(cannotOpen, file, errno);
    if (const char* reason = refusalFor(info.st_mode))
        failBecause(cannotRead, file, reason);
    FileDescriptor fd(
        ::openat(folder, name, O_RDONLY | O_NONBLOCK | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW)));
    if (fd.get() < 0)
        fail(cannotOpen, file, errno);
    // Checked again on what was opened: the name may have been swapped in between.
    checkOrdinaryAndBlock(fd.get(), cannotRead, file);
    if (::fstat(fd.get(), &info) != 0)
        fail(cannotRead, file, errno);
    auto tooLarge = [&] {
        throw ZebError("Le fichier " + quoted(file) + " est trop volumineux (plus de " +
                       describeLimit(limit) + ") pour être un export de classe.");
    };
    if (static_cast<std::uintmax_t>(info.st_size) > limit)
        tooLarge();
    std::string contents;
    contents.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            fail(cannotRead, file, errno);
        }
        if (got == 0)
            break;
        contents.append(buffer, static_cast<std::size_t>(got));
        if (contents.size() > limit) // a file that grew while being read
            tooLarge();
    }
    return contents;
}

// Writes everything or returns the errno of the failure (0 on success).
int writeAll(int fd, std::string_view contents) {
    std::size_t written = 0;
    while (written < contents.size()) {
        const ssize_t done = ::write(fd, contents.data() + written, contents.size() - written);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        written += static_cast<std::size_t>(done);
    }
    return 0;
}

// Writes `name` relative to `folder` (AT_FDCWD for a path); `file` is the path shown in
// messages.
void writeAt(int folder, const char* name, const fs::path& file, std::string_view contents) {
    const char* cannotWrite = "Impossible d'écrire le fichier";
    FileDescriptor fd(::openat(folder, name, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
    if (fd.get() < 0) {
        if (errno == ELOOP)
            failBecause(cannotWrite, file, LinkReason);
        if (errno == ENXIO) // a pipe nobody reads, or a device without its hardware
            failBecause(cannotWrite, file, NotOrdinaryReason);
        fail("Impossible de créer le fichier", file, errno);
    }
    checkOrdinaryAndBlock(fd.get(), cannotWrite, file);
    int error = writeAll(fd.get(), contents);
    if (error == 0 && ::ftruncate(fd.get(), static_cast<off_t>(contents.size())) != 0)
        error = errno;
    // Some file systems (network, FUSE) report a full disk only when the file is closed.
    if (::close(fd.release()) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        ::unlinkat(folder, name, 0);
        fail(cannotWrite, file, error);
    }
}

int openWorkFolder(const fs::path& folder) {
    return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

} // namespace

void RemoveFilesIn(const fs::path& folder, const std::vector<std::string_view>& names) {
    FileDescriptor held(openWorkFolder(folder));
    if (held.get() < 0)
        return; // absent, or a link whose target is not ours to empty
    for (std::string_view name : names)
        ::unlinkat(held.get(), std::string(name).c_str(), 0);
}

WorkFolderHandle::WorkFolderHandle(const fs::path& folder) : path_(folder), handle_(-1) {
    if (::mkdir(path_.c_str(), 0700) != 0 && errno != EEXIST)
        fail("Impossible de créer le dossier de travail", path_, errno);
    handle_ = openWorkFolder(path_);
    if (handle_ >= 0)
        return;
    const int error = errno;
    struct stat info {};
    if (::lstat(path_.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
        throw ZebError("Le dossier de travail " + quoted(path_) +
                       " est un lien symbolique : ZEB n'écrit pas les données des élèves à travers un "
                       "lien. Supprimez ce lien ; ZEB recréera le dossier au prochain chargement.");
    if (error == ENOTDIR)
        throw ZebError(quoted(path_) + " n'est pas un dossier : ZEB a besoin d'un dossier de ce nom pour "
                                       "ses fichiers de travail. Déplacez ou supprimez ce fichier.");
    fail("Impossible d'ouvrir le dossier de travail", path_, error);
}

WorkFolderHandle::~WorkFolderHandle() {
    if (handle_ >= 0)
        ::close(static_cast<int>(handle_));
}

void WorkFolderHandle::write(std::string_view name, std::string_view contents) const {
    writeAt(static_cast<int>(handle_), std::string(name).c_str(), path_ / name, contents);
}

std::string WorkFolderHandle::read(std::string_view name) const {
    return readAt(static_cast<int>(handle_), std::string(name).c_str(), path_ / name, MaxReadBytes, false);
}

PathInfo InspectPath(const fs::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return errno == ENOENT ? PathInfo{} : PathInfo{PathInfo::Kind::Unknown, 0, false, errno};
    const PathInfo::Kind kind = S_ISREG(info.st_mode)   ? PathInfo::Kind::File
                                : S_ISDIR(info.st_mode) ? PathInfo::Kind::Folder
                                : S_ISLNK(info.st_mode) ? PathInfo::Kind::Link
                                                        : PathInfo::Kind::Other;
    return {kind, static_cast<std::uint64_t>(info.st_size), info.st_uid == ::geteuid(), 0};
}

std::string FrenchReason(int errorNumber) {
    switch (errorNumber) {
    case ENOENT:
        return "fichier ou dossier introuvable";
    case EACCES:
    case EPERM:
        return "accès refusé";
    case EISDIR:
        return FolderReason;
    case ENOTDIR:
        return "un élément du chemin n'est pas un dossier";
    case ENOSPC:
        return "le disque est plein";
    case EDQUOT:
        return "votre quota d'espace disque est atteint";
    case EROFS:
        return "le support est en lecture seule";
    case EIO:
        return "erreur d'entrée-sortie du support";
    case ENAMETOOLONG:
        return "nom de fichier trop long";
    case ELOOP:
        return "lien symbolique refusé";
    case EMFILE:
        return "trop de fichiers ouverts à la fois par le programme";
    case ENFILE:
        return "trop de fichiers ouverts à la fois sur l'ordinateur";
    case EFBIG:
        return "fichier trop volumineux";
    case EINVAL:
        return "nom de fichier ou opération non valable sur ce support";
    case EXDEV:
        return "déplacement impossible d'un disque à un autre";
    case EBUSY:
        return "le fichier ou le support est occupé";
    case ENOTEMPTY:
        return "le dossier n'est pas vide";
    case EEXIST:
        return "un fichier ou un dossier de ce nom existe déjà";
    case ETXTBSY:
        return "le fichier est en cours d'utilisation par un programme";
    case EAGAIN:
        return "ressource momentanément indisponible ; réessayez";
    case ENOMEM:
        return "mémoire insuffisante";
    case EOPNOTSUPP:
#if ENOTSUP != EOPNOTSUPP
    case ENOTSUP:
#endif
        return "opération non prise en charge par ce support";
    case ENOSYS:
        return "fonction non disponible sur ce système";
    case ENOLCK:
        return "verrouillage du fichier impossible";
    case ESTALE:
        return "le fichier n'est plus accessible sur le partage réseau";
    case ENODEV:
    case ENXIO:
        return "périphérique absent ou non disponible";
    case EINTR:
        return "opération interrompue";
    case EBADF:
        return "fichier fermé avant la fin de l'opération";
    case ENOTCONN:
    case ECONNABORTED:
    case EHOSTDOWN:
    case ENETDOWN:
        return "le partage réseau ne répond plus";
    case EOVERFLOW:
        return "fichier trop volumineux pour ce programme";
    default:
        // No English text of the C library: the number is what a technician needs.
        return "erreur système " + std::to_string(errorNumber);
    }
}

std::string ReadWholeFile(const fs::path& file, std::size_t limit) {
    return readAt(AT_FDCWD, file.c_str(), file, limit, true);
}

void WriteWorkFile(const fs::path& file, std::string_view contents) {
    writeAt(AT_FDCWD, file.c_str(), file, contents);
}

namespace {

// Fallback where a file without a name cannot be made: a hidden temporary file beside `file`.
int replaceThroughNamedFile(const fs::path& folder, const fs::path& file, std::string_view contents) {
    std::string pattern = (folder / (posix::HiddenStem(file) + ".XXXXXX")).string();
    FileDescriptor fd(::mkostemp(pattern.data(), O_CLOEXEC));
    if (fd.get() < 0)
        return errno;
    int error = writeAll(fd.get(), contents);
    if (error == 0 && ::fdatasync(fd.get()) != 0)
        error = errno;
    if (::close(fd.release()) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(pattern.c_str(), file.c_str()) != 0)
        error = errno;
    if (error != 0)
        ::unlink(pattern.c_str());
    return error;
}

int linkTo(const std::string& unnamed, const fs::path& name) {
    return ::linkat(AT_FDCWD, unnamed.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

// Gives the complete file `unnamed` (its /proc/self/fd path) the name `file`: directly when the
// name is free, otherwise under a hidden name beside it, then renamed over it. rename replaces
// whatever has the name, a symbolic link included, and never writes through it.
int nameFile(const std::string& unnamed, const fs::path& folder, const fs::path& file) {
    int error = linkTo(unnamed, file);
    if (error != EEXIST)
        return error;
    static std::atomic<unsigned> attempt{0};
    for (int tries = 0; tries < 100; ++tries) {
        const fs::path hidden = folder / (posix::HiddenStem(file) + "." + std::to_string(::getpid()) + "-" +
                                          std::to_string(attempt++));
        error = linkTo(unnamed, hidden);
        if (error == EEXIST)
            continue;
        if (error != 0)
            return error;
        if (::rename(hidden.c_str(), file.c_str()) == 0)
            return 0;
        error = errno;
        ::unlink(hidden.c_str());
        return error;
    }
    return EEXIST;
}

} // namespace

int ReplaceFile(const fs::path& file, std::string_view contents) {
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    // A file opened with O_TMPFILE is given its name through its /proc/self/fd link.
    const bool unnamedFiles = ::access("/proc/self/fd", X_OK) == 0;
    FileDescriptor fd(unnamedFiles ? ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600) : -1);
    if (fd.get() < 0) {
        // Older kernels and some file systems have no unnamed files.
        if (unnamedFiles && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return errno;
        return replaceThroughNamedFile(folder, file, contents);
    }
    // The mode asked for is cut by the user's umask: set it whole, as for every pupil file.
    int error = ::fchmod(fd.get(), 0600) != 0 ? errno : writeAll(fd.get(), contents);
    if (error == 0 && ::fdatasync(fd.get()) != 0)
        error = errno;
    if (error == 0)
        error = nameFile("/proc/self/fd/" + std::to_string(fd.get()), folder, file);
    return error;
}

void WriteFileAtomically(const fs::path& file, std::string_view contents) {
    if (const int error = ReplaceFile(file, contents); error != 0)
        fail("Impossible d'écrire le fichier", file, error);
}

} // namespace zeb
