// zeb-fiches: a class's scores, sheets and synthesis, its families' files, or a whole school's,
// from the command line.

#include "Command.h"
#include "PdfOutput.h"
#include "core/Cp1252.h"
#include "core/Errors.h"
#include "platform/Platform.h"

#include <iostream>
#include <string>
#include <vector>

using namespace zeb;

int main(int argc, char** argv) {
    KeepLibrariesOutOfCurrentFolder();
    // The arguments and the messages are UTF-8 on every system: a Windows console shows them
    // as such, and a name such as "Hélène" reaches the program whole.
    UseUtf8Console();
    const std::vector<std::string> all = Utf8Arguments(argc, argv);
    const std::vector<std::string> args(all.begin() + (all.empty() ? 0 : 1), all.end());
    for (const std::string& arg : args) {
        if (arg == "--")
            break;
        if (arg == "-h" || arg == "--help" || arg == "--aide") {
            std::cout << cli::HelpText();
            return 0;
        }
    }
    InstallInterruptionHandlers();
    // Messages quote names from the export and the archive: no control character of theirs
    // reaches the terminal.
    try {
        return cli::RunCommand(
            cli::ParseArguments(args), [] { return std::make_unique<cli::PdfWriting>(); }, std::cout,
            std::cerr);
    } catch (const Interrupted&) {
        // Everything the run had begun is undone by now.
        EndByInterruption();
    } catch (const cli::UsageError& error) {
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
