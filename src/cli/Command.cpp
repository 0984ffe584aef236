#include "Command.h"

#include "ArchiveImport.h"
#include "ClassOutputs.h"
#include "ClassReport.h"
#include "FamilyFiles.h"
#include "SchoolBatch.h"
#include "core/Cp1252.h"
#include "core/Errors.h"
#include "core/ObjectiveTables.h"
#include "platform/Platform.h"

#include <algorithm>

namespace zeb::cli {
namespace fs = std::filesystem;

namespace {

// The output files this run made that were not there before it. Unless the run completes,
// they go again: a failed run leaves no new file behind, whichever output failed.
class NewOutputs {
public:
    NewOutputs() = default;
    NewOutputs(const NewOutputs&) = delete;
    NewOutputs& operator=(const NewOutputs&) = delete;
    ~NewOutputs() {
        std::error_code ignored;
        for (const fs::path& file : made_)
            fs::remove(file, ignored);
    }
    // Before `file` is written.
    void note(const fs::path& file) {
        std::error_code error;
        if (!fs::exists(fs::symlink_status(file, error)))
            made_.push_back(file);
    }
    void keep() { made_.clear(); }

private:
    std::vector<fs::path> made_;
};

int runSchool(const Options& options, const PdfWriterStart& startPdf, std::ostream& messages) {
    const std::unique_ptr<PdfWriter> pdf = startPdf();
    SchoolBatchOptions batch;
    batch.output = *options.school;
    batch.exports = options.schoolExports;
    batch.treatment = options.treatment;
    batch.anonymous = options.anonymous;
    batch.showProgress = ErrorStreamIsTerminal();
    return WriteSchool(batch, *pdf, messages);
}

int runOneClass(const Options& options, const PdfWriterStart& startPdf, std::ostream& out,
                std::ostream& messages) {
    for (const auto& [name, member] : OutputOptions)
        if (const auto& output = options.*member; output && SameFile(*output, options.exportDocument))
            throw ZebError("le fichier demandé " + PrintableName(output->string()) +
                           " est le document d'export lui-même ; choisissez un autre nom.");
    const ClassOutputs files{.scores = options.csv,
                             .synthesisCsv = options.synthesisCsv,
                             .groups = options.groupsCsv,
                             .items = options.itemsCsv,
                             .sheets = options.pdf,
                             .synthesis = options.synthesis,
                             .itemPages = options.itemPages,
                             .subjects = options.subjects,
                             .doubleSided = options.doubleSided,
                             .names = options.anonymous ? CsvNames::Removed : CsvNames::Kept};
    // Started first: a run whose PDFs cannot be written stops before it writes anything.
    std::unique_ptr<PdfWriter> pdf;
    if (files.anyPdf() || options.familyFolder)
        pdf = startPdf();

    auto state = std::make_unique<ProgramState>();
    BuildObjectiveTables(*state);
    {
        const PrivateFolder folder(BaseWorkFolder(), WorkFolderPrefix,
                                   "Impossible de créer le dossier de travail temporaire");
        for (const std::string& message : LoadClassExport(options.exportDocument, folder.path(), *state))
            messages << "zeb-fiches : attention : " << PrintableUtf8(message) << '\n';
    }
    state->CurrentTreatment = options.treatment;
    NewOutputs outputs;
    WriteClassOutputs(*state, files, pdf.get(), [&outputs](const fs::path& file) { outputs.note(file); });
    // Last: its files replace older ones only once everything else is written.
    if (options.familyFolder)
        WriteFamilyFiles(*pdf, *options.familyFolder, *state, options.subjects, options.doubleSided,
                         options.familyHtml);
    // Interrupted before the end: the files this run made go again.
    ThrowIfInterrupted();
    outputs.keep();
    if (!options.familyFolder &&
        std::none_of(std::begin(OutputOptions), std::end(OutputOptions),
                     [&options](const auto& output) { return (options.*output.second).has_value(); }))
        out << ClassSummary(*state) << std::flush;
    return 0;
}

} // namespace

int RunCommand(const Options& options, const PdfWriterStart& startPdf, std::ostream& out,
               std::ostream& messages) {
    // What a killed run left in the temporary folder holds pupils' names: it goes first.
    RemoveStaleFolders(BaseWorkFolder(), WorkFolderPrefix);
    return options.school ? runSchool(options, startPdf, messages)
                          : runOneClass(options, startPdf, out, messages);
}

} // namespace zeb::cli
