#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

namespace zeb {

// Closes a descriptor on every path out of a function.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

inline constexpr std::string_view WorkFolderName = "TMP";
inline constexpr std::string_view TempFileName = "temp.txt";
inline constexpr std::string_view FrenchFileName = "Fichier1.c01";
inline constexpr std::string_view MathsFileName = "Fichier2.c01";

// The work folder inside the program's folder.
std::filesystem::path WorkFolder(const std::filesystem::path& programFolder);

// Removes temp.txt, Fichier1.c01 and Fichier2.c01 where they exist; the folder stays.
// A work folder that is a symbolic link is left alone: what it points to is not ours.
void DeleteWorkFiles(const std::filesystem::path& programFolder);

// The work folder, created private to the user and held open, so that every work file is
// reached through this very folder: never through a symbolic link put in its place or in
// place of a work file, which would let a load overwrite, then delete, someone else's file.
class WorkFolderHandle {
public:
    // Throws ZebError with a French message when the folder cannot be created or opened, is
    // a symbolic link or is not a folder.
    explicit WorkFolderHandle(const std::filesystem::path& programFolder);
    ~WorkFolderHandle();
    WorkFolderHandle(const WorkFolderHandle&) = delete;
    WorkFolderHandle& operator=(const WorkFolderHandle&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // As WriteWorkFile and ReadWholeFile, for a file of this folder that must be an
    // ordinary file and not a link.
    void write(std::string_view name, std::string_view contents) const;
    std::string read(std::string_view name) const;

private:
    std::filesystem::path path_;
    int fd_;
};

// A class export is a few tens of kilobytes; anything past this is not one, and reading it
// whole would only exhaust the memory.
inline constexpr std::size_t MaxReadBytes = 64u << 20;

// Whole contents of an ordinary file as bytes, at most `limit` of them. A folder, a pipe or
// a device is refused before it is opened (a pipe would wait for ever for a writer). Throws
// ZebError with a French message.
std::string ReadWholeFile(const std::filesystem::path& file, std::size_t limit = MaxReadBytes);

// Writes a work file in place: created or truncated to what is written, readable by the
// user only, never through a symbolic link nor into a pipe or a device (the last part of
// the path; the folders before it are the caller's). A write that fails removes the file, so no
// partial file stays. Work files are rebuilt at every load, so they skip the new inode and
// rename of an atomic replacement, which on ext4 costs more than the whole import.
// Throws ZebError with a French message.
void WriteWorkFile(const std::filesystem::path& file, std::string_view contents);

// Writes a file the user keeps: a file without a name in its folder, flushed to the disk, then
// named, so the file is either the old one or the complete new one and a run stopped half-way
// leaves nothing. Whatever had the name, a symbolic link included, is replaced, never written
// through. Readable by the user only, as everything about pupils. Throws ZebError with a
// French message.
void WriteFileAtomically(const std::filesystem::path& file, std::string_view contents);

// The same, for callers that word their own message: 0, or the system's error number.
int ReplaceFile(const std::filesystem::path& file, std::string_view contents);

// The French wording of a system error number, for messages.
std::string FrenchReason(int errorNumber);

} // namespace zeb
