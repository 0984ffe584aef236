#include "platform/Platform.h"
#include "print/PrintModule.h"
#include "print/SheetPrinter.h"

#include <mutex>

namespace zeb {
namespace fs = std::filesystem;
namespace {

NoPrinterError cannotLoad(const std::string& why) {
    return NoPrinterError("Le module d'impression de ZEB (" + std::string(PrintModuleFileName) +
                              ") est introuvable ou inutilisable",
                          "Réinstallez ZEB pour pouvoir imprimer." +
                              (why.empty() ? std::string() : "\n(" + why + ")"));
}

} // namespace

NewPrinterFunction LoadPrintModule(const std::vector<fs::path>& candidates) {
    // Never closed once loaded: the printers it makes run its code.
    const PrivateLibrary library =
        PrivateLibrary::LoadFirst(candidates, PrintModuleLevelEntry, PrintModuleLevel);
    if (const auto make =
            reinterpret_cast<ZebNewSystemPrinterFunction>(library.symbol(PrintModuleNewPrinterEntry)))
        return make;
    if (library.outcome() == PrivateLibrary::Outcome::OtherVersion)
        throw cannotLoad(library.failure() + " n'est pas le module d'impression de cette version de ZEB");
    throw cannotLoad(library.failure());
}

std::unique_ptr<SheetPrinter> MakeSystemPrinter() {
    // Loaded on the first print; a failed load is tried again on the next.
    static std::mutex loading;
    static NewPrinterFunction make = nullptr;
    {
        const std::lock_guard lock(loading);
        if (make == nullptr)
            make = LoadPrintModule(PrivateLibraryPlaces(PrintModuleFileName));
    }
    return std::unique_ptr<SheetPrinter>(make());
}

} // namespace zeb
