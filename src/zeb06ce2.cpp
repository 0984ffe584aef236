// ZEB v2: result sheets of the national CE2 evaluation from a class's J'ADE export.

#include "platform/Platform.h"
#include "ui/ErrorBox.h"
#include "ui/ProgramWindows.h"
#include "ui/QuitSignals.h"
#include "ui/Zebproj.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <cstring>
#include <iostream>

namespace {

// A platform named on the command line (-platform offscreen) is Qt's to check.
bool hasScreen(int argc, char** argv) {
    if (zeb::DisplayAvailable())
        return true;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return true;
    return false;
}

QtMessageHandler qtHandler = nullptr;

// Started by su, sudo or cron, a session has no XDG_RUNTIME_DIR: Qt takes a folder of its own
// and says so at every start. That notice is for developers; the rest goes to Qt's handler.
void withoutRuntimeFolderNotice(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    qtHandler(type, context, message);
}

} // namespace

int main(int argc, char** argv) {
    zeb::KeepLibrariesOutOfCurrentFolder();
    if (!hasScreen(argc, argv)) {
        std::cerr << "zeb06ce2 : pas d'écran ici (ni DISPLAY ni WAYLAND_DISPLAY) : ouvrez ZEB depuis une "
                     "session graphique, ou écrivez les fiches avec zeb-fiches.\n";
        return 2;
    }
    qtHandler = qInstallMessageHandler(withoutRuntimeFolderNotice);
    // Qt takes its own platform options first; what remains may name one export to load, as
    // the desktop's "Open with" does. Further arguments are ignored.
    QApplication application(argc, argv);
    zeb::PrepareApplication(application);
    zeb::ProgramWindows program;
    zeb::TForm1& mainWindow = program.form1();
    // The end of the session quits as "Quitter" does: no pupil data is left behind.
    zeb::QuitSignals quitSignals([&mainWindow] { mainWindow.QuitterClick(); });
    mainWindow.show();

    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1) {
        // Absolute now: a load changes the current folder.
        const QString exportFile = QFileInfo(arguments.at(1)).absoluteFilePath();
        QTimer::singleShot(0, &mainWindow, [&mainWindow, exportFile] {
            zeb::Guarded(&mainWindow, [&mainWindow, &exportFile] { mainWindow.LoadExport(exportFile); });
        });
    }
    const int status = QApplication::exec();
    // Whatever ran after the quit was asked (a load the signal interrupted) wrote nothing
    // that may stay.
    mainWindow.RemoveWorkFiles();
    return status;
}
