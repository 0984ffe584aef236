// ZEB v2: result sheets of the national CE2 evaluation from a class's J'ADE export.

#include "ui/ErrorBox.h"
#include "ui/ProgramWindows.h"
#include "ui/QuitSignals.h"
#include "ui/Zebproj.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>

int main(int argc, char** argv) {
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
