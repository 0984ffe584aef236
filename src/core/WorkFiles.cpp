#include "WorkFiles.h"

#include "Errors.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zeb {
namespace fs = std::filesystem;

namespace {

// Closes a descriptor on every path out of a function.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

std::string quoted(const fs::path& file) {
    return "« " + file.string() + " »";
}

[[noreturn]] void fail(const char* what, const fs::path& file, int errorNumber) {
    throw ZebError(std::string(what) + " " + quoted(file) + " : " + FrenchReason(errorNumber) + ".");
}

} // namespace

fs::path WorkFolder(const fs::path& programFolder) {
    return programFolder / WorkFolderName;
}

void CreateWorkFolder(const fs::path& programFolder) {
    ::mkdir(WorkFolder(programFolder).c_str(), 0700);
}

void DeleteWorkFiles(const fs::path& programFolder) {
    for (std::string_view name : {TempFileName, FrenchFileName, MathsFileName}) {
        std::error_code ignored;
        fs::remove(WorkFolder(programFolder) / name, ignored);
    }
}

std::string FrenchReason(int errorNumber) {
    switch (errorNumber) {
    case ENOENT:
        return "fichier ou dossier introuvable";
    case EACCES:
    case EPERM:
        return "accès refusé";
    case EISDIR:
        return "c'est un dossier, pas un fichier";
    case ENOTDIR:
        return "un élément du chemin n'est pas un dossier";
    case ENOSPC:
        return "plus de place sur le disque";
    case EDQUOT:
        return "quota de disque dépassé";
    case EROFS:
        return "le support est en lecture seule";
    case EIO:
        return "erreur d'entrée-sortie du support";
    case ENAMETOOLONG:
        return "nom de fichier trop long";
    case ELOOP:
        return "lien symbolique refusé";
    case EMFILE:
    case ENFILE:
        return "trop de fichiers ouverts";
    case EFBIG:
        return "fichier trop volumineux";
    default:
        return std::string("erreur système ") + std::to_string(errorNumber) + " (" +
               std::strerror(errorNumber) + ")";
    }
}

std::string ReadWholeFile(const fs::path& file, std::size_t limit) {
    FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        fail("Impossible d'ouvrir le fichier", file, errno);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        fail("Impossible de lire le fichier", file, errno);
    if (S_ISDIR(info.st_mode))
        fail("Impossible de lire le fichier", file, EISDIR);
    auto tooLarge = [&] {
        throw ZebError("Le fichier " + quoted(file) + " est trop volumineux (plus de " +
                       std::to_string(limit >> 20) + " Mo) pour être un export de classe.");
    };
    std::string contents;
    if (S_ISREG(info.st_mode)) {
        if (static_cast<std::uintmax_t>(info.st_size) > limit)
            tooLarge();
        contents.reserve(static_cast<std::size_t>(info.st_size));
    }
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            fail("Impossible de lire le fichier", file, errno);
        }
        if (got == 0)
            break;
        contents.append(buffer, static_cast<std::size_t>(got));
        if (contents.size() > limit) // a file that grew, or a pipe
            tooLarge();
    }
    return contents;
}

namespace {

// Writes everything or returns the errno of the failure (0 on success).
int writeAll(int fd, std::string_view contents) {
    std::size_t written = 0;
    while (written < contents.size()) {
        const ssize_t done = ::write(fd, contents.data() + written, contents.size() - written);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        written += static_cast<std::size_t>(done);
    }
    return 0;
}

} // namespace

void WriteWorkFile(const fs::path& file, std::string_view contents) {
    FileDescriptor fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.get() < 0)
        fail("Impossible de créer le fichier", file, errno);
    int error = writeAll(fd.get(), contents);
    if (error == 0 && ::ftruncate(fd.get(), static_cast<off_t>(contents.size())) != 0)
        error = errno;
    if (::close(fd.release()) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        ::unlink(file.c_str());
        fail("Impossible d'écrire le fichier", file, error);
    }
}

void WriteFileAtomically(const fs::path& file, std::string_view contents) {
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    std::string pattern = (folder / ("." + file.filename().string() + ".XXXXXX")).string();
    FileDescriptor fd(::mkostemp(pattern.data(), O_CLOEXEC));
    if (fd.get() < 0)
        fail("Impossible de créer le fichier", file, errno);
    int error = writeAll(fd.get(), contents);
    if (error == 0 && ::fsync(fd.get()) != 0)
        error = errno;
    if (::close(fd.release()) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(pattern.c_str(), file.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(pattern.c_str());
        fail("Impossible d'écrire le fichier", file, error);
    }
}

} // namespace zeb
