// zeb_print_sample EXPORT.jad OUT.pdf: prints the first pupil's French sheet with "Imprimer", as
// a teacher does, to a capture queue of a private print server, and keeps what the printer got.
// Run by ./dev.sh pictures for the README's picture of a printed page.

#include "PrivateCups.h"
#include "qtkit/FileDialog.h"
#include "ui/ProgramWindows.h"
#include "ui/Zeb2.h"
#include "ui/Zeb3.h"
#include "ui/Zebproj.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <chrono>
#include <exception>
#include <filesystem>
#include <iostream>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // HOME and the program's folder are private (PrivateHome.h): no default printer of the
    // user's own, and the user's work files are out of reach.
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 3) {
        std::cerr << "Usage : zeb_print_sample EXPORT.jad SORTIE.pdf\n";
        return 2;
    }
    const QString archive = QFileInfo(arguments.at(1)).absoluteFilePath();
    const std::filesystem::path output = QFileInfo(arguments.at(2)).absoluteFilePath().toStdString();

    std::string whyNot;
    const auto cups = zeb::testing::PrivateCups::Start(whyNot);
    if (cups == nullptr) {
        std::cerr << "zeb_print_sample : le serveur d'impression privé n'a pas démarré : " << whyNot << '\n';
        return 1;
    }
    try {
        cups->AddCaptureQueue("Imprimante");
        zeb::SetApplicationIdentity();
        zeb::ProgramWindows program;
        zeb::AppWindows& windows = program.windows();
        zeb::FileDialog::setNextFileName(archive);
        program.form1().SpeedButton1Click();
        windows.Form2->ApercuClick();
        windows.Form3->ImprimeClick();
        const auto jobs = cups->WaitForJobs("Imprimante", 1, std::chrono::seconds(30));
        if (jobs.size() != 1) {
            std::cerr << "zeb_print_sample : aucun travail reçu\n" << cups->ErrorLog();
            return 1;
        }
        std::filesystem::copy_file(jobs[0].data, output, std::filesystem::copy_options::overwrite_existing);
        program.form1().QuitterClick();
    } catch (const std::exception& error) {
        std::cerr << "zeb_print_sample : " << error.what() << '\n';
        return 1;
    }
    return 0;
}
