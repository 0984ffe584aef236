#include "PrivateHome.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>
#include <unistd.h>

namespace zeb::test {
namespace {

namespace fs = std::filesystem;

class PrivateHomeFolder {
public:
    PrivateHomeFolder() : owner_(::getpid()) {
        std::error_code noTemp;
        fs::path temp = fs::temp_directory_path(noTemp);
        if (noTemp)
            temp = "/tmp";
        std::string pattern = (temp / "zeb-home-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("zeb : impossible de créer un dossier personnel privé pour les tests");
            std::_Exit(2); // never fall back on the user's own folders
        }
        path_ = pattern;
        // A display server reached through the user's ~/.Xauthority stays reachable.
        const char* home = std::getenv("HOME");
        if (std::getenv("XAUTHORITY") == nullptr && home != nullptr && *home != '\0' &&
            ::access((std::string(home) + "/.Xauthority").c_str(), R_OK) == 0)
            ::setenv("XAUTHORITY", (std::string(home) + "/.Xauthority").c_str(), 1);
        ::setenv("HOME", path_.c_str(), 1);
        ::setenv("XDG_DATA_HOME", (path_ / ".local/share").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (path_ / ".config").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", (path_ / ".cache").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (path_ / ".local/state").c_str(), 1);
        // Where a session gives none (a terminal without a desktop, the CI), Qt warns at every
        // start and makes one in /tmp: a private one here.
        if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime == nullptr || *runtime == '\0') {
            const fs::path folder = path_ / "runtime";
            std::error_code ignored;
            fs::create_directory(folder, ignored);
            fs::permissions(folder, fs::perms::owner_all, ignored);
            ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
        }
    }
    ~PrivateHomeFolder() {
        // A forked child that exits must not take its parent's home away.
        if (::getpid() != owner_)
            return;
        // Folders a test left read-only are opened up first. No exception may leave: this runs
        // at exit.
        std::error_code stop, ignored;
        fs::recursive_directory_iterator entry(path_, fs::directory_options::skip_permission_denied, stop);
        for (; !stop && entry != fs::recursive_directory_iterator(); entry.increment(stop))
            if (entry->is_directory(ignored) && !entry->is_symlink(ignored))
                fs::permissions(entry->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    PrivateHomeFolder(const PrivateHomeFolder&) = delete;
    PrivateHomeFolder& operator=(const PrivateHomeFolder&) = delete;

    const fs::path& path() const { return path_; }

private:
    pid_t owner_;
    fs::path path_;
};

// Before any other static object of the program, so before anything can read HOME.
__attribute__((init_priority(101))) PrivateHomeFolder privateHome;

} // namespace

const std::filesystem::path& PrivateHome() {
    return privateHome.path();
}

} // namespace zeb::test
