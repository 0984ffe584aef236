// zeb-fiches: loads one class's export document and writes the scores of the class.

#include "ClassReport.h"
#include "core/ClassImport.h"
#include "core/Errors.h"
#include "core/ObjectiveTables.h"
#include "core/WorkFiles.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace zeb;

namespace {

constexpr const char* Usage =
    "Usage : zeb-fiches [--csv FICHIER] EXPORT\n"
    "\n"
    "Charge le document d'export d'une classe (fichier .xml extrait de l'archive J'ADE),\n"
    "calcule pour chaque élève les scores de chaque objectif en français et en\n"
    "mathématiques, puis affiche un résumé de la classe.\n"
    "\n"
    "Options :\n"
    "  --csv FICHIER  écrit les scores dans FICHIER au lieu d'afficher le résumé : une ligne\n"
    "                 par élève, matière et objectif (numero;nom;prenom;matiere;objectif;\n"
    "                 SR;SE;SNR;codage), en UTF-8, lisible directement par un tableur.\n"
    "  -h, --help     affiche cette aide.\n"
    "\n"
    "Les fichiers de travail sont créés dans un dossier temporaire privé, supprimé à la fin.\n"
    "Code de sortie : 0 en cas de succès, 1 si le chargement échoue, 2 si la commande est mal écrite.\n";

struct Options {
    std::optional<fs::path> csv;
    fs::path exportDocument;
};

struct UsageError {
    std::string message;
};

Options parseArguments(const std::vector<std::string>& args) {
    Options options;
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg.front() != '-' || arg == "-") {
            positional.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--csv") {
            if (i + 1 >= args.size())
                throw UsageError{"l'option --csv attend un nom de fichier."};
            options.csv = args[++i];
        } else if (arg.rfind("--csv=", 0) == 0) {
            options.csv = arg.substr(6);
        } else {
            throw UsageError{"option inconnue : " + arg + "."};
        }
    }
    if (options.csv && options.csv->empty())
        throw UsageError{"l'option --csv attend un nom de fichier."};
    if (positional.empty())
        throw UsageError{"indiquez le document d'export à charger."};
    if (positional.size() > 1)
        throw UsageError{"un seul document d'export à la fois (reçu : " + std::to_string(positional.size()) +
                         ")."};
    options.exportDocument = positional.front();
    return options;
}

// The private work folder and what the import writes into it, kept as plain C strings so
// that a signal handler can remove them with async-signal-safe calls only.
struct WorkPaths {
    std::string root;
    std::string work;
    std::vector<std::string> files;
};
WorkPaths* g_cleanup = nullptr;

void removeWorkFolder(const WorkPaths& paths) {
    for (const std::string& file : paths.files)
        ::unlink(file.c_str());
    ::rmdir(paths.work.c_str());
    ::rmdir(paths.root.c_str());
}

extern "C" void onTerminatingSignal(int signal) {
    if (g_cleanup != nullptr)
        removeWorkFolder(*g_cleanup);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// The user's runtime folder lives in memory on a desktop session, so pupil data never
// reaches the disk there; elsewhere the system's temporary folder.
fs::path baseFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code error;
    if (runtime != nullptr && *runtime == '/' && fs::is_directory(runtime, error))
        return runtime;
    return fs::temp_directory_path();
}

// Creates the private work folder and removes it, with everything the import put there,
// when the run ends, however it ends.
class PrivateWorkFolder {
public:
    PrivateWorkFolder() {
        std::string pattern = (baseFolder() / "zeb-fiches-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw ZebError("Impossible de créer le dossier de travail temporaire : " + FrenchReason(errno) +
                           ".");
        paths_.root = pattern;
        const fs::path work = WorkFolder(paths_.root);
        paths_.work = work.string();
        for (std::string_view name : {TempFileName, FrenchFileName, MathsFileName})
            paths_.files.push_back((work / name).string());
        g_cleanup = &paths_;
        for (int signal : {SIGINT, SIGTERM, SIGHUP})
            std::signal(signal, onTerminatingSignal);
    }
    ~PrivateWorkFolder() {
        g_cleanup = nullptr;
        std::error_code ignored;
        fs::remove_all(paths_.root, ignored);
    }
    PrivateWorkFolder(const PrivateWorkFolder&) = delete;
    PrivateWorkFolder& operator=(const PrivateWorkFolder&) = delete;

    fs::path path() const { return paths_.root; }

private:
    WorkPaths paths_;
};

bool sameFile(const fs::path& a, const fs::path& b) {
    std::error_code error;
    return fs::equivalent(a, b, error) && !error;
}

int run(const Options& options) {
    const std::string extension = options.exportDocument.extension().string();
    if (extension == ".jad" || extension == ".JAD")
        throw ZebError("les archives .jad ne sont pas encore lues par zeb-fiches : extrayez-en d'abord le "
                       "document .xml et donnez-le à la place de l'archive.");
    if (options.csv && sameFile(*options.csv, options.exportDocument))
        throw ZebError("le fichier CSV demandé est le document d'export lui-même ; choisissez un autre nom.");

    auto state = std::make_unique<ProgramState>();
    BuildObjectiveTables(*state);
    {
        PrivateWorkFolder folder;
        ImportExportDocument(options.exportDocument, folder.path(), *state);
    }
    if (options.csv)
        WriteFileAtomically(*options.csv, cli::ClassScoresCsv(*state));
    else
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
    try {
        return run(parseArguments(args));
    } catch (const UsageError& error) {
        std::cerr << "zeb-fiches : " << error.message << "\nEssayez « zeb-fiches --help ».\n";
        return 2;
    } catch (const ZebError& error) {
        std::cerr << "zeb-fiches : " << error.what() << '\n';
        return 1;
    } catch (const std::exception& error) {
        std::cerr << "zeb-fiches : erreur inattendue : " << error.what() << '\n';
        return 1;
    }
}
