// Folders, the Windows way: the current one, private ones, their removal and their locks.

#include "Files.h"
#include "Handle.h"
#include "Security.h"
#include "WideText.h"
#include "core/Cp1252.h"
#include "core/Errors.h"
#include "platform/Platform.h"

#include <cstdlib>
#include <knownfolders.h>
#include <shlobj.h>
#include <string>
#include <vector>

namespace zeb {
namespace fs = std::filesystem;
using windows::Handle;
using windows::SystemPath;

namespace {

std::string printable(const fs::path& path) {
    return PrintableName(Utf8FromPath(path));
}

// Removes what is not a folder to enter: a file (read-only too: whatever was put in the tree
// goes), or a symbolic link or a junction, the link itself and never what it leads to.
bool removeEntry(const std::wstring& name, DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        ::SetFileAttributesW(name.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return ::RemoveDirectoryW(name.c_str()) != 0;
    return ::DeleteFileW(name.c_str()) != 0;
}

bool goneAlready(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// A folder of the walk, held open from when it is entered until it is empty: it cannot be
// renamed nor replaced by a junction meanwhile, so its listing is its own.
struct Level {
    std::wstring name;
    Handle held;
};

Handle holdForWalk(const std::wstring& name) {
    Handle held(::CreateFileW(name.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              windows::NoFollowFlags, nullptr));
    if (held) {
        const windows::OpenedKind kind = windows::KindOf(held.get());
        if (kind.error != 0 || kind.link() || !kind.folder())
            held.reset();
    }
    return held;
}

// Empties and removes the folder `top`: files go at once, a folder is entered, and once a folder
// is empty the walk goes back up and lists its parent again. No recursion: a tree from an
// archive may be as deep as paths allow. Stops at the first thing that cannot go.
bool removeFolderTree(const std::wstring& top) {
    std::vector<Level> levels;
    levels.push_back({top, holdForWalk(top)});
    while (!levels.empty()) {
        Level& level = levels.back();
        if (!level.held)
            return false; // swapped for a link meanwhile, or not to be opened
        WIN32_FIND_DATAW entry{};
        const std::wstring pattern = SystemPath(fs::path(level.name + L"\\*"));
        HANDLE listing = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch,
                                            nullptr, FIND_FIRST_EX_LARGE_FETCH);
        if (listing == INVALID_HANDLE_VALUE)
            return false;
        std::wstring enter;
        bool stuck = false;
        do {
            const std::wstring_view name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = SystemPath(fs::path(level.name + L"\\" + entry.cFileName));
            const DWORD attributes = entry.dwFileAttributes;
            if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
                enter = child;
                break;
            }
            if (!removeEntry(child, attributes) && !goneAlready(::GetLastError()))
                stuck = true;
        } while (!stuck && ::FindNextFileW(listing, &entry));
        ::FindClose(listing);
        if (stuck)
            return false;
        if (!enter.empty()) {
            Handle held = holdForWalk(enter);
            levels.push_back({std::move(enter), std::move(held)});
            continue;
        }
        const std::wstring emptied = std::move(level.name);
        levels.pop_back(); // closes it: a folder held open cannot be removed
        if (!::RemoveDirectoryW(emptied.c_str()) && !goneAlready(::GetLastError()))
            return false;
    }
    return true;
}

} // namespace

// The current folder is a name on Windows, put back as a name.
CurrentFolderGuard::CurrentFolderGuard() : handle_(0) {
    const DWORD size = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring folder(size, L'\0');
    const DWORD length = size == 0 ? 0 : ::GetCurrentDirectoryW(size, folder.data());
    if (length == 0 || length >= size)
        return;
    folder.resize(length);
    handle_ = reinterpret_cast<std::intptr_t>(new std::wstring(std::move(folder)));
}

CurrentFolderGuard::~CurrentFolderGuard() {
    if (handle_ == 0)
        return;
    const auto* folder = reinterpret_cast<const std::wstring*>(handle_);
    // A destructor has no one to tell that the folder could not come back.
    ::SetCurrentDirectoryW(folder->c_str());
    delete folder;
}

bool MakePrivateFolder(const fs::path& folder) {
    const std::wstring name = SystemPath(folder);
    if (::CreateDirectoryW(name.c_str(), windows::PrivateFolderSecurity()))
        return true;
    const DWORD error = ::GetLastError();
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    const bool exists = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
    if (exists && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;
    throw ZebError(
        "Impossible de créer le dossier « " + printable(folder) + " » : " +
        (exists ? std::string("un fichier porte déjà ce nom") : FrenchReason(static_cast<int>(error))) + ".");
}

bool RemoveTree(const fs::path& path) {
    const std::wstring name = SystemPath(path);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return goneAlready(::GetLastError());
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return removeEntry(name, attributes) || goneAlready(::GetLastError());
    return removeFolderTree(name);
}

// Windows says whether a file may be made only by making one: the folder's rules, a read-only
// medium and a share's own rights all have their say. The trial file goes when it is closed.
int CheckWritableFolder(const fs::path& folder) {
    const DWORD attributes = ::GetFileAttributesW(SystemPath(folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return static_cast<int>(::GetLastError());
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return ERROR_DIRECTORY;
    for (int tries = 0; tries < 10; ++tries) {
        const Handle trial(::CreateFileW(
            SystemPath(folder / PathFromUtf8(".zeb-essai-" + windows::RandomCharacters(6))).c_str(),
            GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE,
            nullptr));
        if (trial)
            return 0;
        if (::GetLastError() != ERROR_FILE_EXISTS)
            return static_cast<int>(::GetLastError());
    }
    return ERROR_FILE_EXISTS;
}

std::optional<FolderLock> FolderLock::TryLock(const fs::path& folder, std::string_view name) {
    const fs::path file = folder / PathFromUtf8(name);
    Handle handle(::CreateFileW(SystemPath(file).c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                windows::PrivateFileSecurity(), OPEN_ALWAYS,
                                FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    const auto fail = [&folder](const std::string& reason) {
        throw ZebError("Impossible de créer le verrou du dossier « " + printable(folder) + " » : " + reason +
                       ".");
    };
    if (!handle)
        fail(FrenchReason(static_cast<int>(::GetLastError())));
    const windows::OpenedKind kind = windows::KindOf(handle.get());
    if (kind.error != 0)
        fail(FrenchReason(static_cast<int>(kind.error)));
    if (!kind.onDisk || kind.folder() || kind.link())
        fail(FrenchReason(ELOOP));
    const DWORD error = windows::LockHeld(handle.get(), false);
    if (error == ERROR_LOCK_VIOLATION)
        return std::nullopt;
    // Another failure (a file system without locks) cannot tell: the run goes on.
    return FolderLock(reinterpret_cast<std::intptr_t>(handle.release()));
}

FolderLock::FolderLock(FolderLock&& other) noexcept
    : handle_(std::exchange(other.handle_, reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE))) {}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
}

FolderLock::~FolderLock() {
    if (reinterpret_cast<HANDLE>(handle_) != INVALID_HANDLE_VALUE)
        ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

// The user's own local application data, %LOCALAPPDATA%\zeb: its rules give it to the user, the
// system and the administrators, and every folder made in it is made with those same rules
// (Security.h). The variable as the session sets it comes first (a private home for tests may
// point it elsewhere), then the known folder itself. Never beside the program: its folder may be
// shared, or not writable.
fs::path BaseWorkFolder() {
    std::string reasons;
    const auto usable = [&reasons](const char* name, const std::wstring& value) {
        std::string why;
        const fs::path root(value);
        const fs::path base = root / L"zeb";
        const DWORD attributes =
            value.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(SystemPath(root).c_str());
        const std::string shown = "« " + printable(root) + " »";
        if (value.empty())
            why = "n'est pas défini";
        else if (!root.is_absolute())
            why = shown + " n'est pas un chemin absolu";
        else if (attributes == INVALID_FILE_ATTRIBUTES)
            why = shown + " n'existe pas";
        else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            why = shown + " n'est pas un dossier";
        else if (!::CreateDirectoryW(SystemPath(base).c_str(), windows::PrivateFolderSecurity()) &&
                 ::GetLastError() != ERROR_ALREADY_EXISTS)
            why = "« " + printable(base) + " » ne peut pas être créé (" +
                  FrenchReason(static_cast<int>(::GetLastError())) + ")";
        else if (const int error = CheckWritableFolder(base); error != 0)
            why =
                "« " + printable(base) + " » n'est pas accessible en écriture (" + FrenchReason(error) + ")";
        else
            return true;
        reasons += std::string("\n  ") + name + " : " + why + ".";
        return false;
    };
    std::wstring variable(MAX_PATH, L'\0');
    DWORD length = ::GetEnvironmentVariableW(L"LOCALAPPDATA", variable.data(), MAX_PATH);
    if (length >= MAX_PATH) {
        variable.resize(length);
        length = ::GetEnvironmentVariableW(L"LOCALAPPDATA", variable.data(), length);
    }
    variable.resize(length < variable.size() ? length : 0);
    if (usable("LOCALAPPDATA", variable))
        return fs::path(variable) / L"zeb";
    PWSTR known = nullptr;
    std::wstring knownFolder;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &known)))
        knownFolder = known;
    ::CoTaskMemFree(known);
    if (knownFolder != variable && usable("dossier des données locales de l'utilisateur", knownFolder))
        return fs::path(knownFolder) / L"zeb";
    throw ZebError("aucun dossier ne peut recevoir le dossier de travail temporaire :" + reasons);
}

PrivateFolder::PrivateFolder(const fs::path& parent, std::string_view prefix, std::string_view what,
                             Lock lock) {
    const auto fail = [what](DWORD error) {
        throw ZebError(std::string(what) + " : " + FrenchReason(static_cast<int>(error)) + ".");
    };
    DWORD error = ERROR_ALREADY_EXISTS;
    for (int tries = 0; tries < 100 && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS);
         ++tries) {
        path_ = parent / PathFromUtf8(std::string(prefix) + windows::RandomCharacters(6));
        error = ::CreateDirectoryW(SystemPath(path_).c_str(), windows::PrivateFolderSecurity())
                    ? 0
                    : ::GetLastError();
    }
    if (error != 0) {
        gone_ = true;
        fail(error);
    }
    // Shared for deletion: the folder goes as a whole while its mark is still locked.
    const HANDLE mark =
        ::CreateFileW(SystemPath(path_ / OwnMarkName).c_str(), GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    mark_ = reinterpret_cast<std::intptr_t>(mark);
    error = mark == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
    if (error == 0 && lock == Lock::Held) {
        error = windows::LockHeld(mark, true);
        if (windows::LocksUnsupported(error))
            error = 0;
    }
    const std::string line = std::string(OwnMarkLine) + "\n";
    DWORD written = 0;
    if (error == 0 && !::WriteFile(mark, line.data(), static_cast<DWORD>(line.size()), &written, nullptr))
        error = ::GetLastError();
    else if (error == 0 && written != line.size())
        error = ERROR_WRITE_FAULT;
    if (lock == Lock::None)
        releaseMark();
    if (error != 0) {
        remove();
        fail(error);
    }
}

PrivateFolder::~PrivateFolder() {
    remove();
}

bool PrivateFolder::remove() {
    // Removed with its mark still locked, so that no other run takes it for a leftover meanwhile.
    // The mark, deleted while open, keeps its name until it is closed: then the second pass
    // takes it and the folder.
    for (int attempt = 0; !gone_ && attempt < 2; ++attempt) {
        if (attempt == 1)
            releaseMark();
        gone_ = RemoveTree(path_);
    }
    if (gone_)
        releaseMark();
    return gone_;
}

void PrivateFolder::keep() {
    gone_ = true;
    releaseMark();
}

void PrivateFolder::releaseMark() {
    if (reinterpret_cast<HANDLE>(mark_) != INVALID_HANDLE_VALUE)
        ::CloseHandle(reinterpret_cast<HANDLE>(mark_));
    mark_ = reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE);
}

namespace {

bool emptyFolder(const fs::path& folder) {
    WIN32_FIND_DATAW entry{};
    const HANDLE listing = ::FindFirstFileExW(SystemPath(folder / L"*").c_str(), FindExInfoBasic, &entry,
                                              FindExSearchNameMatch, nullptr, 0);
    if (listing == INVALID_HANDLE_VALUE)
        return false;
    bool empty = true;
    do {
        const std::wstring_view name = entry.cFileName;
        empty = name == L"." || name == L"..";
    } while (empty && ::FindNextFileW(listing, &entry));
    ::FindClose(listing);
    return empty;
}

bool untouchedForAnHour(HANDLE folder) {
    FILE_BASIC_INFO info{};
    if (!::GetFileInformationByHandleEx(folder, FileBasicInfo, &info, sizeof info))
        return false;
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    const long long current = (static_cast<long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    constexpr long long Hour = 3600LL * 10'000'000; // in 100 ns
    return info.LastWriteTime.QuadPart + Hour < current;
}

} // namespace

bool IsStaleOwnFolder(const fs::path& folder) {
    const Handle dir(::CreateFileW(SystemPath(folder).c_str(), FILE_READ_ATTRIBUTES | READ_CONTROL,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, windows::NoFollowFlags, nullptr));
    if (!dir)
        return false;
    const windows::OpenedKind dirKind = windows::KindOf(dir.get());
    if (dirKind.error != 0 || !dirKind.folder() || dirKind.link() || !windows::OwnedByUser(dir.get()))
        return false;
    const Handle mark(::CreateFileW(SystemPath(folder / OwnMarkName).c_str(), GENERIC_READ | READ_CONTROL,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!mark) {
        // Killed between making the folder and its mark: only an empty folder, long untouched.
        return ::GetLastError() == ERROR_FILE_NOT_FOUND && emptyFolder(folder) &&
               untouchedForAnHour(dir.get());
    }
    const windows::OpenedKind markKind = windows::KindOf(mark.get());
    if (markKind.error != 0 || !markKind.onDisk || markKind.folder() || markKind.link() ||
        !windows::OwnedByUser(mark.get()))
        return false;
    char first[OwnMarkLine.size() + 1] = {};
    DWORD got = 0;
    if (!::ReadFile(mark.get(), first, sizeof first, &got, nullptr) || got != sizeof first ||
        std::string_view(first, OwnMarkLine.size()) != OwnMarkLine || first[OwnMarkLine.size()] != '\n')
        return false;
    // A running program holds its folder's mark locked; the lock taken here goes with the handle.
    return windows::LockHeld(mark.get(), false) == 0;
}

void RemoveStaleFolders(const fs::path& parent, std::string_view prefix) {
    std::error_code error;
    std::vector<fs::path> stale;
    for (fs::directory_iterator it(parent, error), end; !error && it != end; it.increment(error)) {
        if (Utf8FromPath(it->path().filename()).starts_with(prefix) && IsStaleOwnFolder(it->path()))
            stale.push_back(it->path().filename());
    }
    for (const fs::path& name : stale)
        RemoveTree(parent / name);
}

} // namespace zeb
