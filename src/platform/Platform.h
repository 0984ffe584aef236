#pragma once

// What the operating system does differently, behind one interface. The POSIX side is in
// posix/, the Windows side in windows/, with the same declarations and the same guarantees. The
// core, the load, the command and the windows reach the system only through here and standard C++
// (<filesystem>, <fstream>), and so do the unzip component and library (src/archive,
// src/zipformat, src/unzdll), whose extraction folder is the section Extraction below; the
// printer (src/print) still holds calls of its own.
// Failures are ZebError with a French message; names in messages are made printable.

#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeb {

// ---- Text and paths ------------------------------------------------------------------------

// The program's texts are UTF-8. A path made from one, or written as one, goes through these: a
// std::string is read in the system's own narrow code page on Windows, which loses every
// character outside it (C:\Users\Hélène). Here they change nothing.
inline std::filesystem::path PathFromUtf8(std::string_view text) {
    return std::filesystem::path(
        std::u8string_view(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}
inline std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

// The program's arguments in UTF-8, the program's name first, whatever the system's own
// encoding of its command line (UTF-16 on Windows).
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Makes the console show the UTF-8 the program writes (a Windows console otherwise reads it in
// its own code page); nothing to do elsewhere.
void UseUtf8Console();

// Whether windows can be shown: a graphical session, or a Qt platform chosen by the environment.
// Without one Qt aborts inside QApplication's constructor with an English message.
bool DisplayAvailable();

// Libraries are never looked for in the current folder, which an extraction makes a folder of an
// archive's files: a file there named like a library the system or Qt loads later must never be
// loaded. Windows looks there by default; the POSIX loader never does. Called first in main.
void KeepLibrariesOutOfCurrentFolder();

// ---- System errors ---------------------------------------------------------------------

// The French wording of a system error number, for messages: an errno value, or on Windows also
// one of the system's own (GetLastError), which the Windows side's numbers are.
std::string FrenchReason(int errorNumber);

// ---- Files -------------------------------------------------------------------------------

// A class export is a few tens of kilobytes; anything past this is not one, and reading it
// whole would only exhaust the memory.
inline constexpr std::size_t MaxReadBytes = 64u << 20;

// Whole contents of an ordinary file as bytes, at most `limit` of them. A folder, a pipe or
// a device is refused before it is opened (a pipe would wait for ever for a writer).
std::string ReadWholeFile(const std::filesystem::path& file, std::size_t limit = MaxReadBytes);

// Writes a work file in place: created or truncated to what is written, readable by the
// user only, never through a symbolic link nor into a pipe or a device (the last part of
// the path; the folders before it are the caller's). A write that fails removes the file, so no
// partial file stays. Work files are rebuilt at every load, so they skip the new inode and
// rename of an atomic replacement, which on ext4 costs more than the whole import.
void WriteWorkFile(const std::filesystem::path& file, std::string_view contents);

// Writes a file the user keeps, completely or not at all: the bytes go to a file without a name
// (a hidden temporary file where the system has none) flushed to the disk, which then takes the
// name, replacing whatever had it; a symbolic link in its place is replaced, never written
// through. Readable by the user only, as everything about pupils. ReplaceFile returns 0 or
// the error number; WriteFileAtomically throws.
int ReplaceFile(const std::filesystem::path& file, std::string_view contents);
void WriteFileAtomically(const std::filesystem::path& file, std::string_view contents);

// As WriteFileAtomically, for a file a run of zeb-fiches makes: a signal before the file takes
// its name removes the temporary file and throws Interrupted (below).
void WriteOutputFile(const std::filesystem::path& file, std::string_view contents);

// The work folder of a load, created private to the user and held open, so that every work
// file is reached through this very folder: never through a symbolic link put in its place or
// in place of a work file, which would let a load overwrite, then delete, someone else's file.
class WorkFolderHandle {
public:
    explicit WorkFolderHandle(const std::filesystem::path& folder);
    ~WorkFolderHandle();
    WorkFolderHandle(const WorkFolderHandle&) = delete;
    WorkFolderHandle& operator=(const WorkFolderHandle&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // As WriteWorkFile and ReadWholeFile, for a file of this folder that must be an ordinary
    // file and not a link.
    void write(std::string_view name, std::string_view contents) const;
    std::string read(std::string_view name) const;

private:
    std::filesystem::path path_;
    std::intptr_t handle_;
};

// Removes the files `names` of `folder` where they exist; the folder stays. A folder that is
// a symbolic link is left alone: what it points to is not ours.
void RemoveFilesIn(const std::filesystem::path& folder, const std::vector<std::string_view>& names);

// What stands at a path, never following a link.
struct PathInfo {
    enum class Kind { Absent, File, Folder, Link, Other, Unknown };
    Kind kind = Kind::Absent;
    std::uint64_t size = 0;
    bool ownedByUser = false;
    int error = 0; // for Unknown
};
PathInfo InspectPath(const std::filesystem::path& path);

// A finished file or folder put in the place its name gives, the previous one kept aside until
// the caller has decided: undo() puts everything back as it was.
//
// Where the file system can, one rename does it: into a free name without ever replacing what
// appears there meanwhile, or by swapping the new and the previous one, so that the name always
// holds one of the two whole. Where it cannot (FUSE mounts, exFAT, NTFS, SMB and NFS shares),
// plain renames: the previous one to `aside`, then the new one in; a crash between the two
// leaves the previous one at `aside`.
class Placement {
public:
    // `target` is as it was when this throws.
    static Placement Put(const std::filesystem::path& fresh, const std::filesystem::path& target,
                         const std::filesystem::path& aside);
    // Puts `fresh` at `target` only while nothing stands there: what appeared meanwhile is never
    // replaced.
    static void PutWhereFree(const std::filesystem::path& fresh, const std::filesystem::path& target);

    // Where the previous one lies now (`fresh`'s former name, or `aside`); empty when there was none.
    const std::filesystem::path& previous() const { return previous_; }
    // Puts the new one back at `fresh` and the previous one back at `target`. False when a
    // rename failed (what could not go back stays where previous() says).
    bool undo();

private:
    enum class How { New, Swapped, MovedAside };
    Placement(How how, std::filesystem::path fresh, std::filesystem::path target,
              std::filesystem::path previous);

    How how_;
    std::filesystem::path fresh_;
    std::filesystem::path target_;
    std::filesystem::path previous_;
};

// ---- Folders -----------------------------------------------------------------------------

// Puts the current folder back however the scope ends: the unzip library writes relative to
// the current folder, so an extraction changes it, and paths the caller holds may be relative.
class CurrentFolderGuard {
public:
    CurrentFolderGuard();
    ~CurrentFolderGuard();
    CurrentFolderGuard(const CurrentFolderGuard&) = delete;
    CurrentFolderGuard& operator=(const CurrentFolderGuard&) = delete;

private:
    std::intptr_t handle_;
};

// Makes `folder` readable by the user only (its parent must exist). True when this made it,
// false when a folder (or a link to one) was there already.
bool MakePrivateFolder(const std::filesystem::path& folder);

// Removes `path` with everything under it, never through a symbolic link (a link is removed,
// not followed). True when nothing of it remains.
bool RemoveTree(const std::filesystem::path& path);

// The user's runtime folder lives in memory on a desktop session, so pupil data never
// reaches the disk there; elsewhere the temporary folder the user chose, else /tmp. On Windows,
// the folder zeb in the user's own local application data (%LOCALAPPDATA%\zeb), made when
// missing. Only a folder the user can write into will do; when none does, the ZebError says why
// of each.
std::filesystem::path BaseWorkFolder();

// The name of every work folder zeb-fiches makes there, followed by six random characters.
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
    std::intptr_t mark_ = -1;
    bool gone_ = false;
};

// True for a folder that a run of zeb-fiches made and left behind when it was killed: a real
// folder (not a link) of this user's, holding ZEB's mark, which no running program holds
// locked; or an empty folder of this user's, untouched for an hour (killed before its mark).
bool IsStaleOwnFolder(const std::filesystem::path& folder);

// Removes the folders of `parent` whose name starts with `prefix` that IsStaleOwnFolder
// recognises, and nothing else. Errors are ignored: a leftover that stays does no harm to the run.
void RemoveStaleFolders(const std::filesystem::path& parent, std::string_view prefix);

// A lock on a folder for one run at a time, held from TryLock to the end of this object: a
// hidden file `name` in the folder, created when missing and left there (removing it would let
// two runs each lock a file of that name). A file system without locks (some network shares)
// cannot tell, and lets the run go on. Throws ZebError when the file cannot be made.
class FolderLock {
public:
    // Empty when another run holds it.
    static std::optional<FolderLock> TryLock(const std::filesystem::path& folder, std::string_view name);
    ~FolderLock();
    FolderLock(FolderLock&& other) noexcept;
    FolderLock& operator=(FolderLock&& other) noexcept;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    explicit FolderLock(std::intptr_t handle) : handle_(handle) {}
    std::intptr_t handle_;
};

// Whether the user may make files in `folder`; the error number when not.
int CheckWritableFolder(const std::filesystem::path& folder);

// ---- Interruptions -------------------------------------------------------------------------

// Ctrl+C, a closed terminal, a shutdown. The first of these signals is only recorded: the work
// in progress sees it at its next step (ThrowIfInterrupted), undoes in ordinary code what it
// had begun (its folders, its half-written files; a class never goes half into place), and the
// program then ends by that signal (EndByInterruption), so that the shell sees the usual status
// (128 + signal; on Windows, whose console sends Ctrl+C, Ctrl+Break, the console's closing and
// the session's end, that of a Ctrl+C, STATUS_CONTROL_C_EXIT). A handler that removed files
// itself would race with the threads still writing them. A second signal ends the process at
// once, with the terminal's settings put back; what that leaves behind, the next run recognises
// and removes.
void InstallInterruptionHandlers();

// The signal recorded, or 0.
int InterruptionSignal();
inline bool InterruptionRequested() {
    return InterruptionSignal() != 0;
}

// Readable once a signal is recorded, and from then on, for a wait (poll, an event loop's
// notifier) to end on; -1 before InstallInterruptionHandlers. On Windows, an event's HANDLE,
// signalled from then on.
std::intptr_t InterruptionDescriptor();

// Runs `react` once, when the first signal is recorded: on a thread of the platform's, never in
// the signal handler; or at once, on this thread, when one was recorded already. An event loop
// forwards it to its own thread. Another function replaces it; an empty one withdraws it, and
// once that call returns the withdrawn function is not running and never runs. Needs
// InstallInterruptionHandlers first.
void OnInterruption(std::function<void()> react);

class Interrupted : public std::exception {
public:
    const char* what() const noexcept override { return "interrompu"; }
};

// Throws Interrupted when a signal was recorded, unless InterruptionsIgnored holds.
void ThrowIfInterrupted();

// While it lives, the work of this thread goes on whatever signal comes: ThrowIfInterrupted and
// WriteOutputFile see none. For the last steps of a run, which put its results in place together.
class InterruptionsIgnored {
public:
    InterruptionsIgnored();
    ~InterruptionsIgnored();
    InterruptionsIgnored(const InterruptionsIgnored&) = delete;
    InterruptionsIgnored& operator=(const InterruptionsIgnored&) = delete;
};

// Ends the process by the recorded signal, once the caller has undone its work.
[[noreturn]] void EndByInterruption();

// ---- Terminal ------------------------------------------------------------------------------

// Whether a question can be asked at a terminal (the controlling terminal can be opened).
bool TerminalAvailable();

// Asks `question` at the terminal and reads the answer without echo. No answer when there is no
// terminal or when a signal comes meanwhile (the echo is then back, as after an answer).
std::optional<std::string> ReadHiddenAnswer(const std::string& question);

// Whether the error stream is a terminal, where a progress line may be rewritten in place.
bool ErrorStreamIsTerminal();

// ---- Threads -------------------------------------------------------------------------------

// How many threads share work that keeps a processor busy: one per processor this process may
// run on, at most `most`.
unsigned WorkerThreadCount(unsigned most);

// ---- Memory --------------------------------------------------------------------------------

// Buffers of a few megabytes, grown and freed again and again (a PDF engine's, for every page),
// stay in the heap rather than go to the system and back: the page faults took a third of a
// school's run.
void KeepLargeBuffersInTheHeap();

// ---- Private libraries -----------------------------------------------------------------------

// Where one of the program's own shared objects is looked for, named in full: beside the
// program, then (not on Windows, where everything stands beside the program) in lib/zeb beside
// the bin folder of an installed program.
std::vector<std::filesystem::path> PrivateLibraryPlaces(const std::string& fileName);

// One of the program's own shared objects, loaded at run time so that a run that does not need
// it does not pay for it, and asked for its version: the first copy that loads and whose
// function `versionEntry` answers `version`. Its symbols stay its own: it cannot interpose on
// the program's. Never unloaded unless `close` is called: what it made runs its code; a copy of
// another version stays loaded too, for what came in with it (Qt's libraries).
class PrivateLibrary {
public:
    // Beside the program, in lib/zeb, then through the system's search.
    static PrivateLibrary Load(const std::string& fileName, const char* versionEntry, std::int32_t version);
    // The first of `places` that will do.
    static PrivateLibrary LoadFirst(const std::vector<std::filesystem::path>& places,
                                    const char* versionEntry, std::int32_t version);

    enum class Outcome { Loaded, NotFound, WillNotLoad, OtherVersion };
    Outcome outcome() const { return outcome_; }
    explicit operator bool() const { return outcome_ == Outcome::Loaded; }
    // For WillNotLoad, the system's reason for the first copy that exists but would not load;
    // for OtherVersion, that copy's path.
    const std::string& failure() const { return failure_; }
    void* symbol(const char* name) const;
    void close();

private:
    void* handle_ = nullptr;
    Outcome outcome_ = Outcome::NotFound;
    std::string failure_;
};

// ---- Extraction ----------------------------------------------------------------------------

// The unzip library's side of the disk. Everything is reached from the extraction folder, one
// level at a time, and not a single link is followed (a symbolic link, or a junction or other
// reparse point on Windows): a link planted in the folder, before or during the run, can neither
// redirect a write nor be written through. The folders on the way stay open, so that none of them
// can be swapped for a link meanwhile. Failures are errno values (ENOENT, EEXIST, ENOSPC...) on
// every system, so that the library words them alike.

// Whether a system can hold `part` (UTF-8) as the name of one file or folder: Windows refuses
// the characters < > : " / \ | ? *, a name ending in a dot or a space, and the names of its
// devices (CON, NUL, COM1, LPT1... with any extension), and a name with ":" would write into a
// stream of another file. Every name passes elsewhere, where only "/" and NUL are special, and
// the caller has already refused those.
bool ExtractionNameAllowed(std::string_view part);

// A library of the system's that the unzip library may use (libzip), loaded by its file name
// through the system's search and never unloaded; nullptr when it cannot be loaded. Its symbols
// stay its own: it cannot interpose on the program's.
void* LoadSystemLibrary(const char* fileName);
void* SystemLibrarySymbol(void* library, const char* name);

// The current folder, held open from `open` on: what an extraction writes stays in this very
// folder, even when the current folder changes meanwhile.
class ExtractionRoot {
public:
    ExtractionRoot() = default;
    ~ExtractionRoot();
    ExtractionRoot(const ExtractionRoot&) = delete;
    ExtractionRoot& operator=(const ExtractionRoot&) = delete;

    // 0 or an error number.
    int open();

private:
    friend class ExtractionFolders;
    std::intptr_t handle_ = -1;
    std::filesystem::path path_; // where Windows reaches what lies below it by name
};

// What stands at a name of an extraction folder, never following a link.
struct ExtractionEntry {
    enum class Kind { Absent, File, Other }; // Other: a folder, a link, a device...
    Kind kind = Kind::Absent;
    std::int64_t mtime = 0; // seconds since 1970, for a File
    int error = 0;          // when it could not be told; kind is then Other
};

// The folders of a member's path, opened (and made as needed) one level at a time from the
// extraction folder. Folders made for a member that ends up not extracted are removed again when
// still empty.
class ExtractionFolders {
public:
    explicit ExtractionFolders(const ExtractionRoot& root) : root_(root) {}
    ~ExtractionFolders();
    ExtractionFolders(const ExtractionFolders&) = delete;
    ExtractionFolders& operator=(const ExtractionFolders&) = delete;

    // Opens the first `count` of `parts` (UTF-8) below the root. Returns 0, or the error number of
    // the failure: ELOOP or ENOTDIR when a part is a link or not a folder.
    int open(const std::vector<std::string>& parts, std::size_t count);
    // What stands at `name` in the innermost folder opened.
    ExtractionEntry inspect(const std::string& name) const;
    // Keeps the folders made so far.
    void keep();

private:
    friend class ExtractionFile;
    struct Level {
        std::intptr_t handle = -1;
        std::filesystem::path path; // the folder's full path (Windows)
        std::string name;           // its name in the level above
        bool made = false;          // made by this object, removed again unless kept
    };
    std::intptr_t innermost() const;
    const std::filesystem::path& innermostPath() const;

    const ExtractionRoot& root_;
    std::vector<Level> levels_;
};

// A file being written in the innermost folder of an ExtractionFolders, which must outlive it:
// unnamed where the file system allows it, else under a hidden name of its own, made new (never
// an existing file, never through a link). It takes its final name only through commit();
// otherwise it is removed, so an error or a stop never leaves a partial file behind.
class ExtractionFile {
public:
    ExtractionFile() = default;
    ~ExtractionFile();
    ExtractionFile(const ExtractionFile&) = delete;
    ExtractionFile& operator=(const ExtractionFile&) = delete;

    // Returns 0 or an error number.
    int create(const ExtractionFolders& folders);
    // Writes all of `size` bytes. Returns 0 or an error number.
    int write(const char* data, std::size_t size);
    // Readable by the user only where the system has modes, modification time `mtime`, then the
    // final name. Without `replace` an entry that appeared under that name since it was
    // inspected is left alone (EEXIST).
    int commit(const std::string& name, std::int64_t mtime, bool replace);
    // Removes the file now.
    void discard();

private:
    std::intptr_t folder_ = -1;
    std::filesystem::path folderPath_;
    std::string name_; // empty while the file has no name
    std::intptr_t handle_ = -1;
};

} // namespace zeb
