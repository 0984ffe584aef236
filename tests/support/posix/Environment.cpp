#include "Environment.h"

#include <cstdlib>
#include <system_error>
#include <unistd.h>

namespace zeb::test {

namespace fs = std::filesystem;

std::optional<std::string> GetEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

void SetEnvironment(const char* name, const std::string& value) {
    ::setenv(name, value.c_str(), 1);
}

void UnsetEnvironment(const char* name) {
    ::unsetenv(name);
}

long CurrentProcessNumber() {
    return static_cast<long>(::getpid());
}

void PointHomeAt(const fs::path& home) {
    // A display server reached through the user's ~/.Xauthority stays reachable: that file's path
    // is all that is taken from the user's own home; nothing there is read or written.
    const char* userHome = std::getenv("HOME");
    if (std::getenv("XAUTHORITY") == nullptr && userHome != nullptr && *userHome != '\0' &&
        ::access((std::string(userHome) + "/.Xauthority").c_str(), R_OK) == 0)
        ::setenv("XAUTHORITY", (std::string(userHome) + "/.Xauthority").c_str(), 1);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home / ".local/share").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home / ".cache").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (home / ".local/state").c_str(), 1);
    // Where a session gives none (a terminal without a desktop, the CI), Qt warns at every
    // start and makes one in /tmp: a private one here.
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime == nullptr || *runtime == '\0') {
        const fs::path folder = home / "runtime";
        std::error_code ignored;
        fs::create_directory(folder, ignored);
        fs::permissions(folder, fs::perms::owner_all, ignored);
        ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    }
}

} // namespace zeb::test
