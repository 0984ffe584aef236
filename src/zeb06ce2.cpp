// ZEB v2: result sheets of the national CE2 evaluation from a class's J'ADE export.

#include "ui/ProgramWindows.h"
#include "ui/Zebproj.h"

#include <QApplication>

int main(int argc, char** argv) {
    // Qt takes its own platform options; the program reads no argument of its own.
    QApplication application(argc, argv);
    zeb::SetApplicationIdentity();
    zeb::ProgramWindows program;
    program.windows().Form1->show();
    return QApplication::exec();
}
