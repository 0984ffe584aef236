#include "core/PrivateLibrary.h"
#include "print/PrintModule.h"
#include "print/SheetPrinter.h"

#include <dlfcn.h>
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
    std::string why;
    for (const fs::path& candidate : candidates) {
        // Never closed once loaded: the printers it makes run its code.
        void* handle = OpenLibraryFile(candidate, why);
        if (handle == nullptr)
            continue;
        auto level = reinterpret_cast<ZebPrintModuleLevelFunction>(::dlsym(handle, PrintModuleLevelEntry));
        auto make =
            reinterpret_cast<ZebNewSystemPrinterFunction>(::dlsym(handle, PrintModuleNewPrinterEntry));
        if (level != nullptr && make != nullptr && level() == PrintModuleLevel)
            return make;
        why = candidate.string() + " n'est pas le module d'impression de cette version de ZEB";
        ::dlclose(handle);
    }
    throw cannotLoad(why);
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
