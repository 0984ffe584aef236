#include "FamilyFiles.h"

#include "ClassOutputs.h"
#include "FamilyHtml.h"
#include "PupilFileName.h"
#include "core/Cp1252.h"
#include "core/Errors.h"
#include "platform/Platform.h"
#include "sheet/PupilByPupil.h"
#include "sheet/ResultSheet.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace zeb::cli {
namespace {

std::string pupilName(const PupilRecord& pupil) {
    return cp1252::toUtf8(TrimTrailingSpaces(pupil.Surname)) + " " +
           cp1252::toUtf8(TrimTrailingSpaces(pupil.FirstName));
}

std::string replacedAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

// Hidden folders of a run inside the destination, recognised and removed by the next run when a
// run was killed.
constexpr std::string_view StagingPrefix = ".zeb-fiches-";

// The destination folder, made when missing; removed again unless the run completes.
class Destination {
public:
    explicit Destination(const fs::path& folder) : folder_(folder), made_(MakePrivateFolder(folder)) {}
    ~Destination() {
        std::error_code ignored;
        if (made_)
            fs::remove(folder_, ignored); // only when empty
    }
    Destination(const Destination&) = delete;
    Destination& operator=(const Destination&) = delete;
    void keep() { made_ = false; }

private:
    fs::path folder_;
    bool made_;
};

// The files of each pupil, in pupil order: the PDF, and the web page beside it when asked for.
using PupilFiles = std::vector<std::vector<std::string>>;

// Puts every pupil's files in their place, each older file of the same name kept aside in the
// staging folder; when one cannot go, those already in place go back and the older ones with them.
void placeAll(const fs::path& staging, const fs::path& folder, const PupilFiles& files,
              const ProgramState& state) {
    std::vector<Placement> placed;
    for (std::size_t k = 0; k < files.size(); ++k) {
        const int pupil = static_cast<int>(k) + 1;
        try {
            for (const std::string& name : files[k]) {
                const fs::path target = folder / PathFromUtf8(name);
                if (const PathInfo::Kind kind = InspectPath(target).kind; kind != PathInfo::Kind::Absent &&
                                                                          kind != PathInfo::Kind::File &&
                                                                          kind != PathInfo::Kind::Link)
                    throw ZebError("« " + PrintableName(Utf8FromPath(target)) +
                                   " » existe et n'est pas un fichier : ZEB ne le remplace pas.");
                placed.push_back(Placement::Put(staging / PathFromUtf8(name), target,
                                                staging / PathFromUtf8(".ancien-" + name)));
            }
        } catch (const ZebError& error) {
            bool restored = true;
            for (auto it = placed.rbegin(); it != placed.rend(); ++it)
                restored = it->undo() && restored;
            throw ZebError(
                "la fiche de l'élève " + std::to_string(pupil) + " (" +
                PrintableName(pupilName(state.Class.ClassResults[pupil])) +
                ") n'a pas pu être mise en place : " + error.what() + " Le dossier « " +
                PrintableName(Utf8FromPath(folder)) + " » " +
                (restored ? "est resté tel qu'il était."
                          : "n'a pas pu être remis tel qu'il était : vérifiez les fiches qu'il contient."));
        }
    }
}

} // namespace

int WriteFamilyFiles(const PdfWriter& writing, const fs::path& folder, const ProgramState& state,
                     const std::vector<Subject>& subjects, bool doubleSided, bool html) {
    Destination destination(folder);
    RemoveStaleFolders(folder, StagingPrefix);
    const int pupils = state.Class.PupilCount;
    PupilFiles files;
    for (int pupil = 1; pupil <= pupils; ++pupil) {
        const PupilRecord& record = state.Class.ClassResults[pupil];
        const std::string pdf =
            PupilFileName(pupil, cp1252::toUtf8(record.Surname), cp1252::toUtf8(record.FirstName));
        files.push_back({pdf});
        if (html)
            files.back().push_back(pdf.substr(0, pdf.size() - std::string_view(".pdf").size()) + ".html");
    }
    {
        // The files are made inside the destination, so that putting them in place is a rename;
        // hidden, private, and removed as a whole however the run ends.
        const PrivateFolder staging(folder, StagingPrefix,
                                    "Impossible d'écrire dans le dossier « " +
                                        PrintableName(Utf8FromPath(folder)) + " »");
        const SheetSource source = SheetSource::Of(state);
        std::atomic<int> next{1};
        std::mutex failureLock;
        std::optional<std::pair<int, std::string>> failure;
        const auto writePupils = [&] {
            for (int pupil; (pupil = next++) <= pupils && !InterruptionRequested();) {
                try {
                    std::vector<SheetDocument> sheets;
                    sheets.reserve(subjects.size());
                    std::vector<const Document*> documents;
                    for (const Subject subject : subjects)
                        documents.push_back(&sheets.emplace_back(subject, source, pupil, pupil));
                    const PupilByPupilDocument padded(documents);
                    if (doubleSided)
                        documents = {&padded};
                    const std::vector<std::string>& names = files[static_cast<std::size_t>(pupil - 1)];
                    writing.Write(staging.path() / PathFromUtf8(names.front()), documents,
                                  FamilyPdfTitle(state.Class.ClassResults[pupil]));
                    if (html)
                        WriteFileAtomically(staging.path() / PathFromUtf8(names.back()),
                                            FamilySheetHtml(source, pupil, subjects));
                } catch (const std::exception& error) {
                    const std::lock_guard lock(failureLock);
                    if (!failure || pupil < failure->first)
                        failure.emplace(pupil, error.what());
                    next = pupils + 1;
                }
            }
        };
        // Each file has its own writer: the pupils share the machine's cores.
        const unsigned helpers = WorkerThreadCount(8) - 1;
        std::vector<std::jthread> threads;
        for (unsigned t = 0; t < helpers && static_cast<int>(t) + 1 < pupils; ++t)
            threads.emplace_back(writePupils);
        writePupils();
        threads.clear();
        ThrowIfInterrupted();
        if (failure)
            throw ZebError("la fiche de l'élève " + std::to_string(failure->first) + " (" +
                           PrintableName(pupilName(state.Class.ClassResults[failure->first])) +
                           ") n'a pas pu être écrite : " +
                           replacedAll(failure->second, Utf8FromPath(staging.path()), Utf8FromPath(folder)));
        // Every file is complete: only now do they replace the older ones, all of them even when
        // the user interrupts meanwhile (a handful of renames).
        placeAll(staging.path(), folder, files, state);
    }
    destination.keep();
    return pupils;
}

} // namespace zeb::cli
