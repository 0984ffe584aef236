#include "Options.h"

#include "core/Cp1252.h"
#include "platform/Platform.h"

#include <algorithm>

namespace zeb::cli {
namespace fs = std::filesystem;

const char* const Usage =
    "Usage : zeb-fiches [--csv FICHIER] [--synthese-csv FICHIER] [--groupes-csv FICHIER]\n"
    "                   [--items-csv FICHIER] [--items FICHIER]\n"
    "                   [--pdf FICHIER] [--synthese FICHIER] [--subject french|maths|both]\n"
    "                   [--par-eleve DOSSIER] [--recto-verso] [--html] [--anonyme]\n"
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
    "  --items-csv FICHIER\n"
    "                    écrit l'analyse des items dans FICHIER : une ligne par matière et item\n"
    "                    (matiere;item;objectif;evalues;absents;reussite;echec;non_reponse;\n"
    "                    pct_reussite;pct_echec;pct_non_reponse;c0;c1;...;c9), au même format\n"
    "                    que --csv ; sans aucun nom d'élève.\n"
    "  --pdf FICHIER     écrit les fiches de résultats dans FICHIER, une page A4 par fiche,\n"
    "                    telles que l'imprimante les donnerait.\n"
    "  --synthese FICHIER\n"
    "                    écrit la synthèse de la classe dans FICHIER (PDF) : tableau de la\n"
    "                    classe, synthèse par objectif et groupes de besoin de chaque matière,\n"
    "                    puis l'analyse des items (voir --items).\n"
    "  --items FICHIER   écrit l'analyse des items dans FICHIER (PDF) : pour chaque matière, le\n"
    "                    taux de réussite de chaque item sous son objectif, puis les dix items\n"
    "                    les moins réussis avec les élèves en échec et ceux sans réponse.\n"
    "  --par-eleve DOSSIER\n"
    "                    écrit dans DOSSIER (créé s'il n'existe pas, lisible par vous seul)\n"
    "                    un PDF par élève pour sa famille, nommé NN-NOM-Prenom.pdf (NN :\n"
    "                    numéro de l'élève) : sa fiche de français puis sa fiche de\n"
    "                    mathématiques, sans aucun résultat des autres élèves. Un fichier\n"
    "                    du même nom est remplacé seulement quand toutes les fiches sont\n"
    "                    prêtes ; en cas d'échec, le dossier reste tel qu'il était.\n"
    "  --html            avec --par-eleve : écrit aussi, à côté de chaque PDF, la même fiche en\n"
    "                    HTML (NN-NOM-Prenom.html), lisible sur un téléphone et par un lecteur\n"
    "                    d'écran, qui s'imprime une page A4 par matière.\n"
    "  --recto-verso     avec --pdf ou --par-eleve, pour une impression recto verso : chaque\n"
    "                    élève commence sur une nouvelle feuille (une page blanche est ajoutée\n"
    "                    au besoin). Avec --pdf, les fiches sont alors rangées élève par élève\n"
    "                    (français au recto, mathématiques au verso) au lieu de toutes les\n"
    "                    fiches de français puis toutes celles de mathématiques.\n"
    "  --anonyme         laisse vides les colonnes nom et prenom des fichiers CSV (--csv,\n"
    "                    --groupes-csv, et ceux de --dossier), pour les partager sans le\n"
    "                    nom des enfants. Le numéro de l'élève reste ; les PDF (fiches,\n"
    "                    synthèse, analyse des items), les pages de --html, les noms des\n"
    "                    fichiers de --par-eleve et le résumé affiché gardent les noms.\n"
    "  --subject MATIERE avec --pdf, --synthese, --items ou --par-eleve : french (français),\n"
    "                    maths (mathématiques) ou both (les deux : le français puis les\n"
    "                    mathématiques).\n"
    "                    Par défaut : both.\n"
    "  --treatment TRAITEMENT\n"
    "                    coding (codage A / ECA / NA) ou percent (pourcentages SR / SE /\n"
    "                    SNR). Par défaut : coding.\n"
    "  --dossier DOSSIER écrit les résultats d'une école : pour chaque EXPORT (fichier .jad ou\n"
    "                    .xml, ou dossier dont tous les fichiers .jad sont pris, par ordre de\n"
    "                    nom), un sous-dossier de DOSSIER au nom de la classe que donne\n"
    "                    l'export (à défaut, au nom du fichier sans son extension) avec\n"
    "                    fiches.pdf (les deux matières), scores.csv, synthese.pdf,\n"
    "                    synthese.csv, groupes.csv et items.csv ; puis DOSSIER/ecole.csv : les\n"
    "                    lignes de synthèse de chaque classe précédées de la colonne classe, et\n"
    "                    celles de l'école entière (classe ECOLE), et DOSSIER/ecole-items.csv :\n"
    "                    de même, les lignes de l'analyse des items. Une classe en échec est\n"
    "                    signalée avec sa raison et les autres sont écrites. Les classes\n"
    "                    prennent leur place ensemble, à la fin : interrompue avant, la\n"
    "                    commande laisse DOSSIER tel qu'il était. Seuls les dossiers, ecole.csv\n"
    "                    et ecole-items.csv que ZEB a écrits (et que personne n'a modifiés\n"
    "                    depuis) sont remplacés ; pour tout autre fichier ou dossier du même\n"
    "                    nom, ZEB prend le nom suivant (-2).\n"
    "                    Code de sortie 1 si une classe échoue.\n"
    "  -h, --help        affiche cette aide.\n"
    "\n";

std::string HelpText() {
    return std::string(Usage) + WorkFolderHelp +
           "Code de sortie : 0 en cas de succès, 1 si le chargement échoue, 2 si la commande est mal "
           "écrite.\n";
}

namespace {

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
    return PathFromUtf8(value);
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

// Takes an option that chooses how or what to write; false when `args[i]` is none of them.
bool choiceOption(const std::vector<std::string>& args, std::size_t& i, Options& options,
                  GivenOptions& given) {
    const std::string& arg = args[i];
    if (auto folder = optionValue(args, i, "--par-eleve")) {
        given.take("--par-eleve");
        if (folder->empty())
            throw UsageError{"l'option --par-eleve attend un nom de dossier."};
        options.familyFolder = fs::absolute(PathFromUtf8(*folder));
    } else if (arg == "--recto-verso") {
        given.take("--recto-verso");
        options.doubleSided = true;
    } else if (arg == "--html") {
        given.take("--html");
        options.familyHtml = true;
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
            throw UsageError{"matière inconnue : " + PrintableName(*subject) + " (french, maths ou both)."};
        options.subjectGiven = true;
    } else if (auto treatment = optionValue(args, i, "--treatment")) {
        given.take("--treatment");
        if (*treatment == "coding")
            options.treatment = TreatmentMode::Codage;
        else if (*treatment == "percent")
            options.treatment = TreatmentMode::Pourcentage;
        else
            throw UsageError{"traitement inconnu : " + PrintableName(*treatment) + " (coding ou percent)."};
        options.sheetChoiceGiven = true;
    } else {
        return false;
    }
    return true;
}

// --dossier writes everything of every class: the options of one class have no place beside it.
void checkSchool(Options& options, const std::vector<std::string>& positional) {
    for (const auto& [name, member] : OutputOptions)
        if (options.*member)
            throw UsageError{"--dossier écrit déjà tous les fichiers de chaque classe : " +
                             std::string(name) + " n'a pas lieu d'être."};
    if (options.subjectGiven)
        throw UsageError{"--dossier écrit les deux matières : --subject n'a pas lieu d'être."};
    if (options.familyFolder || options.doubleSided || options.familyHtml)
        throw UsageError{
            "--par-eleve, --recto-verso et --html vont avec un seul export, pas avec --dossier."};
    if (positional.empty())
        throw UsageError{"indiquez les exports des classes (fichiers .jad ou .xml, ou dossiers)."};
    options.school = fs::absolute(*options.school);
    for (const std::string& input : positional)
        options.schoolExports.push_back(fs::absolute(PathFromUtf8(input)));
}

// One export, and choices that go with the files asked for.
void checkOneClass(Options& options, const std::vector<std::string>& positional) {
    const bool sheets = options.pdf || options.familyFolder;
    if (options.sheetChoiceGiven && !sheets)
        throw UsageError{"--treatment choisit la présentation des fiches : il va avec --pdf ou --par-eleve."};
    if (options.subjectGiven && !sheets && !options.synthesis && !options.itemPages)
        throw UsageError{
            "--subject choisit les matières : il va avec --pdf, --synthese, --items ou --par-eleve."};
    if (options.familyHtml && !options.familyFolder)
        throw UsageError{"--html écrit les fiches des familles en HTML : il va avec --par-eleve."};
    if (options.doubleSided && !sheets)
        throw UsageError{"--recto-verso range les fiches à imprimer : il va avec --pdf ou --par-eleve."};
    if (options.anonymous && !options.csv && !options.groupsCsv && !options.synthesisCsv && !options.itemsCsv)
        throw UsageError{"--anonyme retire les noms des fichiers CSV : il va avec --csv, --groupes-csv ou "
                         "--dossier."};
    if (positional.empty())
        throw UsageError{"indiquez le document d'export à charger."};
    if (positional.size() > 1)
        throw UsageError{"un seul document d'export à la fois (reçu : " + std::to_string(positional.size()) +
                         ")."};
    options.exportDocument = fs::absolute(PathFromUtf8(positional.front()));
    for (std::size_t a = 0; a < std::size(OutputOptions); ++a) {
        auto& file = options.*OutputOptions[a].second;
        if (!file)
            continue;
        file = fs::absolute(*file);
        for (std::size_t b = 0; b < a; ++b)
            if (const auto& other = options.*OutputOptions[b].second; other && SameFile(*other, *file))
                throw UsageError{std::string(OutputOptions[b].first) + " et " +
                                 std::string(OutputOptions[a].first) + " désignent le même fichier."};
    }
}

} // namespace

bool SameFile(const fs::path& a, const fs::path& b) {
    std::error_code error;
    return a.lexically_normal() == b.lexically_normal() || (fs::equivalent(a, b, error) && !error);
}

Options ParseArguments(const std::vector<std::string>& args) {
    Options options;
    GivenOptions given;
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg.front() != '-' || arg == "-")
            positional.push_back(arg);
        else if (arg == "--")
            optionsEnded = true;
        else if (!outputOption(args, i, options, given) && !choiceOption(args, i, options, given))
            throw UsageError{"option inconnue : " + PrintableName(arg) + "."};
    }
    if (options.school)
        checkSchool(options, positional);
    else
        checkOneClass(options, positional);
    return options;
}

} // namespace zeb::cli
