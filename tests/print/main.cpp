// Printing tests see only the private CUPS daemon: HOME is a fresh folder, so a developer's
// ~/.cups/lpoptions (which can name a default printer) never leaks in, and neither do PRINTER or LPDEST.

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

// LeakSanitizer: libcups (CUPS 2.4.2 in Debian 12) never frees some strings of the PPD cache it
// builds when Qt opens a printer that has a PPD. Not ours to free.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
    return "leak:_ppdCacheCreateWithPPD\n";
}

int main(int argc, char** argv) {
    std::string home = (std::filesystem::temp_directory_path() / "zeb-print-home-XXXXXX").string();
    if (::mkdtemp(home.data()) == nullptr)
        return 2;
    ::setenv("HOME", home.c_str(), 1);
    ::unsetenv("PRINTER");
    ::unsetenv("LPDEST");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    int result = 0;
    {
        QApplication application(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    return result;
}
