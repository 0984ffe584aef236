#include "SchoolBatch.h"

#include "ArchiveImport.h"
#include "ClassOutputs.h"
#include "ClassReport.h"
#include "OwnFiles.h"
#include "PupilFileName.h"
#include "core/ClassSynthesis.h"
#include "core/Cp1252.h"
#include "core/Errors.h"
#include "core/ItemAnalysis.h"
#include "core/ObjectiveTables.h"
#include "platform/Platform.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <tuple>

namespace zeb::cli {
namespace fs = std::filesystem;

namespace {

const std::vector<Subject> BothSubjects{Subject::French, Subject::Mathematics};
const std::vector<std::string> ClassFiles{"fiches.pdf",   "scores.csv",  "synthese.pdf",
                                          "synthese.csv", "groupes.csv", "items.csv"};
// In the output folder, beside the classes: the school's files, the list that marks them as
// ZEB's, the lock of a run, and the hidden folders of a run (whatever starts with OwnPrefix).
constexpr std::string_view SchoolFileStem = "ecole";
constexpr std::string_view SchoolItemsFileStem = "ecole-items";
constexpr std::string_view SchoolListName = ".zeb-ecole";
constexpr std::string_view LockName = ".zeb-verrou";
constexpr std::string_view OwnPrefix = ".zeb-";
constexpr std::string_view StagingPrefix = ".zeb-classe-";
constexpr std::string_view AsidePrefix = ".zeb-ancien-";
constexpr std::string_view SchoolStagingPrefix = ".zeb-ecole-";
// Left in the folder of a class that this run could not write again.
constexpr std::string_view NoticeName = "ANCIENS-RESULTATS.txt";
// More threads than this only wait for the unzip component and hold files open.
constexpr unsigned MaxWorkers = 32;

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string inQuotes(const fs::path& path) {
    return "« " + PrintableName(Utf8FromPath(path)) + " »";
}

struct ClassJob {
    fs::path source;
    std::string base;        // the export's name without its extension
    std::string className;   // UTF-8, as the export names the class, fit for a folder's name; or empty
    std::string name;        // of its folder in the output folder, chosen once the class is read
    bool isExport = true;    // false for a folder that gave no export
    bool replaces = false;   // that folder is one ZEB wrote in an earlier run
    std::string failure;     // French; the class is not written
    std::string duplicateOf; // the class it repeats; not written either
    std::vector<std::string> notes;
    std::int32_t pupils = 0;
    std::vector<ObjectiveTally> tallies; // French objectives then Mathematics ones
    std::vector<ItemCounts> items;       // French items then Mathematics ones
    std::string digest;                  // of its pupils' records
    std::unique_ptr<PrivateFolder> staging;
    OwnList ownList;     // of the staged files
    bool staged = false; // every file is in `staging`
    bool placed = false; // and the folder is in place
    std::optional<std::string> password;
    bool passwordWanted = false;
    bool failureTold = false;
};

// The exports a folder holds, in name order; nothing below it.
std::vector<fs::path> folderExports(const fs::path& folder, std::string& failure) {
    std::vector<fs::path> found;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (lowered(Utf8FromPath(it->path().extension())) == ".jad" && it->is_regular_file(error))
            found.push_back(it->path());
    if (error)
        failure =
            "impossible de lire le dossier " + inQuotes(folder) + " : " + FrenchReason(error.value()) + ".";
    else if (found.empty())
        failure = "le dossier " + inQuotes(folder) + " ne contient aucun fichier .jad.";
    std::sort(found.begin(), found.end());
    return found;
}

// The export's name, made a plain visible name that every system takes; never half a UTF-8
// character, and room left for a suffix and the hidden names beside it.
std::string baseName(std::string base) {
    if (base.empty() || base.front() == '.')
        base.insert(0, "_");
    if (base.size() > 200) {
        std::size_t cut = 200;
        while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80)
            --cut;
        base.resize(cut);
    }
    return PortableFileName(std::move(base));
}

// Whether `path` lies inside `folder` (both absolute, links resolved where they exist).
bool inside(const fs::path& path, const fs::path& folder) {
    std::error_code error;
    const fs::path relative =
        fs::weakly_canonical(path, error).lexically_relative(fs::weakly_canonical(folder, error));
    return !relative.empty() && *relative.begin() != "..";
}

std::string today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    {
        // Standard C's one shared result; nothing else of the program asks for the local time.
        static std::mutex clock;
        const std::lock_guard lock(clock);
        if (const std::tm* converted = std::localtime(&now))
            local = *converted;
    }
    char text[40] = {};
    std::strftime(text, sizeof text, "%d/%m/%Y à %H:%M", &local);
    return text;
}

// The output folder, made when missing and locked for the run: a second run into it waits for
// nobody, it stops with a message. Made by this run and left without results, it goes again.
class OutputFolder {
public:
    explicit OutputFolder(const fs::path& folder) : folder_(folder), made_(make(folder)) {
        if (const int error = CheckWritableFolder(folder); error != 0)
            fail("Impossible d'écrire dans le dossier " + inQuotes(folder) + " : " + FrenchReason(error) +
                 ".");
        try {
            lock_ = FolderLock::TryLock(folder, LockName);
        } catch (const ZebError& error) {
            fail(error.what());
        }
        if (!lock_)
            fail("un autre zeb-fiches écrit déjà dans le dossier " + inQuotes(folder) +
                 " ; relancez celui-ci quand il aura fini.");
    }
    ~OutputFolder() {
        lock_.reset();
        if (made_ && !kept_) {
            std::error_code ignored;
            fs::remove(folder_ / LockName, ignored);
            fs::remove(folder_, ignored); // only when empty
        }
    }
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;
    void keep() { kept_ = true; }

private:
    static bool make(const fs::path& folder) {
        std::error_code error;
        if (fs::exists(folder, error) && !fs::is_directory(folder, error))
            throw ZebError(inQuotes(folder) + " existe et n'est pas un dossier.");
        return MakePrivateFolder(folder);
    }

    [[noreturn]] void fail(const std::string& message) {
        std::error_code ignored;
        if (made_)
            fs::remove(folder_, ignored);
        throw ZebError(message);
    }

    fs::path folder_;
    bool made_;
    bool kept_ = false;
    std::optional<FolderLock> lock_;
};

class Batch {
public:
    Batch(const SchoolBatchOptions& options, const PdfWriter& pdf, std::ostream& messages)
        : options_(options), out_(options.output), pdf_(pdf), messages_(messages) {}

    int run() {
        jobs_ = plannedClasses();
        folder_.emplace(out_);
        BaseWorkFolder(); // a temporary folder that cannot be used stops all, said once
        restoreLeftovers();
        chooseSchoolFiles();
        for (ClassJob& job : jobs_)
            report(job);
        terminal_ = TerminalAvailable();
        startWorkers();
        clearProgress();
        askPasswords();
        // Interrupted: what the classes made goes with them, the output folder is as it was.
        ThrowIfInterrupted();
        const std::vector<std::pair<ClassJob*, const ClassJob*>> repeats = repeatedClasses();
        chooseFolders();
        dropRepeatedClasses(repeats);
        const bool schoolWritten = commit();
        for (ClassJob& job : jobs_)
            report(job);
        return std::max(summary(), schoolWritten ? 0 : 1);
    }

private:
    // ---- Planning, on the main thread -----------------------------------------------------

    std::vector<ClassJob> plannedClasses() {
        std::vector<ClassJob> jobs;
        std::vector<fs::path> seen;
        const auto add = [&](const fs::path& file) {
            // The same file under two names (a link, "x/../a.jad"): its identity on the disk.
            const auto first = std::find_if(seen.begin(), seen.end(), [&file](const fs::path& earlier) {
                std::error_code error;
                return fs::equivalent(earlier, file, error);
            });
            if (first != seen.end()) {
                messages_ << "zeb-fiches : attention : " << inQuotes(file)
                          << (file == *first ? " est donné deux fois"
                                             : " est le même fichier que " + inQuotes(*first))
                          << " : la classe n'est écrite qu'une fois.\n";
                ++repeated_;
                return;
            }
            seen.push_back(file);
            ClassJob& job = jobs.emplace_back();
            job.source = file;
            job.base = baseName(Utf8FromPath(file.stem()));
        };
        for (const fs::path& given : options_.exports) {
            fs::path input = fs::absolute(given).lexically_normal();
            if (!input.has_filename() && input.has_parent_path())
                input = input.parent_path(); // "ce2-a/" is the folder ce2-a
            std::error_code error;
            if (!fs::is_directory(input, error)) {
                add(input);
                continue;
            }
            std::string failure;
            const std::vector<fs::path> found = folderExports(input, failure);
            if (!failure.empty()) {
                ClassJob& job = jobs.emplace_back();
                job.source = input;
                job.base = baseName(Utf8FromPath(input.filename()));
                job.isExport = false;
                job.failure = failure;
            }
            for (const fs::path& file : found)
                add(file);
        }
        return jobs;
    }

    // What a run killed in the middle left: a class folder set aside and not yet replaced goes
    // back in its place; every other leftover of ZEB's goes.
    void restoreLeftovers() {
        std::error_code error;
        for (fs::directory_iterator it(out_, error), end; !error && it != end; it.increment(error)) {
            const std::string name = Utf8FromPath(it->path().filename());
            if (!name.starts_with(AsidePrefix) || !IsStaleOwnFolder(it->path()))
                continue;
            try {
                const std::optional<OwnList> list =
                    OwnList::parse(ReadWholeFile(it->path() / OwnMarkName, 1 << 16));
                if (!list || !list->subject.starts_with("classe "))
                    continue;
                const std::string className = list->subject.substr(7);
                if (className.find_first_of("/\\:") == std::string::npos && !className.starts_with('.'))
                    Placement::PutWhereFree(it->path(), out_ / PathFromUtf8(className));
            } catch (const ZebError&) {
                // its class folder is there again: the leftover goes below
            }
        }
        RemoveStaleFolders(out_, OwnPrefix);
    }

    // The school's files, ecole.csv and ecole-items.csv: each its own name, or the next free one
    // when what stands there is not ZEB's.
    void chooseSchoolFiles() {
        std::tie(schoolFile_, schoolFileIsOurs_) =
            chooseSchoolFile(SchoolFileStem, "les résultats de l'école sont écrits");
        std::tie(schoolItemsFile_, schoolItemsFileIsOurs_) =
            chooseSchoolFile(SchoolItemsFileStem, "l'analyse des items de l'école est écrite");
    }

    // The name, and whether the file there is ZEB's to replace.
    std::pair<std::string, bool> chooseSchoolFile(std::string_view stem, std::string_view writtenWhere) {
        std::string leftAlone;
        for (int n = 1;; ++n) {
            const std::string name = std::string(stem) + (n == 1 ? "" : "-" + std::to_string(n)) + ".csv";
            const Ownership own = FileOwnership(out_ / PathFromUtf8(name), out_ / SchoolListName);
            if (own.kind == Ownership::Kind::Foreign) {
                if (leftAlone.empty())
                    leftAlone =
                        inQuotes(out_ / PathFromUtf8(name)) + " est laissé tel quel (" + own.reason + ")";
                continue;
            }
            if (!leftAlone.empty())
                messages_ << "zeb-fiches : attention : " << leftAlone << " : " << writtenWhere << " dans "
                          << inQuotes(out_ / PathFromUtf8(name)) << ".\n";
            return {name, own.kind == Ownership::Kind::Ours};
        }
    }

    // Each class's folder, in the order the exports were given: the class's name as its export
    // gives it, or else the export's own name; the next with a suffix when another class has it
    // (in any letter case) or when what stands there is not ZEB's. A class that could not be
    // read gets the folder of its export's name, where a note may tell of its older results.
    void chooseFolders() {
        std::set<std::string> taken{lowered(std::string(SchoolClassName)), lowered(schoolFile_),
                                    lowered(schoolItemsFile_)};
        for (ClassJob& job : jobs_) {
            if (!job.isExport)
                continue;
            if (!job.className.empty())
                job.base = baseName(job.className);
            chooseFolder(job, taken);
            if (job.staged)
                nameStaged(job);
        }
    }

    void chooseFolder(ClassJob& job, std::set<std::string>& taken) {
        std::string leftAlone;
        for (int n = 1;; ++n) {
            const std::string name = job.base + (n == 1 ? "" : "-" + std::to_string(n));
            if (taken.contains(lowered(name)))
                continue;
            const fs::path folder = out_ / PathFromUtf8(name);
            Ownership own = ClassFolderOwnership(folder);
            if (own.kind == Ownership::Kind::Ours && holdsAnExport(folder))
                own = {Ownership::Kind::Foreign, "il contient un export que cette commande lit", {}};
            if (own.kind == Ownership::Kind::Foreign) {
                if (leftAlone.empty())
                    leftAlone = inQuotes(folder) + " n'est pas un dossier de résultats de ZEB (" +
                                own.reason + ") : il est laissé tel quel";
                continue;
            }
            job.name = name;
            job.replaces = own.kind == Ownership::Kind::Ours;
            taken.insert(lowered(name));
            if (!leftAlone.empty())
                job.notes.push_back(leftAlone + " et la classe est écrite dans " + inQuotes(folder) + ".");
            return;
        }
    }

    bool holdsAnExport(const fs::path& folder) const {
        return std::any_of(options_.exports.begin(), options_.exports.end(),
                           [&folder](const fs::path& given) { return inside(fs::absolute(given), folder); });
    }

    // ---- The classes, on the workers ------------------------------------------------------

    void startWorkers() {
        const auto most =
            std::min<unsigned>(MaxWorkers, static_cast<unsigned>(std::max<std::size_t>(jobs_.size(), 1)));
        const unsigned threads =
            options_.threads == 0 ? WorkerThreadCount(most) : std::clamp<unsigned>(options_.threads, 1, most);
        std::vector<std::jthread> workers;
        for (unsigned t = 0; t < threads; ++t)
            workers.emplace_back([this] { work(); });
    }

    void work() {
        for (std::size_t k; (k = next_++) < jobs_.size() && !InterruptionRequested();) {
            ClassJob& job = jobs_[k];
            if (!job.failure.empty())
                continue;
            showProgress(k, job.base);
            if (!writeClass(job))
                return;
        }
    }

    // False when the run is interrupted: the class then stays unwritten.
    bool writeClass(ClassJob& job) {
        std::vector<std::string> said;
        try {
            job.staging.reset();
            job.failure.clear();
            auto state = std::make_unique<ProgramState>();
            BuildObjectiveTables(*state);
            {
                const PrivateFolder work(BaseWorkFolder(), WorkFolderPrefix,
                                         "Impossible de créer le dossier de travail temporaire");
                ExportQuestions questions;
                questions.askAtTerminal = false;
                questions.password = job.password;
                questions.said = &said;
                try {
                    for (std::string& warning : LoadClassExport(job.source, work.path(), *state, questions))
                        said.push_back("attention : " + warning);
                } catch (const ZebError&) {
                    job.passwordWanted = questions.passwordWanted;
                    throw;
                }
                job.passwordWanted = false;
            }
            ThrowIfInterrupted();
            stage(job, *state);
            job.staged = true;
        } catch (const Interrupted&) {
            job.staging.reset();
            return false;
        } catch (const std::exception& error) {
            // Said of the class's folder, not of the hidden one it was being made in.
            job.failure = error.what();
            if (job.staging)
                for (std::size_t at;
                     (at = job.failure.find(Utf8FromPath(job.staging->path()))) != std::string::npos;)
                    job.failure.replace(at, Utf8FromPath(job.staging->path()).size(),
                                        Utf8FromPath(out_ / PathFromUtf8(job.base)));
            job.staging.reset();
        }
        job.notes.insert(job.notes.end(), said.begin(), said.end());
        return true;
    }

    // Every file of the class, then the list that marks the folder as ZEB's, in a hidden folder
    // beside the class's: putting it in place is then one rename.
    void stage(ClassJob& job, ProgramState& state) {
        state.CurrentTreatment = options_.treatment;
        job.pupils = state.Class.PupilCount;
        job.className = cp1252::toUtf8(FileNameText(state.Class.Info.ClassName));
        job.tallies.clear();
        for (const Subject subject : BothSubjects) {
            const SubjectSynthesis synthesis = SynthesizeSubject(state.Class, subject);
            for (int j = 1; j <= synthesis.ObjectiveCount; ++j)
                job.tallies.push_back(synthesis.Objectives[j].Tally);
        }
        job.items.clear();
        for (const Subject subject : BothSubjects) {
            const SubjectItems items = AnalyseItems(state, subject);
            job.items.insert(job.items.end(), items.Items.begin(), items.Items.end());
        }
        std::string records;
        for (int pupil = 1; pupil <= state.Class.PupilCount; ++pupil) {
            const PupilRecord& record = state.Class.ClassResults[pupil];
            for (const std::string_view field :
                 {std::string_view(record.Number), std::string_view(record.Surname),
                  std::string_view(record.FirstName), std::string_view(record.FrenchCodes),
                  std::string_view(record.MathsCodes)})
                records.append(field).push_back('\n');
        }
        job.digest = ContentDigest(records);

        job.staging = std::make_unique<PrivateFolder>(out_, StagingPrefix,
                                                      "Impossible de créer un dossier dans " + inQuotes(out_),
                                                      PrivateFolder::Lock::None);
        const fs::path& folder = job.staging->path();
        const ClassOutputs files{.scores = folder / "scores.csv",
                                 .synthesisCsv = folder / "synthese.csv",
                                 .groups = folder / "groupes.csv",
                                 .items = folder / "items.csv",
                                 .sheets = folder / "fiches.pdf",
                                 .synthesis = folder / "synthese.pdf",
                                 .names = options_.anonymous ? CsvNames::Removed : CsvNames::Kept};
        WriteClassOutputs(state, files, &pdf_);
        job.ownList = ListFiles(folder, "", ClassFiles);
    }

    // The list that marks the staged folder as ZEB's names the class's folder.
    void nameStaged(ClassJob& job) {
        try {
            job.ownList.subject = "classe " + job.name;
            WriteOutputFile(job.staging->path() / OwnMarkName, job.ownList.text());
        } catch (const ZebError& error) {
            job.failure = error.what();
            job.staged = false;
            job.staging.reset();
        }
    }

    // A protected export asks its password once the other classes are done, at the terminal,
    // naming the class; the classes go on meanwhile rather than wait behind the question.
    void askPasswords() {
        for (ClassJob& job : jobs_) {
            if (!job.passwordWanted || !terminal_ || InterruptionRequested())
                continue;
            for (int attempt = 0; attempt < 3 && job.passwordWanted; ++attempt) {
                const std::optional<std::string> typed =
                    ReadHiddenAnswer("zeb-fiches : " + PrintableName(job.base) + " : " +
                                     (attempt == 0 ? "" : "mot de passe refusé ; ") +
                                     "mot de passe de l'export " + inQuotes(job.source.filename()) + " : ");
                if (!typed || typed->empty() || InterruptionRequested())
                    break;
                job.password = typed;
                job.notes.clear();
                if (!writeClass(job))
                    return;
            }
        }
    }

    // ---- Into place, on the main thread ---------------------------------------------------

    // Two exports of the same class (the same pupils with the same codes) are written once:
    // each later one, with the first.
    std::vector<std::pair<ClassJob*, const ClassJob*>> repeatedClasses() {
        std::vector<std::pair<ClassJob*, const ClassJob*>> repeats;
        std::map<std::string, const ClassJob*> first;
        for (ClassJob& job : jobs_) {
            if (!job.staged)
                continue;
            const auto [earlier, added] = first.try_emplace(job.digest, &job);
            if (!added) {
                job.staged = false;
                job.staging.reset();
                repeats.emplace_back(&job, earlier->second);
            }
        }
        return repeats;
    }

    void dropRepeatedClasses(const std::vector<std::pair<ClassJob*, const ClassJob*>>& repeats) {
        for (const auto& [job, earlier] : repeats) {
            job->duplicateOf = earlier->name;
            job->notes.push_back("attention : l'export " + inQuotes(job->source) +
                                 " donne la même classe que " + inQuotes(earlier->source) +
                                 " (mêmes élèves, mêmes codes) : elle n'est écrite " + "qu'une fois, dans " +
                                 inQuotes(out_ / PathFromUtf8(job->duplicateOf)) + ".");
        }
    }

    // Every class in place at once, at the end, with the school's files that describe them: an
    // interruption before leaves the output folder as it was; one after lets this finish.
    // False when the school's files could not be written.
    bool commit() {
        ThrowIfInterrupted();
        std::unique_ptr<PrivateFolder> school;
        try {
            school = std::make_unique<PrivateFolder>(out_, SchoolStagingPrefix,
                                                     "Impossible de créer un dossier dans " + inQuotes(out_),
                                                     PrivateFolder::Lock::None);
            writeSchoolFiles(school->path());
        } catch (const ZebError& error) {
            messages_ << "zeb-fiches : " << PrintableUtf8(error.what())
                      << "\nzeb-fiches : aucune classe n'a été "
                      << "remplacée dans " << inQuotes(out_) << ".\n";
            for (ClassJob& job : jobs_)
                if (job.staged)
                    job.failure = "les résultats de l'école ne peuvent pas être écrits.";
            return false;
        }
        // The school's older files go first: a run that dies from here on leaves none rather
        // than one that describes other folders. A signal from here on waits for the end.
        const InterruptionsIgnored completing;
        folder_->keep();
        std::error_code ignored;
        for (const auto& [name, ours] :
             {std::pair{schoolFile_, schoolFileIsOurs_}, std::pair{schoolItemsFile_, schoolItemsFileIsOurs_}})
            if (ours &&
                FileOwnership(out_ / PathFromUtf8(name), out_ / SchoolListName).kind == Ownership::Kind::Ours)
                fs::remove(out_ / PathFromUtf8(name), ignored);
        removeOlderSchoolFile();
        const auto listSchoolFile = [&] {
            WriteOutputFile(out_ / SchoolListName,
                            ListFiles(school->path(), "ecole", {schoolFile_, schoolItemsFile_}).text());
        };
        try {
            listSchoolFile();
        } catch (const ZebError& error) {
            messages_ << "zeb-fiches : " << PrintableUtf8(error.what()) << '\n';
            return false;
        }

        std::vector<fs::path> older;
        bool allPlaced = true;
        for (ClassJob& job : jobs_)
            if (job.staged)
                allPlaced = place(job, older) && allPlaced;
        bool written = true;
        try {
            if (!allPlaced) { // the school's files describe the classes in place, and only them
                writeSchoolFiles(school->path());
                listSchoolFile();
            }
            for (const std::string& name : {schoolFile_, schoolItemsFile_})
                Placement::PutWhereFree(school->path() / PathFromUtf8(name), out_ / PathFromUtf8(name));
        } catch (const ZebError& error) {
            messages_ << "zeb-fiches : " << PrintableUtf8(error.what()) << '\n';
            written = false;
        }
        // The older results of the classes replaced go now.
        for (const fs::path& results : older)
            RemoveTree(results);
        for (ClassJob& job : jobs_)
            if (!job.placed && job.replaces)
                leaveNotice(job);
        return written;
    }

    // A list of ours that names other files (ecole-2.csv when ecole.csv was someone else's):
    // those files, if still ours, describe folders that are about to change.
    void removeOlderSchoolFile() {
        std::error_code ignored;
        try {
            const std::optional<OwnList> list = OwnList::parse(ReadWholeFile(out_ / SchoolListName, 1 << 16));
            for (const OwnList::File& file : list ? list->files : std::vector<OwnList::File>{})
                if (file.name != schoolFile_ && file.name != schoolItemsFile_ &&
                    file.name.find('/') == std::string::npos &&
                    FileOwnership(out_ / PathFromUtf8(file.name), out_ / SchoolListName).kind ==
                        Ownership::Kind::Ours)
                    fs::remove(out_ / PathFromUtf8(file.name), ignored);
        } catch (const ZebError&) {
            // no list, nothing older of ours
        }
    }

    // False when the class could not be put in place: it is then not written, and whatever
    // stood in its place is as it was.
    bool place(ClassJob& job, std::vector<fs::path>& older) {
        const fs::path target = out_ / PathFromUtf8(job.name);
        const fs::path staged = job.staging->path();
        const fs::path aside =
            out_ / PathFromUtf8(std::string(AsidePrefix) +
                                Utf8FromPath(staged.filename()).substr(StagingPrefix.size()));
        try {
            Placement placement = Placement::Put(staged, target, aside);
            if (!placement.previous().empty() &&
                ClassFolderOwnership(placement.previous()).kind != Ownership::Kind::Ours) {
                // Something that is not ZEB's came in between: it goes back, untouched.
                placement.undo();
                throw ZebError("le dossier " + inQuotes(target) +
                               " a changé pendant l'écriture : il est laissé tel quel.");
            }
            job.placed = true;
            job.staging->keep();
            if (!placement.previous().empty())
                older.push_back(placement.previous());
            return true;
        } catch (const ZebError& error) {
            job.failure = error.what();
            job.staged = false;
            job.staging.reset();
            return false;
        }
    }

    // A class whose older results stay: a note in its folder says they are not this run's.
    void leaveNotice(const ClassJob& job) {
        const fs::path folder = out_ / PathFromUtf8(job.name);
        Ownership own = ClassFolderOwnership(folder);
        if (own.kind != Ownership::Kind::Ours)
            return;
        const std::string why =
            job.duplicateOf.empty()
                ? "l'export de cette classe, " + inQuotes(job.source) + ", n'a pas pu être traité :\r\n" +
                      job.failure
                : "l'export " + inQuotes(job.source) + " donne la même classe que celle du dossier " +
                      inQuotes(out_ / PathFromUtf8(job.duplicateOf)) + ", où elle est écrite.";
        std::string text = "Les résultats de ce dossier viennent d'un passage précédent de zeb-fiches.\r\n"
                           "Au passage du " +
                           today() + ", " + why +
                           "\r\n"
                           "Ils ne sont pas comptés dans « " +
                           schoolFile_ + " » ni dans « " + schoolItemsFile_ + " ».\r\n";
        try {
            WriteOutputFile(folder / NoticeName, text);
            std::erase_if(own.list.files, [](const OwnList::File& file) { return file.name == NoticeName; });
            own.list.files.push_back(ListFiles(folder, "", {std::string(NoticeName)}).files.front());
            WriteOutputFile(folder / OwnMarkName, own.list.text());
        } catch (const ZebError& error) {
            messages_ << "zeb-fiches : " << PrintableUtf8(error.what()) << '\n';
        }
    }

    // The synthesis rows of every class in place, then the school's over all their pupils.
    std::string schoolCsv() const {
        std::string csv = "\xEF\xBB\xBF"
                          "classe;";
        csv.append(SynthesisCsvHeader).append("\r\n");
        std::vector<ObjectiveTally> school(FrenchObjectiveCount + MathsObjectiveCount);
        for (const ClassJob& job : jobs_) {
            if (!job.staged)
                continue;
            for (std::size_t i = 0; i < job.tallies.size(); ++i)
                school[i] += job.tallies[i];
            appendRows(csv, CsvName(job.name), job.tallies);
        }
        appendRows(csv, std::string(SchoolClassName), school);
        return csv;
    }

    void writeSchoolFiles(const fs::path& folder) const {
        WriteOutputFile(folder / PathFromUtf8(schoolFile_), schoolCsv());
        WriteOutputFile(folder / PathFromUtf8(schoolItemsFile_), schoolItemsCsv());
    }

    // The item rows of every class in place, then the school's: the sums of the classes' counts.
    std::string schoolItemsCsv() const {
        std::string csv = "\xEF\xBB\xBF"
                          "classe;";
        csv.append(ItemsCsvHeader).append("\r\n");
        // Every item of both subjects with nobody counted yet, to add the classes to.
        std::vector<ItemCounts> school;
        const auto tables = std::make_unique<ProgramState>();
        BuildObjectiveTables(*tables);
        for (const Subject subject : BothSubjects) {
            const SubjectItems items = AnalyseItems(*tables, subject);
            school.insert(school.end(), items.Items.begin(), items.Items.end());
        }
        for (const ClassJob& job : jobs_) {
            if (!job.staged)
                continue;
            for (std::size_t i = 0; i < job.items.size(); ++i)
                school[i] += job.items[i];
            appendItemRows(csv, CsvName(job.name), job.items);
        }
        appendItemRows(csv, std::string(SchoolClassName), school);
        return csv;
    }

    static void appendItemRows(std::string& csv, const std::string& name,
                               const std::vector<ItemCounts>& items) {
        for (std::size_t i = 0; i < items.size(); ++i) {
            const bool french = i < static_cast<std::size_t>(FrenchItemCount);
            csv.append(name).append(";").append(
                ItemsCsvRow(french ? Subject::French : Subject::Mathematics, items[i]));
        }
    }

    static void appendRows(std::string& csv, const std::string& name,
                           const std::vector<ObjectiveTally>& tallies) {
        for (std::size_t i = 0; i < tallies.size(); ++i) {
            const bool french = i < static_cast<std::size_t>(FrenchObjectiveCount);
            const auto objective = static_cast<std::int32_t>(french ? i + 1 : i + 1 - FrenchObjectiveCount);
            csv.append(name).append(";").append(
                SynthesisCsvRow(french ? Subject::French : Subject::Mathematics, objective, tallies[i]));
        }
    }

    // ---- What the user reads ----------------------------------------------------------------

    void showProgress(std::size_t k, const std::string& name) {
        if (!options_.showProgress)
            return;
        const std::lock_guard lock(output_);
        messages_ << "\r\x1b[K[" << k + 1 << "/" << jobs_.size() << "] " << PrintableName(name) << " …"
                  << std::flush;
    }

    void clearProgress() {
        if (options_.showProgress)
            messages_ << "\r\x1b[K" << std::flush;
    }

    // What is new of the class: its notes, and its failure once.
    void report(ClassJob& job) {
        const std::lock_guard lock(output_);
        if (job.notes.empty() && (job.failure.empty() || job.failureTold))
            return;
        if (options_.showProgress)
            messages_ << "\r\x1b[K";
        const std::string name = PrintableName(job.name.empty() ? job.base : job.name);
        const auto indented = [](std::string text) {
            text = PrintableUtf8(text);
            for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 3)
                text.replace(at, 1, "\n  ");
            return text;
        };
        for (const std::string& note : job.notes)
            messages_ << "zeb-fiches : " << name << " : " << indented(note) << '\n';
        if (!job.failure.empty() && !job.failureTold)
            messages_ << "zeb-fiches : " << name << " : " << indented(job.failure) << '\n';
        job.failureTold = !job.failure.empty();
        job.notes.clear();
        messages_ << std::flush;
    }

    int summary() {
        int classes = 0, pupils = 0, failures = 0, repeated = repeated_;
        std::string failed;
        for (const ClassJob& job : jobs_) {
            if (job.placed) {
                ++classes;
                pupils += job.pupils;
            } else if (!job.duplicateOf.empty()) {
                ++repeated;
            } else {
                ++failures;
                failed +=
                    (failed.empty() ? "" : ", ") + PrintableName(job.name.empty() ? job.base : job.name);
            }
        }
        const auto plural = [](int n, const char* one, const char* many) {
            return std::to_string(n) + " " + (n > 1 ? many : one);
        };
        messages_ << "zeb-fiches : " << plural(classes, "classe écrite", "classes écrites") << " ("
                  << plural(pupils, "élève", "élèves") << ") dans " << inQuotes(out_);
        if (repeated > 0)
            messages_ << " ; " << plural(repeated, "export en double, écrit", "exports en double, écrits")
                      << " une seule fois";
        if (failures > 0)
            messages_ << " ; " << plural(failures, "classe en échec", "classes en échec") << " : " << failed;
        if (schoolFile_ != std::string(SchoolFileStem) + ".csv")
            messages_ << " ; résultats de l'école dans « " << schoolFile_ << " »";
        if (schoolItemsFile_ != std::string(SchoolItemsFileStem) + ".csv")
            messages_ << " ; analyse des items de l'école dans « " << schoolItemsFile_ << " »";
        messages_ << ".\n" << std::flush;
        return failures > 0 ? 1 : 0;
    }

    const SchoolBatchOptions& options_;
    const fs::path out_;
    const PdfWriter& pdf_;
    std::ostream& messages_;
    std::optional<OutputFolder> folder_; // goes after the classes' hidden folders in it
    std::vector<ClassJob> jobs_;
    std::string schoolFile_;
    bool schoolFileIsOurs_ = false;
    std::string schoolItemsFile_;
    bool schoolItemsFileIsOurs_ = false;
    bool terminal_ = false;
    int repeated_ = 0; // exports given twice, not planned again
    std::atomic<std::size_t> next_{0};
    std::mutex output_;
};

} // namespace

int WriteSchool(const SchoolBatchOptions& options, const PdfWriter& pdf, std::ostream& messages) {
    return Batch(options, pdf, messages).run();
}

} // namespace zeb::cli
