#include "Files.h"

#include "Handle.h"
#include "Security.h"
#include "WideText.h"
#include "core/Cp1252.h"
#include "core/Errors.h"
#include "platform/Platform.h"

#include <algorithm>
#include <bcrypt.h>
#include <cerrno>
#include <cstdint>
#include <utility>

namespace zeb {
namespace fs = std::filesystem;
using windows::Handle;
using windows::SystemPath;

namespace {

std::string quoted(const fs::path& file) {
    return "« " + PrintableName(Utf8FromPath(file)) + " »";
}

[[noreturn]] void failBecause(const char* what, const fs::path& file, const std::string& reason) {
    throw ZebError(std::string(what) + " " + quoted(file) + " : " + reason + ".");
}

[[noreturn]] void fail(const char* what, const fs::path& file, DWORD error) {
    failBecause(what, file, FrenchReason(static_cast<int>(error)));
}

constexpr const char* NotOrdinaryReason =
    "ce n'est pas un fichier ordinaire (c'est un tube, un périphérique ou la console)";
constexpr const char* LinkReason = "c'est un lien symbolique ou une jonction, que ZEB ne suit pas pour les "
                                   "données des élèves ; supprimez-le";
constexpr const char* FolderReason = "c'est un dossier, pas un fichier";

// Why what was opened cannot be read or written as a document, or nothing for an ordinary file.
const char* refusalFor(const windows::OpenedKind& kind) {
    if (!kind.onDisk)
        return NotOrdinaryReason;
    if (kind.folder())
        return FolderReason;
    if (kind.link())
        return LinkReason;
    return nullptr;
}

// A name that would not open: a folder says so (`use`: what could not be done with it) rather
// than "access denied".
[[noreturn]] void failToOpen(const char* what, const char* use, const fs::path& file, DWORD error) {
    const DWORD attributes = ::GetFileAttributesW(SystemPath(file).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        failBecause(use, file, FolderReason);
    fail(what, file, error);
}

std::string describeLimit(std::size_t limit) {
    if (limit >= (std::size_t{1} << 20))
        return std::to_string(limit >> 20) + " Mo";
    return CountOf(static_cast<long long>(limit), "octet", "octets");
}

std::string readFile(const fs::path& file, std::size_t limit, bool followLinks) {
    const char* cannotRead = "Impossible de lire le fichier";
    const Handle handle(
        ::CreateFileW(SystemPath(file).c_str(), GENERIC_READ,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                      FILE_FLAG_SEQUENTIAL_SCAN | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT), nullptr));
    if (!handle)
        failToOpen("Impossible d'ouvrir le fichier", cannotRead, file, ::GetLastError());
    const windows::OpenedKind kind = windows::KindOf(handle.get());
    if (kind.error != 0)
        fail(cannotRead, file, kind.error);
    if (const char* reason = refusalFor(kind))
        failBecause(cannotRead, file, reason);
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(handle.get(), &size))
        fail(cannotRead, file, ::GetLastError());
    auto tooLarge = [&] {
        throw ZebError("Le fichier " + quoted(file) + " est trop volumineux (plus de " +
                       describeLimit(limit) + ") pour être un export de classe.");
    };
    if (static_cast<std::uint64_t>(size.QuadPart) > limit)
        tooLarge();
    std::string contents;
    contents.reserve(static_cast<std::size_t>(size.QuadPart));
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(handle.get(), buffer, sizeof buffer, &got, nullptr))
            fail(cannotRead, file, ::GetLastError());
        if (got == 0)
            break;
        contents.append(buffer, got);
        if (contents.size() > limit) // a file that grew while being read
            tooLarge();
    }
    return contents;
}

// Writes everything or returns the error (0 on success).
DWORD writeAll(HANDLE handle, std::string_view contents) {
    while (!contents.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(contents.size(), 1u << 24));
        DWORD done = 0;
        if (!::WriteFile(handle, contents.data(), chunk, &done, nullptr))
            return ::GetLastError();
        if (done == 0)
            return ERROR_WRITE_FAULT;
        contents.remove_prefix(done);
    }
    return 0;
}

// Removes what `handle` opened (with DELETE access): that very file, whatever name is now where
// it was.
bool deleteOpened(HANDLE handle) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

void writeWork(const fs::path& file, std::string_view contents) {
    const char* cannotWrite = "Impossible d'écrire le fichier";
    // Opened before it is emptied: a link or a device in its place is refused untouched.
    Handle handle(::CreateFileW(SystemPath(file).c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                                windows::PrivateFileSecurity(), OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handle)
        failToOpen("Impossible de créer le fichier", cannotWrite, file, ::GetLastError());
    const windows::OpenedKind kind = windows::KindOf(handle.get());
    if (kind.error != 0)
        fail(cannotWrite, file, kind.error);
    if (const char* reason = refusalFor(kind))
        failBecause(cannotWrite, file, reason);
    DWORD error = writeAll(handle.get(), contents);
    if (error == 0 && !::SetEndOfFile(handle.get()))
        error = ::GetLastError();
    if (error != 0)
        deleteOpened(handle.get());
    // A network share may report a full disk only when the file is closed.
    if (!handle.reset() && error == 0) {
        error = ::GetLastError();
        ::DeleteFileW(SystemPath(file).c_str());
    }
    if (error != 0)
        fail(cannotWrite, file, error);
}

enum class Held { Folder, Link, NotFolder, Failed };

// The folder at `folder` opened and held: while it is, it cannot be renamed nor removed (no
// FILE_SHARE_DELETE), so that a name under it reaches this very folder. None for a link or a
// junction in its place, which is opened, not followed, then refused; `error` for Failed.
Handle holdFolder(const fs::path& folder, Held& held, DWORD& error) {
    Handle handle(::CreateFileW(SystemPath(folder).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                windows::NoFollowFlags, nullptr));
    error = handle ? 0 : ::GetLastError();
    held = Held::Failed;
    if (!handle)
        return handle;
    const windows::OpenedKind kind = windows::KindOf(handle.get());
    error = kind.error;
    held = kind.error != 0 ? Held::Failed
           : kind.link()   ? Held::Link
           : kind.folder() ? Held::Folder
                           : Held::NotFolder;
    if (held != Held::Folder)
        handle.reset();
    return handle;
}

} // namespace

namespace windows {

OpenedKind KindOf(HANDLE handle) {
    OpenedKind kind;
    const DWORD type = ::GetFileType(handle);
    if (type == FILE_TYPE_UNKNOWN && ::GetLastError() != NO_ERROR) {
        kind.error = ::GetLastError();
        return kind;
    }
    kind.onDisk = type == FILE_TYPE_DISK;
    if (!kind.onDisk)
        return kind;
    FILE_ATTRIBUTE_TAG_INFO info{};
    if (::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &info, sizeof info)) {
        kind.attributes = info.FileAttributes;
        kind.reparseTag = info.ReparseTag;
        return kind;
    }
    BY_HANDLE_FILE_INFORMATION basic{};
    if (!::GetFileInformationByHandle(handle, &basic)) {
        kind.error = ::GetLastError();
        return kind;
    }
    kind.attributes = basic.dwFileAttributes;
    // Without its tag, any reparse point is taken for a link: refused rather than followed.
    kind.reparseTag = IO_REPARSE_TAG_SYMLINK;
    return kind;
}

DWORD MovePath(const fs::path& from, const fs::path& to, DWORD flags) {
    const std::wstring source = SystemPath(from);
    const std::wstring target = SystemPath(to);
    for (DWORD attempt = 0;; ++attempt) {
        if (::MoveFileExW(source.c_str(), target.c_str(), flags))
            return 0;
        const DWORD error = ::GetLastError();
        // A scanner holds a fresh file for a few milliseconds. A folder or a read-only file in
        // the way is refused for good.
        const DWORD inTheWay = ::GetFileAttributesW(target.c_str());
        const bool forGood = error == ERROR_ACCESS_DENIED && inTheWay != INVALID_FILE_ATTRIBUTES &&
                             (inTheWay & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0 &&
                             (flags & MOVEFILE_REPLACE_EXISTING) != 0;
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED &&
             error != ERROR_LOCK_VIOLATION) ||
            forGood || attempt == 10)
            return error;
        ::Sleep(10 * (attempt + 1));
    }
}

DWORD LockHeld(HANDLE handle, bool wait) {
    OVERLAPPED range{};
    range.OffsetHigh = 0x7fffffff;
    if (::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY), 0, 1, 0,
                     &range))
        return 0;
    return ::GetLastError();
}

std::string RandomCharacters(std::size_t count) {
    static constexpr char Alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string bytes(count, '\0');
    if (!BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(bytes.data()),
                                          static_cast<ULONG>(count), BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
        // Never expected; the names still differ from run to run and call to call.
        static std::uint64_t state = ::GetTickCount64() ^ (std::uint64_t{::GetCurrentProcessId()} << 32);
        for (char& byte : bytes) {
            state = state * 6364136223846793005u + 1442695040888963407u;
            byte = static_cast<char>(state >> 56);
        }
    }
    for (char& byte : bytes)
        byte = Alphabet[static_cast<unsigned char>(byte) % (sizeof Alphabet - 1)];
    return bytes;
}

DWORD ReplaceThroughTemporary(const fs::path& file, std::string_view contents, bool (*stop)()) {
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    fs::path temporary;
    Handle handle;
    // The name, cut (never inside a character) so that the temporary name still fits in a name.
    std::wstring stem = file.filename().wstring();
    if (stem.size() > 200)
        stem.resize(IS_HIGH_SURROGATE(stem[199]) ? 199 : 200);
    for (int tries = 0; !handle && tries < 100; ++tries) {
        temporary = folder / (L"." + stem + L"." + WideFromUtf8(RandomCharacters(6)));
        handle = Handle(::CreateFileW(SystemPath(temporary).c_str(), GENERIC_WRITE | DELETE, 0,
                                      PrivateFileSecurity(), CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr));
        if (!handle && ::GetLastError() != ERROR_FILE_EXISTS)
            return ::GetLastError();
    }
    if (!handle)
        return ERROR_FILE_EXISTS;
    DWORD error = writeAll(handle.get(), contents);
    if (error == 0 && !::FlushFileBuffers(handle.get()))
        error = ::GetLastError();
    // It takes the name as a file like any other.
    FILE_BASIC_INFO visible{};
    visible.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (error == 0 && !::SetFileInformationByHandle(handle.get(), FileBasicInfo, &visible, sizeof visible))
        error = ::GetLastError();
    if (error == 0 && stop != nullptr && stop())
        error = ERROR_CANCELLED;
    if (error != 0 && deleteOpened(handle.get())) {
        handle.reset();
        return error;
    }
    if (!handle.reset() && error == 0)
        error = ::GetLastError();
    if (error == 0)
        error = MovePath(temporary, file, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (error != 0)
        ::DeleteFileW(SystemPath(temporary).c_str());
    // Windows says "access denied" for a folder in the way: the reason is the folder.
    if (const DWORD inTheWay = ::GetFileAttributesW(SystemPath(file).c_str());
        error == ERROR_ACCESS_DENIED && inTheWay != INVALID_FILE_ATTRIBUTES &&
        (inTheWay & FILE_ATTRIBUTE_DIRECTORY) != 0)
        error = IsDirectory;
    return error;
}

} // namespace windows

void RemoveFilesIn(const fs::path& folder, const std::vector<std::string_view>& names) {
    Held kind = Held::Failed;
    DWORD error = 0;
    const Handle held = holdFolder(folder, kind, error);
    if (!held)
        return; // absent, or a link whose target is not ours to empty
    for (std::string_view name : names)
        ::DeleteFileW(SystemPath(folder / PathFromUtf8(name)).c_str());
}

WorkFolderHandle::WorkFolderHandle(const fs::path& folder) : path_(folder), handle_(-1) {
    if (!::CreateDirectoryW(SystemPath(path_).c_str(), windows::PrivateFolderSecurity()) &&
        ::GetLastError() != ERROR_ALREADY_EXISTS)
        fail("Impossible de créer le dossier de travail", path_, ::GetLastError());
    Held kind = Held::Failed;
    DWORD error = 0;
    Handle held = holdFolder(path_, kind, error);
    if (held) {
        handle_ = reinterpret_cast<std::intptr_t>(held.release());
        return;
    }
    if (kind == Held::Link)
        throw ZebError(
            "Le dossier de travail " + quoted(path_) +
            " est un lien symbolique ou une jonction : ZEB n'écrit pas les données des élèves à "
            "travers un lien. Supprimez ce lien ; ZEB recréera le dossier au prochain chargement.");
    if (kind == Held::NotFolder)
        throw ZebError(quoted(path_) + " n'est pas un dossier : ZEB a besoin d'un dossier de ce nom pour "
                                       "ses fichiers de travail. Déplacez ou supprimez ce fichier.");
    fail("Impossible d'ouvrir le dossier de travail", path_, error);
}

WorkFolderHandle::~WorkFolderHandle() {
    if (handle_ != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

// The folder is held (holdFolder): a name under it reaches a file of this very folder, which is
// opened without following a link.
void WorkFolderHandle::write(std::string_view name, std::string_view contents) const {
    writeWork(path_ / PathFromUtf8(name), contents);
}

std::string WorkFolderHandle::read(std::string_view name) const {
    return readFile(path_ / PathFromUtf8(name), MaxReadBytes, false);
}

PathInfo InspectPath(const fs::path& path) {
    const std::wstring name = SystemPath(path);
    const Handle handle(::CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES | READ_CONTROL,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, windows::NoFollowFlags, nullptr));
    if (!handle) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return {};
        // Not to be opened (another program holds it alone): what the folder's listing says.
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!::GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &data))
            return {PathInfo::Kind::Unknown, 0, false, static_cast<int>(error)};
        const bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const bool reparse = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        return {reparse  ? PathInfo::Kind::Link
                : folder ? PathInfo::Kind::Folder
                         : PathInfo::Kind::File,
                folder ? 0 : (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow, false, 0};
    }
    const windows::OpenedKind kind = windows::KindOf(handle.get());
    if (kind.error != 0)
        return {PathInfo::Kind::Unknown, 0, false, static_cast<int>(kind.error)};
    const PathInfo::Kind what = !kind.onDisk    ? PathInfo::Kind::Other
                                : kind.link()   ? PathInfo::Kind::Link
                                : kind.folder() ? PathInfo::Kind::Folder
                                                : PathInfo::Kind::File;
    LARGE_INTEGER size{};
    if (what == PathInfo::Kind::File && !::GetFileSizeEx(handle.get(), &size))
        size.QuadPart = 0;
    return {what, static_cast<std::uint64_t>(size.QuadPart), windows::OwnedByUser(handle.get()), 0};
}

constexpr int DiskQuotaExceeded = 1295; // ERROR_DISK_QUOTA_EXCEEDED, which MinGW's headers lack

// The system's failures here are Windows' error numbers (GetLastError), and the C library's are
// errno values: both come here, and some numbers are both. Where they are, the meaning a file
// operation can have wins (5 is access denied, not EIO; 32 a sharing violation, not EPIPE), and the
// compiler keeps every number to one meaning.
std::string FrenchReason(int errorNumber) {
    switch (errorNumber) {
    case ERROR_FILE_NOT_FOUND: // ENOENT
        return "fichier ou dossier introuvable";
    case ERROR_PATH_NOT_FOUND: // ESRCH
    case ERROR_BAD_PATHNAME:
        return "un dossier du chemin est introuvable";
    case ERROR_INVALID_DRIVE:
        return "lecteur introuvable";
    case ERROR_ACCESS_DENIED: // EIO
    case EACCES:              // ERROR_INVALID_DATA
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
        return "accès refusé";
    case ERROR_SHARING_VIOLATION: // EPIPE
        return "le fichier est ouvert dans un autre programme";
    case ERROR_LOCK_VIOLATION: // EDOM
        return "une partie du fichier est verrouillée par un autre programme";
    case ERROR_USER_MAPPED_FILE:
        return "le fichier est en cours d'utilisation par un programme";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: // ENOLCK
    case ENOSPC:                 // ERROR_OUT_OF_PAPER
        return "le disque est plein";
    case DiskQuotaExceeded:
        return "votre quota d'espace disque est atteint";
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
    case EEXIST: // ERROR_NOT_SAME_DEVICE
        return "un fichier ou un dossier de ce nom existe déjà";
    case ERROR_INVALID_NAME:
    case EILSEQ:
        return "nom de fichier, de dossier ou de lecteur non valable";
    case ERROR_FILENAME_EXCED_RANGE:
    case ENAMETOOLONG: // ERROR_HANDLE_EOF
        return "nom de fichier trop long";
    case ERROR_NOT_READY: // EISDIR
        return "le lecteur n'est pas prêt (aucun support dedans ?)";
    case ERROR_WRITE_PROTECT: // ENODEV
        return "le support est protégé en écriture";
    case EROFS:             // ERROR_READ_FAULT
    case ERROR_CRC:         // ENFILE
    case ERROR_SEEK:        // ENOTTY
    case ERROR_WRITE_FAULT: // ESPIPE
    case ERROR_GEN_FAILURE: // EMLINK
    case ERROR_IO_DEVICE:
        return "erreur d'entrée-sortie du support";
    case ERROR_FILE_CORRUPT:
    case ERROR_DISK_CORRUPT:
        return "le fichier ou le disque est endommagé";
    case ERROR_UNRECOGNIZED_VOLUME:
        return "le support n'est pas reconnu (il n'est peut-être pas formaté)";
    case ERROR_FILE_INVALID:
        return "le fichier n'est plus accessible (support retiré ?)";
    case static_cast<int>(windows::IsDirectory):
        return FolderReason;
    case ERROR_DIRECTORY:
    case ENOTDIR: // ERROR_BAD_UNIT
        return "un élément du chemin n'est pas un dossier";
    case ERROR_DIR_NOT_EMPTY:
    case ENOTEMPTY:
        return "le dossier n'est pas vide";
    case ERROR_CURRENT_DIRECTORY: // EBUSY
    case ERROR_BUSY:
        return "le fichier ou le support est occupé";
    case ERROR_CANNOT_MAKE:
        return "impossible de créer le fichier ou le dossier à cet endroit";
    case ERROR_INVALID_PARAMETER:
    case EINVAL: // ERROR_BAD_COMMAND
        return "nom de fichier ou opération non valable sur ce support";
    case ERROR_INVALID_FUNCTION: // EPERM, which the C library gives for none of its file functions
    case ERROR_NOT_SUPPORTED:
    case ENOTSUP:
    case EOPNOTSUPP:
        return "opération non prise en charge par ce support";
    case ENOSYS:
    case ERROR_CALL_NOT_IMPLEMENTED:
        return "fonction non disponible sur ce système";
    case EXDEV: // ERROR_NO_MORE_FILES
        return "déplacement impossible d'un disque à un autre";
    case ERROR_TOO_MANY_OPEN_FILES: // EINTR
    case EMFILE:                    // ERROR_BAD_LENGTH
        return "trop de fichiers ouverts à la fois par le programme";
    case ERROR_NOT_ENOUGH_MEMORY: // ENOEXEC
    case ERROR_OUTOFMEMORY:       // EFAULT
    case ENOMEM:                  // ERROR_INVALID_ACCESS
    case ERROR_NO_SYSTEM_RESOURCES:
    case ERROR_COMMITMENT_LIMIT:
        return "mémoire insuffisante";
    case EFBIG: // ERROR_SECTOR_NOT_FOUND
        return "fichier trop volumineux";
    case EOVERFLOW:
        return "fichier trop volumineux pour ce programme";
    case ELOOP:
    case ERROR_CANT_RESOLVE_FILENAME:
    case ERROR_CANT_ACCESS_FILE:
        return "lien symbolique refusé";
    case ERROR_INVALID_HANDLE: // ENXIO
    case EBADF:
        return "fichier fermé avant la fin de l'opération";
    case EAGAIN: // ERROR_BAD_FORMAT
        return "ressource momentanément indisponible ; réessayez";
    case ERROR_OPERATION_ABORTED:
    case ERROR_CANCELLED:
        return "opération interrompue";
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return "partage réseau introuvable";
    case ERROR_NETNAME_DELETED:
    case ERROR_UNEXP_NET_ERR:
    case ERROR_NETWORK_BUSY:
    case ERROR_REM_NOT_LIST:
    case ERROR_DEV_NOT_EXIST:
    case ENOTCONN:
    case ECONNABORTED:
    case ENETDOWN:
        return "le partage réseau ne répond plus";
    default:
        // No English text of the system: the number is what a technician needs.
        return "erreur système " + std::to_string(errorNumber);
    }
}

std::string ReadWholeFile(const fs::path& file, std::size_t limit) {
    return readFile(file, limit, true);
}

void WriteWorkFile(const fs::path& file, std::string_view contents) {
    writeWork(file, contents);
}

int ReplaceFile(const fs::path& file, std::string_view contents) {
    return static_cast<int>(windows::ReplaceThroughTemporary(file, contents, nullptr));
}

void WriteFileAtomically(const fs::path& file, std::string_view contents) {
    if (const int error = ReplaceFile(file, contents); error != 0)
        fail("Impossible d'écrire le fichier", file, static_cast<DWORD>(error));
}

} // namespace zeb
