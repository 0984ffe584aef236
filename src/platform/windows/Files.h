#pragma once

// What the Windows side's files share between its parts.

#include <filesystem>
#include <string>
#include <string_view>
#include <windows.h>

// Windows' ReplaceFileA or ReplaceFileW under its macro name would rename the platform's own.
#undef ReplaceFile

namespace zeb::windows {

// MoveFileExW, tried again for a moment while another program (an antivirus, the indexer) has
// the file or something under the folder open: 0 or the error.
DWORD MovePath(const std::filesystem::path& from, const std::filesystem::path& to, DWORD flags);

// Writes `contents` to a hidden temporary file beside `file`, flushed to the disk, which then
// takes the name in one rename, replacing whatever had it (a link included, never written
// through); unless `stop` (when given) answers true just before: ERROR_CANCELLED then. 0 or the
// error; a failure leaves no temporary file.
DWORD ReplaceThroughTemporary(const std::filesystem::path& file, std::string_view contents, bool (*stop)());

// A folder where a file was to be: ERROR_DIRECTORY_NOT_SUPPORTED, which MinGW's headers lack.
inline constexpr DWORD IsDirectory = 336;

// `count` characters among a-z and 0-9 from the system's random generator: names no other run
// guesses (file names ignore case here).
std::string RandomCharacters(std::size_t count);

// Whether what `handle` opened is a file of the disk (not a pipe, a console nor a device), and
// its attributes and reparse tag.
struct OpenedKind {
    bool onDisk = false;
    DWORD attributes = 0;
    DWORD reparseTag = 0;
    DWORD error = 0;
    bool folder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    // A symbolic link or a junction: a name for something else. Other reparse points (a file
    // kept in the cloud, a deduplicated file) are the file itself.
    bool link() const {
        return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsReparseTagNameSurrogate(reparseTag);
    }
};
OpenedKind KindOf(HANDLE handle);

// Locks the mark or lock file open as `handle` for as long as it stays open: one byte far past
// its end, so that its contents can still be read by others (Windows' locks forbid reading what
// they cover). 0, ERROR_LOCK_VIOLATION when another handle holds it and `wait` is false, or the
// error.
DWORD LockHeld(HANDLE handle, bool wait);
// The error of a file system without locks (some network shares).
inline bool LocksUnsupported(DWORD error) {
    return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION;
}

// Flags of CreateFileW that open a folder (for its attributes or to hold it) and never go through
// a link: the link itself is opened.
inline constexpr DWORD NoFollowFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;

} // namespace zeb::windows
