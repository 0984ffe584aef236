#include "Environment.h"

#include <cstdlib>
#include <process.h>
#include <string_view>
#include <system_error>

namespace zeb::test {
namespace {

namespace fs = std::filesystem;

std::wstring wide(std::string_view text) {
    return fs::path(std::u8string_view(reinterpret_cast<const char8_t*>(text.data()), text.size())).wstring();
}

std::string utf8(const std::wstring& text) {
    const std::u8string bytes = fs::path(text).u8string();
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

} // namespace

// The C run time's wide environment, which it keeps in step with the process's (Qt and the child
// processes read the latter).
std::optional<std::string> GetEnvironment(const char* name) {
    const wchar_t* value = ::_wgetenv(wide(name).c_str());
    return value != nullptr ? std::optional<std::string>(utf8(value)) : std::nullopt;
}

void SetEnvironment(const char* name, const std::string& value) {
    ::_wputenv_s(wide(name).c_str(), wide(value).c_str());
}

void UnsetEnvironment(const char* name) {
    ::_wputenv_s(wide(name).c_str(), L""); // an empty value removes the variable
}

long CurrentProcessNumber() {
    return static_cast<long>(::_getpid());
}

void PointHomeAt(const fs::path& home) {
    const std::pair<const char*, fs::path> folders[] = {
        {"USERPROFILE", home},
        {"HOME", home},
        {"APPDATA", home / "AppData" / "Roaming"},
        {"LOCALAPPDATA", home / "AppData" / "Local"},
        {"TEMP", home / "Temp"},
        {"TMP", home / "Temp"},
    };
    for (const auto& [name, folder] : folders) {
        std::error_code ignored;
        fs::create_directories(folder, ignored);
        ::_wputenv_s(wide(name).c_str(), folder.wstring().c_str());
    }
    // Under Wine the POSIX host's XDG folders come along in the environment: they name folders
    // outside the home, which nothing here should take for its own.
    for (const char* name :
         {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"})
        UnsetEnvironment(name);
}

} // namespace zeb::test
