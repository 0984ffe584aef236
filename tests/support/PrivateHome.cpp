#include "PrivateHome.h"

#include "Environment.h"
#include "TempFolder.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <system_error>

namespace zeb::test {
namespace {

namespace fs = std::filesystem;

class PrivateHomeFolder {
public:
    PrivateHomeFolder() : owner_(CurrentProcessNumber()) {
        std::error_code noTemp;
        fs::path temp = fs::temp_directory_path(noTemp);
        if (noTemp)
            temp = "/tmp";
        try {
            path_ = MakeUniqueFolder(temp, "zeb-home-");
        } catch (const std::exception& error) {
            std::fprintf(stderr, "zeb : impossible de créer un dossier personnel privé pour les tests : %s\n",
                         error.what());
            std::_Exit(2); // never fall back on the user's own folders
        }
        PointHomeAt(path_);
    }
    ~PrivateHomeFolder() {
        // A forked child that exits must not take its parent's home away.
        if (CurrentProcessNumber() != owner_)
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
    long owner_;
    fs::path path_;
};

// Before any other static object of the program, so before anything can read the home folder.
__attribute__((init_priority(101))) PrivateHomeFolder privateHome;

} // namespace

const std::filesystem::path& PrivateHome() {
    return privateHome.path();
}

} // namespace zeb::test
