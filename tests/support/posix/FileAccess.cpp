#include "FileAccess.h"

#include <system_error>

namespace zeb::test {

// Read and write for the user alone; a folder the user may also go into.
bool ReadableByUserOnly(const std::filesystem::path& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    const fs::perms expected = status.type() == fs::file_type::directory
                                   ? fs::perms::owner_all
                                   : fs::perms::owner_read | fs::perms::owner_write;
    return !error && (status.permissions() & fs::perms::all) == expected;
}

} // namespace zeb::test
