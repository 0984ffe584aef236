// zeb-screenshots FOLDER SAMPLE.jad: pictures of the program's windows for the README, the
// sample class loaded. Run by ./dev.sh screenshots under a virtual display.

#include "qtkit/FileDialog.h"
#include "ui/Maj.h"
#include "ui/ProgramWindows.h"
#include "ui/Zeb2.h"
#include "ui/Zeb3.h"
#include "ui/Zeb4.h"
#include "ui/Zebproj.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QTemporaryDir>
#include <exception>
#include <iostream>

namespace {

bool save(QWidget& window, const QString& file) {
    window.show();
    window.raise();
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    const bool saved = window.grab().save(file);
    if (!saved)
        std::cerr << "zeb-screenshots : impossible d'écrire " << file.toStdString() << '\n';
    return saved;
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 3) {
        std::cerr << "Usage : zeb-screenshots DOSSIER EXPORT.jad\n";
        return 2;
    }
    // A data folder of its own: the pictures never touch the user's.
    QTemporaryDir data;
    zeb::SetApplicationIdentity();
    zeb::ProgramWindows program(data.path().toStdString());
    zeb::AppWindows& windows = program.windows();
    zeb::TForm1& form1 = program.form1();
    // Absolute: a load makes the program's data folder the current one.
    const QDir folder(QFileInfo(arguments.at(1)).absoluteFilePath());

    bool ok = save(form1, folder.filePath(QStringLiteral("fenetre-principale.png")));
    const QString archive = QFileInfo(arguments.at(2)).absoluteFilePath();
    zeb::FileDialog::setNextFileName(archive);
    try {
        form1.SpeedButton1Click();
    } catch (const std::exception& error) {
        std::cerr << "zeb-screenshots : " << error.what() << '\n';
        return 1;
    }
    ok = save(*windows.Form2, folder.filePath(QStringLiteral("fenetre-traitement.png"))) && ok;

    // The preview of the second pupil's French sheet at each zoom step, as the teacher gets
    // there: "Apercu", then "Zoom Avant" twice.
    windows.Form2->StringGrid1SelectCell(1, 2);
    windows.Form2->ApercuClick();
    auto* preview = dynamic_cast<zeb::TForm3*>(windows.Form3);
    for (const char* zoom : {"60", "80", "100"}) {
        ok = save(*preview, folder.filePath(QStringLiteral("apercu-zoom-%1.png").arg(QLatin1String(zoom)))) &&
             ok;
        preview->ZoomAVClick();
    }
    preview->RetourClick();
    // The class synthesis in French, its first page (the class table, whole in the window grown
    // for it) then its second.
    windows.Form2->SyntheseClick();
    ok = save(*preview, folder.filePath(QStringLiteral("synthese-tableau-entier.png"))) && ok;
    preview->NextPageClick();
    ok = save(*preview, folder.filePath(QStringLiteral("apercu-synthese.png"))) && ok;
    preview->RetourClick();
    windows.Form2->hide();
    ok = save(*windows.Form4, folder.filePath(QStringLiteral("fenetre-objectifs.png"))) && ok;
    windows.Form4->hide();
    ok = save(*windows.AboutBox, folder.filePath(QStringLiteral("fenetre-aide.png"))) && ok;
    form1.QuitterClick();
    return ok ? 0 : 1;
}
