#include "ProgramTest.h"
#include "ZipBuilder.h"
#include "core/Errors.h"
#include "core/ProgramState.h"
#include "core/WorkFiles.h"
#include "generator/ExportGenerator.h"
#include "platform/Platform.h"
#include "qtkit/FileDialog.h"
#include "qtkit/MessageBox.h"
#include "qttext/QtText.h"
#include "ui/Maj.h"
#include "ui/ProgramWindows.h"
#include "ui/Zeb2.h"
#include "ui/Zeb4.h"
#include "ui/Zebproj.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <QUrl>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <set>

using namespace zeb;
using namespace zeb::test;
namespace fs = std::filesystem;

namespace {

class MainWindowTest : public ProgramTest {
protected:
    void SetUp() override { form1->show(); }

    ProgramState* state = &TestProgram::state();
    TForm1* form1 = &TestProgram::form1();
    TForm2* form2 = &TestProgram::form2();
    TAboutBox* about = &TestProgram::about();
    TForm4* form4 = &TestProgram::form4();
};

} // namespace

TEST_F(MainWindowTest, TheWindowAsItOpens) {
    EXPECT_EQ(form1->windowTitle(), QStringLiteral("EVALUATION CE2"));
    EXPECT_EQ(form1->size(), QSize(798, 596));
    EXPECT_EQ(form1->Label3->text(), QStringLiteral("Septembre 2006"));
    EXPECT_EQ(form1->SpeedButton1->toolTip(), QStringLiteral("Parcourir"));
    EXPECT_EQ(form1->BitBtn2->text(), QStringLiteral("&Items retenus"));
    EXPECT_EQ(form1->Quitter->toolTip(), QStringLiteral("Quitter ZEB v2"));
    EXPECT_TRUE(form1->BitBtn1->text().isEmpty());
    EXPECT_TRUE(form1->Memo3->isReadOnly());
    EXPECT_EQ(form1->MmListeRecherche->toPlainText(), QStringLiteral("<MELEVE_MID>\n<MCODES>"));
    EXPECT_FALSE(form1->MmListeRecherche->isVisibleTo(form1));
    EXPECT_TRUE(form1->Memo3->toPlainText().contains(QStringLiteral("(C'est déjà pas mal!!). \n")));
    // The tables are built and the start-up choices set before any other window reads them.
    EXPECT_EQ(state->CurrentSubject, Subject::French);
    EXPECT_EQ(state->FrenchTable.Domains[1].Title, "COMPREHENSION");
    EXPECT_TRUE(form1->isVisible());
    EXPECT_FALSE(form2->isVisible());
    EXPECT_FALSE(form4->isVisible());
    EXPECT_FALSE(about->isVisible());
}

TEST_F(MainWindowTest, ALoadOpensTheSelectionWindowOnTheClass) {
    load(exportArchive(12));
    EXPECT_FALSE(form1->isVisible());
    EXPECT_TRUE(form2->isVisible());
    // The same file, whichever separators it is shown with.
    EXPECT_EQ(PathFromQString(form1->Edit1->text()), files / "classe.jad");
    EXPECT_EQ(state->Class.PupilCount, 12);
    EXPECT_EQ(state->Class.PupilSelection, (GridRect{1, 1, 2, 1}));
    EXPECT_EQ(form2->StringGrid1->rowCount(), 12);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // The work files are in the user's data folder; nothing extracted remains; the program's
    // folder is the current one.
    EXPECT_TRUE(fs::exists(programFolder() / "TMP" / "Fichier1.c01"));
    EXPECT_TRUE(fs::is_empty(programFolder() / "extraction"));
    EXPECT_EQ(fs::current_path(), programFolder());

    // Back, then a larger class: every table is rebuilt.
    form2->RetourClick();
    EXPECT_TRUE(form1->isVisible());
    load(exportArchive(28, "autre.jad"));
    EXPECT_EQ(state->Class.PupilCount, 28);
    EXPECT_EQ(form2->StringGrid1->rowCount(), 28);
}

TEST_F(MainWindowTest, CancellingTheFileDialogClearsThePathOnly) {
    form1->Edit1->setText(QStringLiteral("/ancien/chemin.jad"));
    FileDialog::setNextFileName(QString()); // the dialog's cancel
    form1->SpeedButton1Click();
    EXPECT_TRUE(form1->Edit1->text().isEmpty());
    EXPECT_TRUE(form1->isVisible());
    EXPECT_EQ(state->Class.PupilCount, 0);
}

TEST_F(MainWindowTest, AnArchiveWithoutDocumentKeepsThePreviousClass) {
    load(exportArchive(5));
    form2->RetourClick();
    // A document left from earlier must not be taken for this archive's.
    writeFile(programFolder() / "ancien.xml", examples::GenerateClass({.pupils = 9}).Document);
    writeFile(programFolder() / "extraction" / "reste.xml", examples::GenerateClass({.pupils = 9}).Document);
    writeFile(files / "vide.jad", StoredZip({{"notes.txt", "rien", 0x0014}}));
    try {
        load((files / "vide.jad").string());
        FAIL() << "the load should have failed";
    } catch (const ZebError& error) {
        EXPECT_NE(std::string(error.what()).find("ne contient aucun document d'export"), std::string::npos);
    }
    EXPECT_TRUE(form1->isVisible());
    EXPECT_FALSE(form2->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(state->Class.PupilCount, 5);
    EXPECT_FALSE(fs::exists(programFolder() / "extraction" / "notes.txt"));
}

TEST_F(MainWindowTest, QuittingRemovesTheWorkFiles) {
    form1->QuitterClick(); // no load: nothing to delete, nothing fails
    load(exportArchive(3));
    const fs::path work = programFolder() / "TMP";
    ASSERT_TRUE(fs::exists(work / "temp.txt"));
    form1->QuitterClick();
    EXPECT_TRUE(fs::is_directory(work));
    EXPECT_TRUE(fs::is_empty(work));
}

TEST_F(MainWindowTest, TheCloseBoxCleansUpToo) {
    load(exportArchive(3));
    form2->RetourClick();
    form1->close();
    EXPECT_FALSE(fs::exists(programFolder() / "TMP" / "Fichier2.c01"));
}

TEST_F(MainWindowTest, ItemsAndHelpButtons) {
    form1->BitBtn2Click();
    EXPECT_TRUE(form4->isVisible());
    EXPECT_FALSE(form1->isVisible());
    form1->show();
    form1->BitBtn1Click();
    form1->BitBtn1Click();
    EXPECT_TRUE(about->isVisible());
    EXPECT_TRUE(form1->isVisible());
}

// A start removes the work files a run that did not end left, and nothing else; a second copy
// started beside a running one leaves that one's files alone.
TEST_F(MainWindowTest, AStartRemovesWhatADeadRunLeft) {
    const std::vector<std::string> leftovers{"TMP/temp.txt", "TMP/Fichier1.c01", "TMP/Fichier2.c01",
                                             "TMP/.Fichier1.c01.a1B2c3", "extraction/classe.xml"};
    const std::vector<std::string> kept{"ZEB.CFG", "TMP/notes.txt", "TMP/.Fichier1.c01.trop-long"};
    auto plant = [](const fs::path& folder, const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            fs::create_directories((folder / name).parent_path());
            writeFile(folder / name, "Élève");
        }
    };

    plant(programFolder(), leftovers);
    ProgramWindows second(programFolder()); // this test's program is running
    for (const std::string& name : leftovers)
        EXPECT_TRUE(fs::exists(programFolder() / name)) << name;

    TempFolder other;
    plant(other.path(), leftovers);
    plant(other.path(), kept);
    ProgramWindows restarted(other.path());
    for (const std::string& name : leftovers)
        EXPECT_FALSE(fs::exists(other / name)) << name;
    for (const std::string& name : kept)
        EXPECT_TRUE(fs::exists(other / name)) << name;
}

TEST_F(MainWindowTest, TabVisitsTheFieldAndTheButtonsOnly) {
    std::set<QWidget*> stops;
    for (QWidget* w = form1->nextInFocusChain(); w != form1; w = w->nextInFocusChain())
        if (w->isVisibleTo(form1) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) != 0)
            stops.insert(w);
    EXPECT_EQ(stops, (std::set<QWidget*>{form1->Edit1, form1->SpeedButton1, form1->BitBtn2, form1->Quitter,
                                         form1->BitBtn1}));
}

// A dropped export is loaded as if chosen in the open dialog; anything else is refused at the
// door, and a failed load says why and leaves the main window.
TEST_F(MainWindowTest, DroppingAnExportLoadsIt) {
    writeFile(files / "notes.txt", "rien");
    writeFile(files / "abime.JAD", "pas une archive");
    auto drop = [this](const QList<QUrl>& urls) {
        QMimeData payload;
        payload.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &payload, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form1, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &payload, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form1, &dropped);
        QCoreApplication::sendPostedEvents();
        return true;
    };
    auto local = [this](const char* name) {
        return QUrl::fromLocalFile(QString::fromStdString((files / name).string()));
    };

    EXPECT_FALSE(drop({local("notes.txt")}));
    EXPECT_FALSE(drop({QUrl(QStringLiteral("https://exemple.fr/classe.jad"))}));
    EXPECT_FALSE(drop({local("a.jad"), local("b.jad")}));

    MessageBox::setNextAnswer(MessageBox::Answer::Ok);
    ASSERT_TRUE(drop({local("abime.JAD")}));
    EXPECT_TRUE(MessageBox::lastText().contains(QStringLiteral("abime.JAD")));
    EXPECT_TRUE(form1->isVisible());
    EXPECT_EQ(state->Class.PupilCount, 0);

    ASSERT_TRUE(drop({QUrl::fromLocalFile(QString::fromStdString(exportArchive(7)))}));
    EXPECT_FALSE(form1->isVisible());
    EXPECT_TRUE(form2->isVisible());
    EXPECT_EQ(state->Class.PupilCount, 7);
    // The same file, whichever separators it is shown with.
    EXPECT_EQ(PathFromQString(form1->Edit1->text()), files / "classe.jad");
}

// An export whose path has accents and spaces (C:\Users\Hélène\...) loads whichever way it
// comes: the open dialog, a drop, the program's argument.
TEST_F(MainWindowTest, AnExportUnderAnAccentedNameLoadsEveryWay) {
    const fs::path folder = files.path() / PathFromUtf8("H\xC3\xA9l\xC3\xA8ne");
    fs::create_directory(folder);
    const std::function<void(const QString&)> ways[] = {
        [this](const QString& name) {
            FileDialog::setNextFileName(name);
            form1->SpeedButton1Click();
        },
        [this](const QString& name) {
            QMimeData payload;
            payload.setUrls({QUrl::fromLocalFile(name)});
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &payload, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(form1, &enter);
            QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &payload, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(form1, &dropped);
            QCoreApplication::sendPostedEvents();
        },
        [this](const QString& name) { form1->LoadExport(name); },
    };
    int pupils = 4;
    for (const auto& load : ways) {
        const fs::path file = folder / PathFromUtf8("CE2 \xC3\xA9 " + std::to_string(++pupils) + ".jad");
        writeFile(file, ClassExportArchive(pupils));
        form2->hide();
        form1->show();
        load(QStringFromPath(file));
        EXPECT_EQ(state->Class.PupilCount, pupils);
        EXPECT_TRUE(form2->isVisible()) << pupils;
        EXPECT_EQ(PathFromQString(form1->Edit1->text()), file);
    }
}
