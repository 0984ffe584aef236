#include "ExportLoad.h"

#include "core/Cp1252.h"
#include "core/Errors.h"
#include "core/ExportScan.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <mutex>
#include <vector>

namespace zeb {
namespace fs = std::filesystem;

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
    fs::permissions(folder, fs::perms::owner_all, ignored);
}

std::string reported(const std::vector<std::string>& messages) {
    std::string text;
    for (const std::string& message : messages)
        text += "\n  " + PrintableUtf8(message);
    return text;
}

std::string quoted(const fs::path& file) {
    return "« " + Utf8FromPath(file) + " »";
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
            zip.SetZipFileName(Utf8FromPath(archive));
            result = ExtractAllMembers(zip, Utf8FromPath(folder));
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

std::vector<fs::path> ListerFichiersXml(const fs::path& folder) {
    std::vector<fs::path> found;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = Utf8FromPath(it->path().filename());
        if (name.empty() || name.front() == '.')
            continue;
        if (InspectPath(it->path()).kind != PathInfo::Kind::File)
            continue;
        if (Contient(name, "xml"))
            found.push_back(it->path());
    }
    // A folder that is not there holds nothing; one that cannot be read (too many open files,
    // no permission) says so, rather than pass for a folder without a document.
    if (error && error.value() != ENOENT)
        throw ZebError("Impossible de lire le dossier « " + PrintableName(Utf8FromPath(folder)) +
                       " » : " + FrenchReason(error.value()) + ".");
    std::sort(found.begin(), found.end());
    return found;
}

bool IsExportDocument(const fs::path& file) {
    std::string extension = Utf8FromPath(file.extension());
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
