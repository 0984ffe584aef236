// The extraction folder on Windows. Every folder on the way is held open without FILE_SHARE_DELETE,
// so that it can be neither renamed nor replaced by a junction while the extraction runs below
// it; what lies below is then reached by its full name from there, every name opened with
// FILE_FLAG_OPEN_REPARSE_POINT (a reparse point is opened itself, never followed, and refused),
// every file made with CREATE_NEW (never an existing file, nor through a link).

#define _CRT_RAND_S // rand_s, the system's random numbers
#include "platform/Platform.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <windows.h>

namespace zeb {
namespace {

namespace fs = std::filesystem;

constexpr std::intptr_t NoHandle = -1;

HANDLE asHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

void closeHandle(std::intptr_t& handle) {
    if (handle != NoHandle)
        ::CloseHandle(asHandle(std::exchange(handle, NoHandle)));
}

// The errno value the library's messages know for a Windows error.
int errorNumber(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW:
        return ENAMETOOLONG;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_CANT_RESOLVE_FILENAME:
    case ERROR_CANT_ACCESS_FILE:
        return ELOOP;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
        return EINVAL;
    default:
        return EIO;
    }
}

int lastError() {
    return errorNumber(::GetLastError());
}

// The name Windows opens without its own rewriting: no device names, no trailing dots, no
// length limit of 260 characters.
std::wstring systemName(const fs::path& path) {
    const std::wstring& name = path.native();
    if (name.rfind(LR"(\\?\)", 0) == 0)
        return name;
    if (name.rfind(LR"(\\)", 0) == 0)
        return LR"(\\?\UNC\)" + name.substr(2);
    return LR"(\\?\)" + name;
}

// Opens what stands at `path` itself, a reparse point included, without letting anyone rename or
// remove it while it is open.
HANDLE openItself(const fs::path& path, DWORD access) {
    return ::CreateFileW(systemName(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// Where an open file or folder really is, links resolved: "\\?\C:\...". Empty when unknown.
std::wstring finalPath(HANDLE handle) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(length);
    }
}

bool samePath(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::string randomSuffix() {
    static constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix;
    for (int i = 0; i < 6; ++i) {
        unsigned int value = 0;
        if (::rand_s(&value) != 0)
            value = static_cast<unsigned int>(::GetTickCount64() * 2654435761u) ^ ::GetCurrentProcessId();
        suffix += Alphabet[value % (sizeof Alphabet - 1)];
    }
    return suffix;
}

// Seconds since 1970 as a FILETIME: 100-nanosecond steps since 1601.
FILETIME fileTime(std::int64_t seconds) {
    const auto ticks = static_cast<std::uint64_t>((seconds + 11644473600LL) * 10000000LL);
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return time;
}

std::int64_t secondsOf(const FILETIME& time) {
    const std::uint64_t ticks = (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
    return static_cast<std::int64_t>(ticks / 10000000u) - 11644473600LL;
}

bool isDeviceName(std::string_view part) {
    std::string stem(part.substr(0, part.find('.')));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    for (char& c : stem)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" || stem == "CONIN$" ||
        stem == "CONOUT$")
        return true;
    // COM1 to COM9 and LPT1 to LPT9, and their superscript digits ¹ ² ³.
    if (stem.size() >= 4 && (stem.rfind("COM", 0) == 0 || stem.rfind("LPT", 0) == 0)) {
        const std::string digit = stem.substr(3);
        return (digit.size() == 1 && digit[0] >= '1' && digit[0] <= '9') || digit == "\xC2\xB9" ||
               digit == "\xC2\xB2" || digit == "\xC2\xB3";
    }
    return false;
}

} // namespace

bool ExtractionNameAllowed(std::string_view part) {
    if (part.empty() || part.back() == '.' || part.back() == ' ')
        return false;
    for (const char c : part)
        if (static_cast<unsigned char>(c) < 0x20 || std::strchr(R"(<>:"/\|?*)", c) != nullptr)
            return false;
    return !isDeviceName(part);
}

void* LoadSystemLibrary(const char* fileName) {
    const std::wstring name = PathFromUtf8(fileName).native();
    return ::LoadLibraryExW(name.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
}

void* SystemLibrarySymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

ExtractionRoot::~ExtractionRoot() {
    closeHandle(handle_);
}

int ExtractionRoot::open() {
    closeHandle(handle_);
    std::error_code error;
    fs::path current = fs::current_path(error);
    if (error)
        return ENOENT;
    const HANDLE folder = openItself(current, FILE_READ_ATTRIBUTES);
    if (folder == INVALID_HANDLE_VALUE)
        return lastError();
    handle_ = reinterpret_cast<std::intptr_t>(folder);
    // The folder by its real name, against which every level below is checked.
    const std::wstring real = finalPath(folder);
    path_ = real.empty() ? std::move(current) : fs::path(real);
    return 0;
}

std::intptr_t ExtractionFolders::innermost() const {
    return levels_.empty() ? root_.handle_ : levels_.back().handle;
}

const std::filesystem::path& ExtractionFolders::innermostPath() const {
    return levels_.empty() ? root_.path_ : levels_.back().path;
}

int ExtractionFolders::open(const std::vector<std::string>& parts, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& part = parts[i];
        if (!ExtractionNameAllowed(part))
            return EINVAL;
        const fs::path path = innermostPath() / PathFromUtf8(part);
        bool made = false;
        if (::CreateDirectoryW(systemName(path).c_str(), nullptr))
            made = true;
        else if (::GetLastError() != ERROR_ALREADY_EXISTS)
            return lastError();
        const HANDLE next = openItself(path, FILE_READ_ATTRIBUTES);
        int error = 0;
        BY_HANDLE_FILE_INFORMATION info{};
        if (next == INVALID_HANDLE_VALUE)
            error = lastError();
        else if (!::GetFileInformationByHandle(next, &info))
            error = lastError();
        else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
            error = ELOOP; // a junction or a symbolic link put in the folder's place
        else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            error = ENOTDIR;
        else if (!samePath(finalPath(next), systemName(path)))
            error = ELOOP; // reached through a link that shows no reparse point (Wine's own links)
        if (error != 0) {
            if (next != INVALID_HANDLE_VALUE)
                ::CloseHandle(next);
            if (made)
                ::RemoveDirectoryW(systemName(path).c_str());
            return error;
        }
        levels_.push_back(Level{reinterpret_cast<std::intptr_t>(next), path, part, made});
    }
    return 0;
}

ExtractionEntry ExtractionFolders::inspect(const std::string& name) const {
    if (!ExtractionNameAllowed(name))
        return {ExtractionEntry::Kind::Other, 0, EINVAL};
    // The attributes of the name itself: a link's, not its target's.
    WIN32_FILE_ATTRIBUTE_DATA data{};
    const std::wstring path = systemName(innermostPath() / PathFromUtf8(name));
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return {};
        return {ExtractionEntry::Kind::Other, 0, errorNumber(error)};
    }
    if ((data.dwFileAttributes &
         (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0)
        return {ExtractionEntry::Kind::Other, 0, 0};
    // A file whose real name is elsewhere is reached through a link that shows no reparse point
    // (Wine's own links).
    if (const HANDLE file = openItself(fs::path(path), FILE_READ_ATTRIBUTES); file != INVALID_HANDLE_VALUE) {
        const bool elsewhere = !samePath(finalPath(file), path);
        ::CloseHandle(file);
        if (elsewhere)
            return {ExtractionEntry::Kind::Other, 0, 0};
    }
    return {ExtractionEntry::Kind::File, secondsOf(data.ftLastWriteTime), 0};
}

void ExtractionFolders::keep() {
    for (Level& level : levels_)
        level.made = false;
}

ExtractionFolders::~ExtractionFolders() {
    // Innermost first, each closed before it goes; a folder that is not empty (another
    // member's) stays.
    while (!levels_.empty()) {
        Level level = std::move(levels_.back());
        levels_.pop_back();
        closeHandle(level.handle);
        if (level.made)
            ::RemoveDirectoryW(systemName(level.path).c_str());
    }
}

ExtractionFile::~ExtractionFile() {
    discard();
}

int ExtractionFile::create(const ExtractionFolders& folders) {
    discard();
    folder_ = folders.innermost();
    folderPath_ = folders.innermostPath();
    // Windows has no unnamed files: a hidden name from the start, removed by discard().
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = ".zeb-" + randomSuffix();
        const HANDLE file =
            ::CreateFileW(systemName(folderPath_ / PathFromUtf8(name)).c_str(), GENERIC_WRITE | DELETE, 0,
                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            handle_ = reinterpret_cast<std::intptr_t>(file);
            name_ = std::move(name);
            return 0;
        }
        const int error = lastError();
        if (error != EEXIST)
            return error;
    }
    return EEXIST;
}

int ExtractionFile::write(const char* data, std::size_t size) {
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(asHandle(handle_), data, chunk, &written, nullptr))
            return lastError();
        data += written;
        size -= written;
    }
    return 0;
}

int ExtractionFile::commit(const std::string& name, std::int64_t mtime, bool replace) {
    if (!ExtractionNameAllowed(name))
        return EINVAL;
    const HANDLE file = asHandle(handle_);
    const FILETIME time = fileTime(mtime);
    if (!::SetFileTime(file, nullptr, &time, &time))
        return lastError();
    // Renamed through the handle: the very file written takes the name, in the folder held
    // open. Without `replace` whatever appeared under the name meanwhile stays.
    const std::wstring target = systemName(folderPath_ / PathFromUtf8(name));
    const std::size_t bytes = sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t);
    std::string buffer(bytes, '\0');
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = replace ? TRUE : FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::memcpy(rename->FileName, target.c_str(), target.size() * sizeof(wchar_t));
    if (!::SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(bytes)))
        return lastError();
    name_.clear();
    if (!::CloseHandle(asHandle(std::exchange(handle_, NoHandle))))
        return lastError();
    return 0;
}

void ExtractionFile::discard() {
    if (handle_ != NoHandle && !name_.empty()) {
        // Marked for deletion through the handle: the file written goes, whatever took its name.
        FILE_DISPOSITION_INFO disposition{TRUE};
        if (::SetFileInformationByHandle(asHandle(handle_), FileDispositionInfo, &disposition,
                                         sizeof disposition))
            name_.clear();
    }
    closeHandle(handle_);
    if (!name_.empty())
        ::DeleteFileW(systemName(folderPath_ / PathFromUtf8(name_)).c_str());
    name_.clear();
}

} // namespace zeb
