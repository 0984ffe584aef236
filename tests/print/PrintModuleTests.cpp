#include "TempFolder.h"
#include "print/PrintModule.h"
#include "print/SheetPrinter.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

using namespace zeb;
namespace fs = std::filesystem;

namespace {

fs::path besideTests(const char* name) {
    return fs::read_symlink("/proc/self/exe").parent_path() / name;
}

std::string loadError(const std::vector<fs::path>& candidates) {
    try {
        LoadPrintModule(candidates);
    } catch (const NoPrinterError& error) {
        return error.what();
    }
    return "";
}

// Without a usable module the teacher is told, in French, and the caller can offer a PDF.
TEST(PrintModule, WithoutAUsableModuleSaysSoAsNoPrinter) {
    const test::TempFolder folder;
    test::writeFile(folder / "libzebprint.so", "pas une bibliothèque");
    const struct {
        std::vector<fs::path> candidates;
        std::string detail;
    } cases[] = {
        {{}, ""},
        {{folder / "absent" / "libzebprint.so"}, ""},
        {{folder / "libzebprint.so"}, "libzebprint.so"},
        {{besideTests("libunzdll.so")}, "n'est pas le module d'impression de cette version de ZEB"},
    };
    for (const auto& [candidates, detail] : cases) {
        const std::string message = loadError(candidates);
        EXPECT_TRUE(message.starts_with("Le module d'impression de ZEB (libzebprint.so) est introuvable ou "
                                        "inutilisable : la fiche n'a pas été imprimée.\nRéinstallez ZEB"))
            << message;
        EXPECT_NE(message.find(detail), std::string::npos) << message;
    }
}

// Two usable copies: whichever comes first is the one whose printers are made.
TEST(PrintModule, TheFirstUsableCandidateIsTaken) {
    const test::TempFolder folder;
    for (const char* copy : {"a", "b"}) {
        fs::create_directory(folder / copy);
        fs::copy_file(besideTests("libzebprint.so"), folder / copy / "libzebprint.so");
    }
    for (const auto& [first, second] : {std::pair{"a", "b"}, std::pair{"b", "a"}}) {
        const NewPrinterFunction make =
            LoadPrintModule({besideTests("absent/libzebprint.so"), folder / first / "libzebprint.so",
                             folder / second / "libzebprint.so"});
        void* loaded = ::dlopen((folder / first / "libzebprint.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(loaded, nullptr) << first;
        EXPECT_EQ(reinterpret_cast<void*>(make), ::dlsym(loaded, PrintModuleNewPrinterEntry)) << first;
        ::dlclose(loaded);
        const std::unique_ptr<SheetPrinter> printer(make());
        EXPECT_NE(printer, nullptr);
    }
}

} // namespace
