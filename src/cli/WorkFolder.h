#pragma once

#include <filesystem>
#include <string_view>

namespace zeb::cli {

// The user's runtime folder lives in memory on a desktop session, so pupil data never
// reaches the disk there; elsewhere the temporary folder the user chose, else /tmp. Only a
// folder the user can write into will do; when none does, the ZebError says why of each.
std::filesystem::path BaseWorkFolder();

// The name of every work folder made there, followed by six random characters.
inline constexpr std::string_view WorkFolderPrefix = "zeb-fiches-";

// Every folder that zeb-fiches makes beside the user's files holds this mark: a file whose
// first line is OwnMarkLine. Only a folder that holds it is ever taken for one of ZEB's own.
inline constexpr std::string_view OwnMarkName = ".zeb";
inline constexpr std::string_view OwnMarkLine = "ZEB v2 zeb-fiches";

// A new folder of the user's only, named `prefix` and six random characters inside `parent`,
// holding ZEB's mark, that goes as a whole tree when this goes, whatever was put in it; unless
// kept. With Lock::Held the mark stays locked while this lives, so that another run never
// takes the folder for a leftover; Lock::None is for folders the caller covers with a lock of
// its own. Throws ZebError with `what` and the reason when it cannot be made.
class PrivateFolder {
public:
    enum class Lock { Held, None };
    PrivateFolder(const std::filesystem::path& parent, std::string_view prefix, std::string_view what,
                  Lock lock = Lock::Held);
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // True when nothing of it remains.
    bool remove();
    // It stays, as it is now or under a name it was renamed to.
    void keep();

private:
    void releaseMark();

    std::filesystem::path path_;
    int markFd_ = -1;
    bool gone_ = false;
};

// True for a folder that a run of zeb-fiches made and left behind when it was killed: a real
// folder (not a link) of this user's, holding ZEB's mark, which no running program holds
// locked; or an empty folder of this user's, untouched for an hour (killed before its mark).
bool IsStaleOwnFolder(const std::filesystem::path& folder);

// Removes the folders of `parent` whose name starts with `prefix` that IsStaleOwnFolder
// recognises, and nothing else. Errors are ignored: a leftover that stays does no harm to the run.
void RemoveStaleFolders(const std::filesystem::path& parent, std::string_view prefix);

} // namespace zeb::cli
