#include "SchoolBatch.h"

#include "ArchiveImport.h"
#include "ClassReport.h"
#include "Interruption.h"
#include "WorkFolder.h"
#include "core/ClassSynthesis.h"
#include "core/Cp1252.h"
#include "core/Errors.h"
#include "core/ObjectiveTables.h"
#include "core/WorkFiles.h"
#include "sheet/ResultSheet.h"
#include "sheet/SynthesisPages.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sched.h>
#include <set>
#include <stdio.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace zeb::cli {
namespace fs = std::filesystem;

namespace {

const std::vector<Subject> BothSubjects{Subject::French, Subject::Mathematics};
constexpr std::string_view SchoolFile = "ecole.csv";

struct ClassJob {
    fs::path source;
    std::string name; // of its folder in the output folder
    std::string failure;
    std::vector<std::string> warnings;
    std::int32_t pupils = 0;
    // The class's tallies, French objectives then Mathematics ones.
    std::vector<ObjectiveTally> tallies;
    bool written = false;
};

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The exports a folder holds, in name order; nothing below it.
std::vector<fs::path> folderExports(const fs::path& folder) {
    std::vector<fs::path> found;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (lowered(it->path().extension().string()) == ".jad" && it->is_regular_file(error))
            found.push_back(it->path());
    if (error)
        throw ZebError("Impossible de lire le dossier « " + folder.string() +
                       " » : " + FrenchReason(error.value()) + ".");
    std::sort(found.begin(), found.end());
    return found;
}

// The folder name of each class: the export's name without its extension, made a plain
// visible name, and given a suffix when an earlier class has it (in any letter case).
std::string folderName(const fs::path& source, std::set<std::string>& taken) {
    std::string base = source.stem().string();
    if (base.empty() || base.front() == '.')
        base.insert(0, "_");
    // Room for the suffix and the hidden staging folder's name beside it; never half a
    // UTF-8 character.
    if (base.size() > 200) {
        std::size_t cut = 200;
        while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80)
            --cut;
        base.resize(cut);
    }
    std::string name = base;
    for (int n = 2; taken.contains(lowered(name)); ++n)
        name = base + "-" + std::to_string(n);
    taken.insert(lowered(name));
    return name;
}

ClassJob classOf(const fs::path& source, std::set<std::string>& taken) {
    ClassJob job;
    job.source = source;
    job.name = folderName(source, taken);
    return job;
}

std::vector<ClassJob> plannedClasses(const SchoolBatchOptions& options) {
    std::vector<ClassJob> jobs;
    // A class named like the school's file, or like the school in that file, would be
    // mistaken for it.
    std::set<std::string> taken{std::string(SchoolFile), lowered(std::string(SchoolClassName))};
    for (const fs::path& given : options.exports) {
        const fs::path input = fs::absolute(given);
        std::error_code error;
        if (fs::is_directory(input, error)) {
            const std::vector<fs::path> found = folderExports(input);
            if (found.empty()) {
                ClassJob empty;
                empty.name = input.filename().string();
                empty.failure = "le dossier « " + input.string() + " » ne contient aucun fichier .jad.";
                jobs.push_back(std::move(empty));
            }
            for (const fs::path& file : found)
                jobs.push_back(classOf(file, taken));
        } else {
            jobs.push_back(classOf(input, taken));
        }
    }
    return jobs;
}

void prepareOutputFolder(const fs::path& output) {
    std::error_code error;
    if (!fs::exists(output, error)) {
        if (::mkdir(output.c_str(), 0700) != 0 && errno != EEXIST)
            throw ZebError("Impossible de créer le dossier « " + output.string() +
                           " » : " + FrenchReason(errno) + ".");
    } else if (!fs::is_directory(output, error)) {
        throw ZebError("« " + output.string() + " » existe et n'est pas un dossier.");
    }
    if (::access(output.c_str(), W_OK | X_OK) != 0)
        throw ZebError("Impossible d'écrire dans le dossier « " + output.string() +
                       " » : " + FrenchReason(errno) + ".");
}

// Puts the finished folder in the class's place in one step: the previous results, if any,
// move to the hidden name and go with it, so the class folder is always wholly old or new.
void putInPlace(PrivateFolder& staging, const fs::path& target) {
    const SignalsHeld held;
    if (::renameat2(AT_FDCWD, staging.path().c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0)
        return; // the old results go with the staging folder
    const int exchange = errno;
    if (exchange == ENOENT || exchange == EINVAL || exchange == ENOSYS) {
        if (::renameat2(AT_FDCWD, staging.path().c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
            staging.keep();
            return;
        }
    }
    throw ZebError("Impossible de remplacer le dossier « " + target.string() +
                   " » : " + FrenchReason(exchange == ENOENT ? errno : exchange) + ".");
}

class Batch {
public:
    Batch(const SchoolBatchOptions& options, const PdfFileWriter& writePdf, std::ostream& messages)
        : options_(options), writePdf_(writePdf), messages_(messages) {}

    int run() {
        jobs_ = plannedClasses(options_);
        prepareOutputFolder(options_.output);
        BaseWorkFolder(); // a temporary folder that cannot be used stops all, said once
        startWorkers();
        clearProgress();
        bool schoolWritten = true;
        try {
            writeSchoolFile();
        } catch (const ZebError& error) {
            messages_ << "zeb-fiches : " << PrintableUtf8(error.what()) << '\n';
            schoolWritten = false;
        }
        return std::max(summary(), schoolWritten ? 0 : 1);
    }

private:
    void startWorkers() {
        unsigned threads = options_.threads;
        if (threads == 0) {
            cpu_set_t allowed;
            threads = ::sched_getaffinity(0, sizeof allowed, &allowed) == 0
                          ? static_cast<unsigned>(CPU_COUNT(&allowed))
                          : std::max(1U, std::thread::hardware_concurrency());
        }
        threads =
            std::clamp<unsigned>(threads, 1, static_cast<unsigned>(std::max<std::size_t>(jobs_.size(), 1)));
        std::vector<std::thread> workers;
        {
            // Signals go to this thread only: its handler then removes what every class
            // registered while the workers go on, never in the middle of one of theirs.
            const SignalsHeld held;
            for (unsigned t = 0; t < threads; ++t)
                workers.emplace_back([this] { work(); });
        }
        for (std::thread& worker : workers)
            worker.join();
    }

    void work() {
        for (std::size_t k; (k = next_++) < jobs_.size();) {
            ClassJob& job = jobs_[k];
            if (!job.failure.empty())
                continue;
            showProgress(k, job.name);
            try {
                writeClass(job);
                job.written = true;
            } catch (const std::exception& error) {
                job.failure = error.what();
            }
            report(job);
        }
    }

    void writeClass(ClassJob& job) {
        auto state = std::make_unique<ProgramState>();
        BuildObjectiveTables(*state);
        {
            PrivateFolder work(BaseWorkFolder(), "zeb-fiches-",
                               "Impossible de créer le dossier de travail temporaire");
            job.warnings = LoadClassExport(job.source, work.path(), *state);
        }
        state->CurrentTreatment = options_.treatment;
        job.pupils = state->Class.PupilCount;
        for (const Subject subject : BothSubjects) {
            const SubjectSynthesis synthesis = SynthesizeSubject(state->Class, subject);
            for (int j = 1; j <= synthesis.ObjectiveCount; ++j)
                job.tallies.push_back(synthesis.Objectives[j].Tally);
        }

        PrivateFolder staging(options_.output, "." + job.name + ".",
                              "Impossible de créer un dossier dans « " + options_.output.string() + " »");
        const fs::path& folder = staging.path();
        const CsvNames names = options_.anonymous ? CsvNames::Removed : CsvNames::Kept;
        WriteOutputFile(folder / "scores.csv", ClassScoresCsv(*state, names));
        WriteOutputFile(folder / "synthese.csv", SynthesisCsv(*state));
        WriteOutputFile(folder / "groupes.csv", GroupsCsv(*state, names));
        const SheetSource source = SheetSource::Of(*state);
        writePdf_(folder / "fiches.pdf",
                  SubjectDocuments<SheetDocument>(BothSubjects, source, 1, state->Class.PupilCount).list(),
                  "Fiches de résultats - EVALUATION CE2");
        writePdf_(folder / "synthese.pdf", SubjectDocuments<SynthesisDocument>(BothSubjects, source).list(),
                  "Synthèse - EVALUATION CE2");
        putInPlace(staging, options_.output / job.name);
    }

    void showProgress(std::size_t k, const std::string& name) {
        if (!options_.showProgress)
            return;
        const std::lock_guard lock(output_);
        messages_ << "\r\x1b[K[" << k + 1 << "/" << jobs_.size() << "] " << PrintableUtf8(name) << " …"
                  << std::flush;
    }

    void clearProgress() {
        if (options_.showProgress)
            messages_ << "\r\x1b[K" << std::flush;
    }

    void report(const ClassJob& job) {
        const std::lock_guard lock(output_);
        if (options_.showProgress && (!job.failure.empty() || !job.warnings.empty()))
            messages_ << "\r\x1b[K";
        for (const std::string& warning : job.warnings)
            messages_ << "zeb-fiches : " << PrintableUtf8(job.name)
                      << " : attention : " << PrintableUtf8(warning) << '\n';
        if (!job.failure.empty()) {
            std::string reason = PrintableUtf8(job.failure);
            for (std::size_t at = 0; (at = reason.find('\n', at)) != std::string::npos; at += 3)
                reason.replace(at, 1, "\n  ");
            messages_ << "zeb-fiches : " << PrintableUtf8(job.name) << " : " << reason << '\n';
        }
        messages_ << std::flush;
    }

    // The synthesis rows of every class written, then the school's over all their pupils.
    void writeSchoolFile() {
        std::string csv = "\xEF\xBB\xBF"
                          "classe;";
        csv.append(SynthesisCsvHeader).append("\r\n");
        std::vector<ObjectiveTally> school;
        for (const ClassJob& job : jobs_) {
            if (!job.written)
                continue;
            school.resize(job.tallies.size());
            for (std::size_t i = 0; i < job.tallies.size(); ++i)
                school[i] += job.tallies[i];
            appendRows(csv, CsvName(job.name), job.tallies);
        }
        school.resize(FrenchObjectiveCount + MathsObjectiveCount);
        appendRows(csv, std::string(SchoolClassName), school);
        WriteOutputFile(options_.output / SchoolFile, csv);
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

    int summary() {
        int classes = 0, pupils = 0;
        std::string failed;
        int failures = 0;
        for (const ClassJob& job : jobs_) {
            if (job.written) {
                ++classes;
                pupils += job.pupils;
            } else {
                ++failures;
                failed += (failed.empty() ? "" : ", ") + PrintableUtf8(job.name);
            }
        }
        const auto plural = [](int n, const char* one, const char* many) {
            return std::to_string(n) + " " + (n > 1 ? many : one);
        };
        messages_ << "zeb-fiches : " << plural(classes, "classe écrite", "classes écrites") << " ("
                  << plural(pupils, "élève", "élèves") << ") dans « "
                  << PrintableUtf8(options_.output.string()) << " »";
        if (failures > 0)
            messages_ << " ; " << plural(failures, "classe en échec", "classes en échec") << " : " << failed;
        messages_ << ".\n" << std::flush;
        return failures > 0 ? 1 : 0;
    }

    const SchoolBatchOptions& options_;
    const PdfFileWriter& writePdf_;
    std::ostream& messages_;
    std::vector<ClassJob> jobs_;
    std::atomic<std::size_t> next_{0};
    std::mutex output_;
};

} // namespace

int WriteSchool(const SchoolBatchOptions& options, const PdfFileWriter& writePdf, std::ostream& messages) {
    return Batch(options, writePdf, messages).run();
}

} // namespace zeb::cli
