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
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& arg : args) {
        if (arg == "--")
            break;
        if (arg == "-h" || arg == "--help" || arg == "--aide") {
            std::cout << cli::Usage;
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
