// zeb_bench_startup [EXPORT.jad]: starts the program as zeb06ce2 does, shows the main window,
// loads EXPORT when given, and exits once the main window is painted (and the load done);
// for timing the start-up and measuring the memory of a fresh or loaded program.

#include "WhenPainted.h"
#include "qtkit/FileDialog.h"
#include "ui/ProgramWindows.h"
#include "ui/Zeb2.h"
#include "ui/Zebproj.h"

#include <QApplication>
#include <QTimer>
#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    zeb::PrepareApplication(application);
    zeb::ProgramWindows program;
    zeb::TForm1& main = program.form1();
    main.show();
    const QStringList arguments = QApplication::arguments();
    int status = 0;
    const zeb::bench::WhenPainted done(main, [&] {
        if (arguments.size() > 1) {
            zeb::FileDialog::setNextFileName(arguments.at(1));
            try {
                main.SpeedButton1Click();
            } catch (const std::exception& error) {
                std::cerr << error.what() << '\n';
                status = 1;
            }
        }
        QTimer::singleShot(0, &application, &QApplication::quit);
    });
    QApplication::exec();
    return status;
}
