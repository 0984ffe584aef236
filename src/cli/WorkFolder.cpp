#include "WorkFolder.h"

#include "core/Errors.h"
#include "core/WorkFiles.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace zeb::cli {
namespace fs = std::filesystem;

fs::path BaseWorkFolder() {
    std::string reasons;
    const auto usable = [&reasons](const char* name, const char* value) {
        std::string why;
        struct stat info {};
        if (value == nullptr || *value == '\0')
            why = "n'est pas défini";
        else if (*value != '/')
            why = "« " + std::string(value) + " » n'est pas un chemin absolu";
        else if (::stat(value, &info) != 0)
            why = "« " + std::string(value) + " » n'existe pas";
        else if (!S_ISDIR(info.st_mode))
            why = "« " + std::string(value) + " » n'est pas un dossier";
        else if (::access(value, W_OK | X_OK) != 0)
            why = "« " + std::string(value) + " » n'est pas accessible en écriture";
        else
            return true;
        reasons += std::string("\n  ") + name + " : " + why + ".";
        return false;
    };
    for (const char* variable : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
        const char* value = std::getenv(variable);
        if (usable(variable, value))
            return value;
    }
    if (usable("dossier temporaire du système", "/tmp"))
        return "/tmp";
    throw ZebError("aucun dossier ne peut recevoir le dossier de travail temporaire :" + reasons);
}

PrivateFolder::PrivateFolder(const fs::path& parent, std::string_view prefix, std::string_view what) {
    std::string pattern = (parent / (std::string(prefix) + "XXXXXX")).string();
    const std::string parentName = parent.string();
    std::string name;
    name.reserve(prefix.size() + 6);
    const auto fail = [what](int error) {
        throw ZebError(std::string(what) + " : " + FrenchReason(error) + ".");
    };
    const SignalsHeld held;
    place_.emplace();
    if (!place_->reserved())
        fail(EMFILE);
    if (::mkdtemp(pattern.data()) == nullptr)
        fail(errno);
    name.assign(pattern, pattern.size() - prefix.size() - 6);
    if (!place_->arm(parentName.c_str(), name.c_str(), RemovedOnInterruption::Kind::Tree)) {
        const int error = errno;
        ::rmdir(pattern.c_str());
        fail(error);
    }
    path_ = pattern;
}

PrivateFolder::~PrivateFolder() {
    remove();
}

bool PrivateFolder::remove() {
    const SignalsHeld held;
    return !place_ || place_->removeNow();
}

void PrivateFolder::keep() {
    if (place_)
        place_->keep();
}

} // namespace zeb::cli
