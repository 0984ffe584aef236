// zeb-fiches: loads one class's export document and writes the scores of the class.

#include "ArchiveImport.h"
#include "ClassReport.h"
#include "FamilyFiles.h"
#include "PdfOutput.h"
#include "SchoolBatch.h"
#include "core/Cp1252.h"
#include "core/Errors.h"
#include "core/ObjectiveTables.h"
#include "platform/Platform.h"
#include "sheet/PupilByPupil.h"
#include "sheet/SynthesisPages.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace zeb;

namespace {

constexpr const char* Usage =
    "Usage : zeb-fiches [--csv FICHIER] [--synthese-csv FICHIER] [--groupes-csv FICHIER]\n"
    "                   [--pdf FICHIER] [--synthese FICHIER] [--subject french|maths|both]\n"
    "                   [--par-eleve DOSSIER] [--recto-verso] [--anonyme]\n"
    "                   [--treatment coding|percent] EXPORT\n"
    "       zeb-fiches --dossier DOSSIER [--treatment coding|percent] [--anonyme] EXPORT...\n"
    "\n"
    "Charge l'export d'une classe (archive .jad de J'ADE, ou le document .xml qu'elle contient),\n"
    "calcule pour chaque élève les scores de chaque objectif en français et en\n"
    "mathématiques, puis affiche un résumé de la classe.\n"
    "\n"
    "Options :\n"
    "  --csv FICHIER     écrit les scores dans FICHIER au lieu d'afficher le résumé : une\n"
    "                    ligne par élève, matière et objectif (numero;nom;prenom;matiere;\n"
    "                    objectif;SR;SE;SNR;codage), en UTF-8, lisible par un tableur.\n"
    "  --synthese-csv FICHIER\n"
    "                    écrit la synthèse de la classe dans FICHIER : une ligne par matière et\n"
    "                    objectif (matiere;objectif;evalues;absents;SR_moyen;A;ECA;NA;pct_A;\n"
    "                    pct_ECA;pct_NA;classe_entiere), au même format que --csv.\n"
    "  --groupes-csv FICHIER\n"
    "                    écrit les groupes de besoin dans FICHIER : une ligne par élève codé NA\n"
    "                    ou ECA sur un objectif (matiere;objectif;groupe;numero;nom;prenom).\n"
    "  --pdf FICHIER     écrit les fiches de résultats dans FICHIER, une page A4 par fiche,\n"
    "                    telles que l'imprimante les donnerait.\n"
    "  --synthese FICHIER\n"
    "                    écrit la synthèse de la classe dans FICHIER (PDF) : tableau de la\n"
    "                    classe, synthèse par objectif et groupes de besoin de chaque matière.\n"
    "  --par-eleve DOSSIER\n"
    "                    écrit dans DOSSIER (créé s'il n'existe pas, lisible par vous seul)\n"
    "                    un PDF par élève pour sa famille, nommé NN-NOM-Prenom.pdf (NN :\n"
    "                    numéro de l'élève) : sa fiche de français puis sa fiche de\n"
    "                    mathématiques, sans aucun résultat des autres élèves. Un fichier\n"
    "                    du même nom est remplacé seulement quand toutes les fiches sont\n"
    "                    prêtes ; en cas d'échec, le dossier reste tel qu'il était.\n"
    "  --recto-verso     avec --pdf ou --par-eleve, pour une impression recto verso : chaque\n"
    "                    élève commence sur une nouvelle feuille (une page blanche est ajoutée\n"
    "                    au besoin). Avec --pdf, les fiches sont alors rangées élève par élève\n"
    "                    (français au recto, mathématiques au verso) au lieu de toutes les\n"
    "                    fiches de français puis toutes celles de mathématiques.\n"
    "  --anonyme         laisse vides les colonnes nom et prenom des fichiers CSV (--csv,\n"
    "                    --groupes-csv, et ceux de --dossier), pour les partager sans le\n"
    "                    nom des enfants. Le numéro de l'élève reste ; les PDF (fiches,\n"
    "                    synthèse), les noms des fichiers de --par-eleve et le résumé affiché\n"
    "                    gardent les noms.\n"
    "  --subject MATIERE avec --pdf, --synthese ou --par-eleve : french (français), maths\n"
    "                    (mathématiques) ou both (les deux : le français puis les\n"
    "                    mathématiques).\n"
    "                    Par défaut : both.\n"
    "  --treatment TRAITEMENT\n"
    "                    coding (codage A / ECA / NA) ou percent (pourcentages SR / SE /\n"
    "                    SNR). Par défaut : coding.\n"
    "  --dossier DOSSIER écrit les résultats d'une école : pour chaque EXPORT (fichier .jad ou\n"
    "                    .xml, ou dossier dont tous les fichiers .jad sont pris, par ordre de\n"
    "                    nom), un sous-dossier de DOSSIER au nom du fichier sans son extension\n"
    "                    avec fiches.pdf (les deux matières), scores.csv, synthese.pdf,\n"
    "                    synthese.csv et groupes.csv ; puis DOSSIER/ecole.csv : les lignes de\n"
    "                    synthèse de chaque classe précédées de la colonne classe, et celles de\n"
    "                    l'école entière (classe ECOLE). Une classe en échec est signalée avec sa\n"
    "                    raison et les autres sont écrites. Les classes prennent leur place\n"
    "                    ensemble, à la fin : interrompue avant, la commande laisse DOSSIER tel\n"
    "                    qu'il était. Seuls les dossiers et le ecole.csv que ZEB a écrits (et\n"
    "                    que personne n'a modifiés depuis) sont remplacés ; pour tout autre\n"
    "                    fichier ou dossier du même nom, la classe prend le nom suivant (-2).\n"
    "                    Code de sortie 1 si une classe échoue.\n"
    "  -h, --help        affiche cette aide.\n"
    "\n"
    "Les fichiers de travail sont créés dans un dossier temporaire privé (dans $XDG_RUNTIME_DIR,\n"
    "sinon $TMPDIR, sinon /tmp), supprimé à la fin, même si la commande est interrompue.\n"
    "Code de sortie : 0 en cas de succès, 1 si le chargement échoue, 2 si la commande est mal écrite.\n";

struct Options {
    std::optional<fs::path> csv;
    std::optional<fs::path> pdf;
    std::optional<fs::path> synthesisCsv;
    std::optional<fs::path> groupsCsv;
    std::optional<fs::path> synthesis;
    std::optional<fs::path> familyFolder;
    bool doubleSided = false;
    bool anonymous = false;
    std::vector<Subject> subjects{Subject::French, Subject::Mathematics};
    TreatmentMode treatment = TreatmentMode::Codage;
    bool sheetChoiceGiven = false;
    bool subjectGiven = false;
    fs::path exportDocument;
    std::optional<fs::path> school;
    std::vector<fs::path> schoolExports;
};

// The options that name a file to write; no two may name the same file.
constexpr std::pair<std::string_view, std::optional<fs::path> Options::*> OutputOptions[] = {
    {"--csv", &Options::csv},
    {"--pdf", &Options::pdf},
    {"--synthese-csv", &Options::synthesisCsv},
    {"--groupes-csv", &Options::groupsCsv},
    {"--synthese", &Options::synthesis},
};

struct UsageError {
    std::string message;
};

// The options already given: each may be given once, as a second one would silently win.
class GivenOptions {
public:
    void take(std::string_view option) {
        if (std::find(given_.begin(), given_.end(), option) != given_.end())
            throw UsageError{"l'option " + std::string(option) +
                             " est donnée deux fois ; gardez-en une seule."};
        given_.push_back(option);
    }

private:
    std::vector<std::string_view> given_;
};

// Two names of one existing file (a file that does not exist yet is nobody's).
bool sameFile(const fs::path& a, const fs::path& b) {
    std::error_code error;
    return a.lexically_normal() == b.lexically_normal() || (fs::equivalent(a, b, error) && !error);
}

// The value of an option given as "--name VALUE" or "--name=VALUE"; nullopt when `arg`
// is another option.
std::optional<std::string> optionValue(const std::vector<std::string>& args, std::size_t& i,
                                       std::string_view name) {
    const std::string& arg = args[i];
    if (arg == name) {
        if (i + 1 >= args.size())
            throw UsageError{"l'option " + std::string(name) + " attend une valeur."};
        return args[++i];
    }
    if (arg.size() > name.size() && arg.compare(0, name.size(), name) == 0 && arg[name.size()] == '=')
        return arg.substr(name.size() + 1);
    return std::nullopt;
}

fs::path fileValue(const std::string& value, std::string_view option) {
    if (value.empty())
        throw UsageError{"l'option " + std::string(option) + " attend un nom de fichier."};
    return value;
}

// Takes an option that names an output file; false when `args[i]` is none of them.
bool outputOption(const std::vector<std::string>& args, std::size_t& i, Options& options,
                  GivenOptions& given) {
    for (const auto& [name, member] : OutputOptions) {
        if (auto value = optionValue(args, i, name)) {
            given.take(name);
            options.*member = fileValue(*value, name);
            return true;
        }
    }
    return false;
}

Options parseArguments(const std::vector<std::string>& args) {
    Options options;
    GivenOptions given;
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg.front() != '-' || arg == "-") {
            positional.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (outputOption(args, i, options, given)) {
        } else if (auto folder = optionValue(args, i, "--par-eleve")) {
            given.take("--par-eleve");
            if (folder->empty())
                throw UsageError{"l'option --par-eleve attend un nom de dossier."};
            options.familyFolder = fs::absolute(*folder);
        } else if (arg == "--recto-verso") {
            given.take("--recto-verso");
            options.doubleSided = true;
        } else if (arg == "--anonyme") {
            given.take("--anonyme");
            options.anonymous = true;
        } else if (auto school = optionValue(args, i, "--dossier")) {
            given.take("--dossier");
            options.school = fileValue(*school, "--dossier");
        } else if (auto subject = optionValue(args, i, "--subject")) {
            given.take("--subject");
            if (*subject == "french")
                options.subjects = {Subject::French};
            else if (*subject == "maths")
                options.subjects = {Subject::Mathematics};
            else if (*subject == "both")
                options.subjects = {Subject::French, Subject::Mathematics};
            else
                throw UsageError{"matière inconnue : " + PrintableName(*subject) +
                                 " (french, maths ou both)."};
            options.subjectGiven = true;
        } else if (auto treatment = optionValue(args, i, "--treatment")) {
            given.take("--treatment");
            if (*treatment == "coding")
                options.treatment = TreatmentMode::Codage;
            else if (*treatment == "percent")
                options.treatment = TreatmentMode::Pourcentage;
            else
                throw UsageError{"traitement inconnu : " + PrintableName(*treatment) +
                                 " (coding ou percent)."};
            options.sheetChoiceGiven = true;
        } else {
            throw UsageError{"option inconnue : " + PrintableName(arg) + "."};
        }
    }
    if (options.school) {
        for (const auto& [name, member] : OutputOptions)
            if (options.*member)
                throw UsageError{"--dossier écrit déjà tous les fichiers de chaque classe : " +
                                 std::string(name) + " n'a pas lieu d'être."};
        if (options.subjectGiven)
            throw UsageError{"--dossier écrit les deux matières : --subject n'a pas lieu d'être."};
        if (options.familyFolder || options.doubleSided)
            throw UsageError{"--par-eleve et --recto-verso vont avec un seul export, pas avec --dossier."};
        if (positional.empty())
            throw UsageError{"indiquez les exports des classes (fichiers .jad ou .xml, ou dossiers)."};
        options.school = fs::absolute(*options.school);
        for (const std::string& input : positional)
            options.schoolExports.push_back(fs::absolute(input));
        return options;
    }
    const bool sheets = options.pdf || options.familyFolder;
    if (options.sheetChoiceGiven && !sheets)
        throw UsageError{"--treatment choisit la présentation des fiches : il va avec --pdf ou --par-eleve."};
    if (options.subjectGiven && !sheets && !options.synthesis)
        throw UsageError{"--subject choisit les matières : il va avec --pdf, --synthese ou --par-eleve."};
    if (options.doubleSided && !sheets)
        throw UsageError{"--recto-verso range les fiches à imprimer : il va avec --pdf ou --par-eleve."};
    if (options.anonymous && !options.csv && !options.groupsCsv && !options.synthesisCsv)
        throw UsageError{"--anonyme retire les noms des fichiers CSV : il va avec --csv, --groupes-csv ou "
                         "--dossier."};
    if (positional.empty())
        throw UsageError{"indiquez le document d'export à charger."};
    if (positional.size() > 1)
        throw UsageError{"un seul document d'export à la fois (reçu : " + std::to_string(positional.size()) +
                         ")."};
    // Absolute from here on: extracting an archive changes the current folder.
    options.exportDocument = fs::absolute(positional.front());
    for (std::size_t a = 0; a < std::size(OutputOptions); ++a) {
        auto& file = options.*OutputOptions[a].second;
        if (!file)
            continue;
        file = fs::absolute(*file);
        for (std::size_t b = 0; b < a; ++b)
            if (const auto& other = options.*OutputOptions[b].second; other && sameFile(*other, *file))
                throw UsageError{std::string(OutputOptions[b].first) + " et " +
                                 std::string(OutputOptions[a].first) + " désignent le même fichier."};
    }
    return options;
}

// The sheets of every pupil, subject after subject, in one PDF.
void writeSheets(const cli::PdfWriting& writing, const fs::path& file, const Options& options,
                 const ProgramState& state) {
    const SubjectDocuments<SheetDocument> sheets(options.subjects, SheetSource::Of(state), 1,
                                                 state.Class.PupilCount);
    const PupilByPupilDocument pupilByPupil(sheets.list());
    writing.Write(file, options.doubleSided ? std::vector<const Document*>{&pupilByPupil} : sheets.list(),
                  "Fiches de résultats - EVALUATION CE2");
}

// The synthesis pages of each subject asked for, in one PDF.
void writeSynthesis(const cli::PdfWriting& writing, const fs::path& file, const Options& options,
                    const ProgramState& state) {
    const SubjectDocuments<SynthesisDocument> syntheses(options.subjects, SheetSource::Of(state));
    writing.Write(file, syntheses.list(), "Synthèse - EVALUATION CE2");
}

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

    template <typename Write> void write(const std::optional<fs::path>& file, Write&& writeFile) {
        if (!file)
            return;
        std::error_code error;
        const bool existed = fs::exists(fs::symlink_status(*file, error));
        writeFile(*file);
        if (!existed)
            made_.push_back(*file);
    }
    void keep() { made_.clear(); }

private:
    std::vector<fs::path> made_;
};

int writeSchool(const Options& options) {
    const cli::PdfWriting writing;
    cli::SchoolBatchOptions batch;
    batch.output = *options.school;
    batch.exports = options.schoolExports;
    batch.treatment = options.treatment;
    batch.anonymous = options.anonymous;
    batch.showProgress = ErrorStreamIsTerminal();
    return cli::WriteSchool(
        batch,
        [&writing](const fs::path& file, const std::vector<const Document*>& documents,
                   std::string_view title) { writing.Write(file, documents, title); },
        std::cerr);
}

int run(const Options& options) {
    // What a killed run left in the temporary folder holds pupils' names: it goes first.
    RemoveStaleFolders(BaseWorkFolder(), WorkFolderPrefix);
    if (options.school)
        return writeSchool(options);
    for (const auto& [name, member] : OutputOptions)
        if (const auto& output = options.*member; output && sameFile(*output, options.exportDocument))
            throw ZebError("le fichier demandé " + PrintableName(output->string()) +
                           " est le document d'export lui-même ; choisissez un autre nom.");

    // Started first: a run whose PDFs cannot be written stops before it writes anything.
    std::optional<cli::PdfWriting> writing;
    if (options.pdf || options.synthesis || options.familyFolder)
        writing.emplace();

    auto state = std::make_unique<ProgramState>();
    BuildObjectiveTables(*state);
    {
        const PrivateFolder folder(BaseWorkFolder(), WorkFolderPrefix,
                                   "Impossible de créer le dossier de travail temporaire");
        for (const std::string& message : cli::LoadClassExport(options.exportDocument, folder.path(), *state))
            std::cerr << "zeb-fiches : attention : " << PrintableUtf8(message) << '\n';
    }
    NewOutputs outputs;
    const auto csvOf = [&state](auto csv) {
        return [&state, csv](const fs::path& file) { WriteOutputFile(file, csv(*state)); };
    };
    const cli::CsvNames names = options.anonymous ? cli::CsvNames::Removed : cli::CsvNames::Kept;
    outputs.write(options.csv,
                  csvOf([names](const ProgramState& s) { return cli::ClassScoresCsv(s, names); }));
    outputs.write(options.synthesisCsv, csvOf(cli::SynthesisCsv));
    outputs.write(options.groupsCsv,
                  csvOf([names](const ProgramState& s) { return cli::GroupsCsv(s, names); }));
    if (writing) {
        state->CurrentTreatment = options.treatment;
        outputs.write(options.pdf,
                      [&](const fs::path& file) { writeSheets(*writing, file, options, *state); });
        outputs.write(options.synthesis,
                      [&](const fs::path& file) { writeSynthesis(*writing, file, options, *state); });
        // Last: its files replace older ones only once everything else is written.
        if (options.familyFolder)
            cli::WriteFamilyFiles(*writing, *options.familyFolder, *state, options.subjects,
                                  options.doubleSided);
    }
    // Interrupted before the end: the files this run made go again.
    ThrowIfInterrupted();
    outputs.keep();
    if (!options.familyFolder &&
        std::none_of(std::begin(OutputOptions), std::end(OutputOptions),
                     [&options](const auto& output) { return (options.*output.second).has_value(); }))
        std::cout << cli::ClassSummary(*state) << std::flush;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& arg : args) {
        if (arg == "--")
            break;
        if (arg == "-h" || arg == "--help" || arg == "--aide") {
            std::cout << Usage;
            return 0;
        }
    }
    InstallInterruptionHandlers();
    // Messages quote names from the export and the archive: no control character of theirs
    // reaches the terminal.
    try {
        return run(parseArguments(args));
    } catch (const Interrupted&) {
        // Everything the run had begun is undone by now.
        EndByInterruption();
    } catch (const UsageError& error) {
        std::cerr << "zeb-fiches : " << PrintableUtf8(error.message) << "\nEssayez « zeb-fiches --help ».\n";
        return 2;
    } catch (const ZebError& error) {
        std::cerr << "zeb-fiches : " << PrintableUtf8(error.what()) << '\n';
        return 1;
    } catch (const std::exception& error) {
        std::cerr << "zeb-fiches : erreur inattendue : " << PrintableUtf8(error.what()) << '\n';
        return 1;
    }
}
