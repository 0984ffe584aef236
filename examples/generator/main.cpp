// zeb-genclass: writes a fictional class export document, for trying the program without real pupils.

#include "generator/ExportGenerator.h"

#include <cerrno>
#include <charconv>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

namespace {

namespace fs = std::filesystem;
using zeb::examples::GeneratorOptions;

constexpr int ExitWriteError = 1;
constexpr int ExitBadArguments = 2;
// Far above any real export; only guards against a typo asking for gigabytes.
constexpr unsigned long long MaxLines = 1'000'000;

constexpr const char* Usage =
    "Usage : zeb-genclass [options] FICHIER.xml|FICHIER.jad\n"
    "\n"
    "Écrit dans FICHIER.xml l'export d'une classe de CE2 fictive (noms, dates et résultats\n"
    "inventés), au format lu par l'importation de ZEB : la liste de français puis celle de\n"
    "mathématiques, en Windows-1252 avec fins de ligne CR LF. Les mêmes options donnent\n"
    "toujours exactement le même document. Avec un nom en .jad, le document (FICHIER.xml)\n"
    "est rangé, compressé, dans une archive zip comme celles qu'exporte J'ADE.\n"
    "\n"
    "Options :\n"
    "  --eleves N     nombre d'élèves, de 1 à 99 (25 par défaut ; ZEB en refuse plus de 30,\n"
    "                 ce qui permet de tester ce refus)\n"
    "  --graine S     graine du tirage, de 0 à 4294967295 (2006 par défaut)\n"
    "  --absent K     numéro de l'élève absent à toutes les épreuves (codes « A »), 0 pour\n"
    "                 aucun (7 par défaut, s'il y a au moins 7 élèves)\n"
    "  --lignes N     ajoute des lignes neutres réparties entre les élèves pour que le fichier\n"
    "                 compte N lignes, au plus 1000000 (taille naturelle par défaut)\n"
    "  --noms-longs   donne au premier élève un nom de 27 caractères et un prénom de 17\n"
    "                 caractères, plus longs que ce que ZEB conserve\n"
    "  --aide, --help affiche cette aide\n"
    "\n"
    "Le fichier est écrit sous un nom temporaire dans le même dossier puis renommé : un\n"
    "fichier existant n'est jamais laissé à moitié écrit.\n";

[[noreturn]] void badArguments(const std::string& message) {
    std::cerr << "zeb-genclass : " << message << "\n"
              << "Tapez « zeb-genclass --aide » pour l'aide.\n";
    std::exit(ExitBadArguments);
}

unsigned long long parseNumber(std::string_view option, std::string_view text, unsigned long long low,
                               unsigned long long high) {
    unsigned long long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    const std::string range = std::to_string(low) + " et " + std::to_string(high);
    if (text.empty() || stop != end || error == std::errc::invalid_argument)
        badArguments("la valeur de " + std::string(option) + " doit être un nombre entier entre " + range +
                     " (reçu « " + std::string(text) + " »).");
    if (error == std::errc::result_out_of_range || value < low || value > high)
        badArguments("la valeur de " + std::string(option) + " doit être comprise entre " + range +
                     " (reçu " + std::string(text) + ").");
    return value;
}

struct Arguments {
    GeneratorOptions Options;
    std::optional<int> Absent;
    fs::path Output;
};

Arguments parseArguments(int argc, char** argv) {
    Arguments arguments;
    std::optional<std::string> output;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        if (optionsEnded || argument.size() < 2 || argument.substr(0, 1) != "-") {
            if (output)
                badArguments("un seul fichier de sortie est attendu (« " + *output + " » puis « " +
                             std::string(argument) + " »).");
            output = std::string(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        // Both "--eleves 12" and "--eleves=12" are accepted.
        std::string_view name = argument;
        std::optional<std::string_view> value;
        if (const std::size_t equals = argument.find('='); equals != std::string_view::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        const auto takeValue = [&]() -> std::string_view {
            if (value)
                return *value;
            if (i + 1 >= argc)
                badArguments("l'option " + std::string(name) + " attend une valeur.");
            return argv[++i];
        };
        if (name == "--aide" || name == "--help") {
            std::cout << Usage;
            std::exit(0);
        } else if (name == "--noms-longs") {
            if (value)
                badArguments("l'option --noms-longs ne prend pas de valeur.");
            arguments.Options.longNames = true;
        } else if (name == "--eleves") {
            arguments.Options.pupils =
                static_cast<int>(parseNumber(name, takeValue(), 1, zeb::examples::MaxGeneratedPupils));
        } else if (name == "--graine") {
            arguments.Options.seed =
                static_cast<std::uint32_t>(parseNumber(name, takeValue(), 0, 4294967295u));
        } else if (name == "--absent") {
            arguments.Absent =
                static_cast<int>(parseNumber(name, takeValue(), 0, zeb::examples::MaxGeneratedPupils));
        } else if (name == "--lignes") {
            arguments.Options.targetLines =
                static_cast<std::size_t>(parseNumber(name, takeValue(), 0, MaxLines));
        } else {
            badArguments("option inconnue « " + std::string(argument) + " ».");
        }
    }
    if (!output)
        badArguments("indiquez le fichier à écrire, par exemple classe.xml.");
    arguments.Output = *output;

    if (arguments.Absent) {
        if (*arguments.Absent > arguments.Options.pupils)
            badArguments("--absent " + std::to_string(*arguments.Absent) +
                         " désigne un élève qui n'existe pas (la classe en compte " +
                         std::to_string(arguments.Options.pupils) + ").");
        arguments.Options.absentPupil = *arguments.Absent;
    } else if (arguments.Options.absentPupil > arguments.Options.pupils) {
        arguments.Options.absentPupil = 0;
    }
    return arguments;
}

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// Temporary file in the destination folder, so that the final rename stays on one file system and
// replaces the old document in one step.
std::optional<std::string> writeAtomically(const fs::path& output, const std::string& bytes) {
    const fs::path folder = output.has_parent_path() ? output.parent_path() : fs::path(".");
    std::string pattern = (folder / ("." + output.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return "impossible de créer un fichier temporaire dans « " + folder.string() +
               " » : " + std::strerror(errno);
    // mkstemp makes the file private; give it the permissions an ordinary new file would get.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    bool ok = ::fchmod(fd, 0666 & ~mask) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
    const int savedErrno = errno;
    ok = ::close(fd) == 0 && ok;
    if (ok && std::rename(pattern.c_str(), output.c_str()) == 0)
        return std::nullopt;
    const std::string reason = std::strerror(ok ? errno : savedErrno);
    ::unlink(pattern.c_str());
    return "impossible d'écrire « " + output.string() + " » : " + reason;
}

bool endsWithJad(const std::string& name) {
    return name.size() > 4 &&
           (name.compare(name.size() - 4, 4, ".jad") == 0 || name.compare(name.size() - 4, 4, ".JAD") == 0);
}

// An export archive as the evaluation program writes them: one deflated member named after
// the archive, written on a DOS host, dated at a fixed moment so that only the compressor
// can change the bytes. libzip writes beside the target and renames when it closes.
std::optional<std::string> writeArchive(const fs::path& output, const std::string& document) {
    const std::string member = output.stem().string() + ".xml";
    int error = 0;
    zip_t* archive = zip_open(output.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (archive == nullptr) {
        zip_error_t reason;
        zip_error_init_with_code(&reason, error);
        std::string text = "impossible de créer « " + output.string() + " » : " + zip_error_strerror(&reason);
        zip_error_fini(&reason);
        return text;
    }
    zip_source_t* source = zip_source_buffer(archive, document.data(), document.size(), 0);
    const zip_int64_t index = source == nullptr ? -1 : zip_file_add(archive, member.c_str(), source, 0);
    if (index < 0)
        zip_source_free(source);
    const auto entry = static_cast<zip_uint64_t>(index);
    constexpr time_t ExportTime = 1160145000; // 6 October 2006, 14:30 UTC
    const bool ok = index >= 0 && zip_set_file_compression(archive, entry, ZIP_CM_DEFLATE, 9) == 0 &&
                    zip_file_set_mtime(archive, entry, ExportTime, 0) == 0 &&
                    zip_file_set_external_attributes(archive, entry, 0, ZIP_OPSYS_DOS, 0x20) == 0;
    if (!ok || zip_close(archive) != 0) {
        std::string text = "impossible d'écrire « " + output.string() + " » : " + zip_strerror(archive);
        zip_discard(archive);
        return text;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    // System error texts in the user's language (strerror), nothing else depends on the locale.
    std::setlocale(LC_MESSAGES, "");
    // Zip dates are local time: one time zone for all, so that archives come out the same anywhere.
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    const Arguments arguments = parseArguments(argc, argv);
    const std::string filename = arguments.Output.filename().string();
    if (filename.empty() || filename == "." || filename == "..")
        badArguments("« " + arguments.Output.string() + " » n'est pas un nom de fichier.");

    const zeb::examples::GeneratedClass generated = zeb::examples::GenerateClass(arguments.Options);
    const bool archive = endsWithJad(filename);
    if (const auto error = archive ? writeArchive(arguments.Output, generated.Document)
                                   : writeAtomically(arguments.Output, generated.Document)) {
        std::cerr << "zeb-genclass : " << *error << "\n";
        return ExitWriteError;
    }
    // The importer only looks at files whose name contains "xml".
    std::string upper = filename;
    for (char& c : upper)
        c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    if (!archive && upper.find("XML") == std::string::npos)
        std::cerr << "zeb-genclass : attention, ZEB n'importe que les fichiers dont le nom contient xml.\n";
    const std::size_t pupils = generated.Pupils.size();
    std::cout << arguments.Output.string() << " : " << pupils << (pupils > 1 ? " élèves" : " élève") << ".\n";
    return 0;
}
