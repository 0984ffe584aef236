#include "ExportLoad.h"

#include "core/Cp1252.h"
#include "core/Errors.h"
#include "core/ExportScan.h"

#include <algorithm>
#include <cctype>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zeb {
namespace fs = std::filesystem;

CurrentFolderGuard::CurrentFolderGuard() : fd_(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}

CurrentFolderGuard::~CurrentFolderGuard() {
    if (fd_ >= 0) {
        // A destructor has no one to tell that the folder could not come back.
        [[maybe_unused]] const int back = ::fchdir(fd_);
        ::close(fd_);
    }
}

std::recursive_mutex& UnzipComponentMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

namespace {

// An empty folder of the user's only, whatever an earlier load left in it. A real folder is
// emptied in place (removing and making it again costs every load two metadata writes);
// anything else in its place (a link, a file) is removed first.
void emptyFolder(const fs::path& folder) {
    std::error_code ignored;
    if (fs::is_directory(fs::symlink_status(folder, ignored))) {
        std::vector<fs::path> entries;
        for (fs::directory_iterator it(folder, ignored), end; !ignored && it != end; it.increment(ignored))
            entries.push_back(it->path());
        for (const fs::path& entry : entries)
            fs::remove_all(entry, ignored);
    } else {
        fs::remove_all(folder, ignored);
        fs::create_directories(folder, ignored);
    }
    ::chmod(folder.c_str(), 0700);
}

std::string reported(const std::vector<std::string>& messages) {
    std::string text;
    for (const std::string& message : messages)
        text += "\n  " + PrintableUtf8(message);
    return text;
}

std::string quoted(const fs::path& file) {
    return "« " + file.string() + " »";
}

fs::path extractDocument(TZip& zip, const fs::path& archive, const fs::path& folder,
                         std::vector<std::string>& warnings) {
    std::error_code error;
    // A folder, a pipe or a device is the component's to name.
    if (!fs::exists(archive, error))
        throw ZebError("L'archive " + quoted(archive) + " est introuvable.");
    std::int32_t result = 0;
    {
        const std::lock_guard serialised(UnzipComponentMutex());
        const CurrentFolderGuard back;
        try {
            zip.SetZipFileName(archive.string());
            result = ExtractAllMembers(zip, folder.string());
        } catch (const ZipException& failure) {
            throw ZebError(std::string(failure.what()) + reported(zip.LibraryMessages));
        }
    }
    const std::vector<fs::path> documents = ListerFichiersXml(folder);
    if (result < 0 || documents.empty()) {
        const std::string locked = zip.PasswordProtectedMessage();
        // With reasons, the document may well be there and could not be taken out (a member
        // refused, a password, too many open files): the headline must not say it is missing.
        const std::string headline =
            locked.empty() && zip.LibraryMessages.empty()
                ? "L'archive " + quoted(archive) + " ne contient aucun document d'export."
                : "Aucun document d'export n'a pu être extrait de l'archive " + quoted(archive) + " :";
        throw ZebError(headline + (locked.empty() ? "" : "\n  " + locked) + reported(zip.LibraryMessages));
    }
    warnings = zip.LibraryMessages;
    return documents.front();
}

} // namespace

bool IsExportDocument(const fs::path& file) {
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".xml";
}

std::vector<std::string> LoadExport(TZip& zip, const fs::path& source, const ExportLoadFolders& folders,
                                    ProgramState& state, const std::vector<std::string>& searchWords,
                                    const std::function<void()>& extracted) {
    std::vector<std::string> warnings;
    if (IsExportDocument(source)) {
        if (extracted)
            extracted();
        ImportExportDocument(source, folders.program, state, searchWords);
        return warnings;
    }
    // Nothing extracted outlives the load, for a later load to scan or a reader to find.
    struct Emptied {
        const fs::path& folder;
        ~Emptied() { emptyFolder(folder); }
    } emptied{folders.extraction};
    emptyFolder(folders.extraction);
    const fs::path document = extractDocument(zip, source, folders.extraction, warnings);
    if (extracted)
        extracted();
    ImportExportDocument(document, folders.program, state, searchWords);
    return warnings;
}

} // namespace zeb
