#pragma once

#include "Interruption.h"

#include <filesystem>
#include <optional>
#include <string_view>

namespace zeb::cli {

// The user's runtime folder lives in memory on a desktop session, so pupil data never
// reaches the disk there; elsewhere the temporary folder the user chose, else /tmp. Only a
// folder the user can write into will do; when none does, the ZebError says why of each.
std::filesystem::path BaseWorkFolder();

// A new folder of the user's only, named `prefix` and six random characters inside `parent`,
// that goes as a whole tree when this goes, on a signal too, whatever was put in it; unless
// kept. Throws ZebError with `what` and the reason when it cannot be made.
class PrivateFolder {
public:
    PrivateFolder(const std::filesystem::path& parent, std::string_view prefix, std::string_view what);
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // True when nothing of it remains.
    bool remove();
    // It stays, as it is now or under a name it was renamed to. Call with the signals held,
    // together with the rename.
    void keep();

private:
    std::filesystem::path path_;
    std::optional<RemovedOnInterruption> place_;
};

} // namespace zeb::cli
