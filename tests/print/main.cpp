// Printing tests see only the private CUPS daemon: HOME is the run's private one (PrivateHome.h),
// so a developer's ~/.cups/lpoptions (which can name a default printer) never leaks in, and
// neither do PRINTER or LPDEST.

#include <QApplication>
#include <gtest/gtest.h>

// LeakSanitizer: libcups (CUPS 2.4.2 in Debian 12) never frees some strings of the PPD cache it
// builds when Qt opens a printer that has a PPD. Not ours to free.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
    return "leak:_ppdCacheCreateWithPPD\n";
}

int main(int argc, char** argv) {
    qunsetenv("PRINTER");
    qunsetenv("LPDEST");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
