#include "ProgramTest.h"
#include "Restorers.h"
#include "WindowEvents.h"
#include "core/Cp1252.h"
#include "core/Errors.h"
#include "core/ObjectiveTables.h"
#include "core/ProgramState.h"
#include "qttext/QtText.h"
#include "ui/Maj.h"
#include "ui/ProgramWindows.h"
#include "ui/Zebproj.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

using namespace zeb;
using namespace zeb::test;
namespace fs = std::filesystem;

namespace {

QString text(const QTableWidget* grid, int row, int column) {
    const QTableWidgetItem* cell = grid->item(row, column);
    return cell == nullptr ? QString() : cell->text();
}

std::vector<QStringList> rowsOf(const QTableWidget* grid, int count) {
    std::vector<QStringList> rows;
    for (int row = 0; row < count; ++row)
        rows.push_back({text(grid, row, 0), text(grid, row, 1), text(grid, row, 2)});
    return rows;
}

// Lines of a file ended by CR LF; anything after the last CR LF is returned as a last line.
std::vector<std::string> crlfLines(const std::string& contents) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = contents.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(contents.substr(start, end - start));
    if (start < contents.size())
        lines.push_back(contents.substr(start));
    return lines;
}

std::string cp(const char* utf8) {
    return cp1252::fromUtf8(utf8);
}

std::string joinCrlf(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines)
        out += line + "\r\n";
    return out;
}

// The window over freshly built tables, with the current folder moved to a folder of its own
// since ZEB.CFG is always taken from there.
class ObjectivesWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::current_path(folder.path());
        BuildObjectiveTables(*state);
        windows.State = state.get();
        form = std::make_unique<TForm4>(windows);
    }
    std::string configFile() const { return readFile(folder / "ZEB.CFG"); }
    void writeConfig(const std::vector<std::string>& lines) {
        writeFile(folder / "ZEB.CFG", joinCrlf(lines));
    }

    // A short but well-formed file: two French rows, one Mathematics row.
    std::vector<std::string> smallFile() const {
        return {"Juin 2007", "VERSION 2", cp("Français"),      "Objectifs", "Items retenus", "Objectif 1",
                "LECTURE",   "",          cp("Mathématiques"), "Objectifs", "Items retenus"};
    }

    void expectThrowsMessage(const std::string& message) {
        try {
            form->ChargerClick();
            ADD_FAILURE() << "no error for: " << message;
        } catch (const ZebError& error) {
            EXPECT_EQ(std::string(error.what()), message);
        }
    }

    TempFolder folder;
    CurrentFolderRestorer previousFolder;
    std::unique_ptr<ProgramState> state = std::make_unique<ProgramState>();
    AppWindows windows;
    std::unique_ptr<TForm4> form;
};

} // namespace

// ---- The window ------------------------------------------------------------------------

// The grids wait for the window's first showing. They then hold the tables as they were when
// the window was created, whatever a class load has put in the state since, and sit below the
// other controls and take the focus first, as if built with the window.
TEST_F(ObjectivesWindowTest, GridsBuiltWhenFirstShownHoldTheTablesOfTheStart) {
    TForm4 reference(windows);
    const std::vector<QStringList> french = rowsOf(reference.FGrille, reference.FGrille->rowCount());
    const std::vector<QStringList> maths = rowsOf(reference.MGrille, reference.MGrille->rowCount());
    EXPECT_FALSE(form->FGrille.built());
    state->FrenchTable.ObjectiveTexts[1] = "chargé depuis une classe";
    state->MathsTable.ObjectiveTexts[1] = "chargé depuis une classe";

    form->show();
    ASSERT_TRUE(form->FGrille.built());
    EXPECT_EQ(rowsOf(form->FGrille, form->FGrille->rowCount()), french);
    EXPECT_EQ(rowsOf(form->MGrille, form->MGrille->rowCount()), maths);
    EXPECT_TRUE(form->FGrille->isVisible());
    EXPECT_TRUE(form->MGrille->isVisible());
    const QObjectList& stack = form->children();
    EXPECT_LT(stack.indexOf(form->FGrille), stack.indexOf(form->MGrille));
    EXPECT_LT(stack.indexOf(form->MGrille), stack.indexOf(form->Label1));
    form->activateWindow();
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), form->FGrille.get());
}

TEST_F(ObjectivesWindowTest, OnlyTheGridsAndRetourAreShown) {
    for (QWidget* hidden :
         std::vector<QWidget*>{form->DateEdit, form->VersionEdit, form->Label1, form->Label2,
                               form->Enregistrer, form->Charger, form->ListBox1})
        EXPECT_TRUE(hidden->isHidden()) << hidden->metaObject()->className();
    EXPECT_EQ(form->Label1->text(), QStringLiteral("Indiquer la date"));
    EXPECT_EQ(form->Label2->text(), QStringLiteral("et la version"));
    EXPECT_EQ(form->Enregistrer->text(), QStringLiteral("&Enregistrer"));
    EXPECT_EQ(form->Charger->text(), QStringLiteral("&Charger"));

    form->show();
    const QRect client = form->rect();
    const QRect french = form->FGrille->geometry();
    const QRect maths = form->MGrille->geometry();
    const QRect back = form->Retour->geometry();
    EXPECT_TRUE(form->FGrille->isVisible() && form->MGrille->isVisible() && form->Retour->isVisible());
    EXPECT_EQ(french.size(), QSize(790, 161));
    EXPECT_EQ(maths.size(), QSize(790, 161));
    EXPECT_LT(french.top(), 20);
    EXPECT_LT(french.bottom(), maths.top());
    EXPECT_LT(maths.bottom(), back.top());
    for (const QRect& part : {french, maths, back})
        EXPECT_TRUE(client.contains(part)) << part.x() << "," << part.y();
    EXPECT_GT(back.left(), client.width() / 2);
    EXPECT_EQ(form->Retour->text(), QStringLiteral("&Retour"));
    EXPECT_FALSE(form->Retour->icon().isNull());
}

TEST_F(ObjectivesWindowTest, GridsAreReadOnlyWithTheirOwnHeadingRow) {
    const std::vector<std::pair<QTableWidget*, std::vector<int>>> grids{{form->FGrille, {80, 471, 234}},
                                                                        {form->MGrille, {80, 473, 231}}};
    for (const auto& [grid, widths] : grids) {
        ASSERT_EQ(grid->columnCount(), 3);
        for (int column = 0; column < 3; ++column)
            EXPECT_EQ(grid->columnWidth(column), widths[static_cast<std::size_t>(column)]);
        for (int row = 0; row < grid->rowCount(); ++row)
            EXPECT_EQ(grid->rowHeight(row), 18) << row;
        EXPECT_TRUE(grid->horizontalHeader()->isHidden());
        EXPECT_TRUE(grid->verticalHeader()->isHidden());
        EXPECT_EQ(grid->font().pixelSize(), 11);
        EXPECT_TRUE(grid->showGrid());
        EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
        EXPECT_EQ(grid->selectionMode(), QAbstractItemView::ContiguousSelection);
        for (int row = 0; row < grid->rowCount(); ++row)
            for (int column = 0; column < 3; ++column)
                if (const QTableWidgetItem* cell = grid->item(row, column)) {
                    EXPECT_FALSE(cell->flags().testFlag(Qt::ItemIsEditable)) << row << "," << column;
                }
    }
}

// The heading row and the label column stay out of every selection, also in rows a load
// adds.
TEST_F(ObjectivesWindowTest, HeadingCellsAreNeverSelected) {
    form->EnregistrerClick();
    form->ChargerClick();
    for (QTableWidget* grid : std::initializer_list<QTableWidget*>{form->FGrille, form->MGrille}) {
        grid->selectAll();
        const QModelIndexList selected = grid->selectionModel()->selectedIndexes();
        EXPECT_EQ(selected.size(), (grid->rowCount() - 1) * 2);
        for (const QModelIndex& index : selected)
            EXPECT_TRUE(index.row() > 0 && index.column() > 0) << index.row() << "," << index.column();
    }
}

TEST_F(ObjectivesWindowTest, ColumnsAreWidenedFromTheHeadingRowOnly) {
    form->show();
    QWidget* viewport = form->FGrille->viewport();
    auto drag = [viewport](int y, int fromX, int toX) {
        const auto send = [viewport](QEvent::Type type, QPointF at, Qt::MouseButton button,
                                     Qt::MouseButtons buttons) {
            QMouseEvent event(type, at, viewport->mapToGlobal(at), button, buttons, Qt::NoModifier);
            QCoreApplication::sendEvent(viewport, &event);
        };
        send(QEvent::MouseButtonPress, QPointF(fromX, y), Qt::LeftButton, Qt::LeftButton);
        send(QEvent::MouseMove, QPointF(toX, y), Qt::NoButton, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, QPointF(toX, y), Qt::LeftButton, Qt::NoButton);
    };
    drag(5, 80, 120); // the grip between the labels and the objectives, in the heading row
    EXPECT_EQ(form->FGrille->columnWidth(0), 120);
    EXPECT_EQ(form->FGrille->columnWidth(1), 471);
    drag(5 + 18 * 3, 120, 60); // the same line further down only selects
    EXPECT_EQ(form->FGrille->columnWidth(0), 120);
    drag(5, 120, -50); // never to nothing
    EXPECT_GT(form->FGrille->columnWidth(0), 0);
    EXPECT_EQ(form->MGrille->columnWidth(0), 80);
}

// ---- The tables as created --------------------------------------------------------------

TEST_F(ObjectivesWindowTest, FrenchGridLaysOutDomainsAndObjectives) {
    const QTableWidget* grid = form->FGrille;
    ASSERT_EQ(grid->rowCount(), 22);
    EXPECT_EQ(rowsOf(grid, 1)[0], (QStringList{QString::fromUtf8("Français"), QStringLiteral("Objectifs"),
                                               QStringLiteral("Items retenus")}));
    for (int row = 1; row <= 20; ++row)
        EXPECT_EQ(text(grid, row, 0), QStringLiteral("Objectif %1").arg(row));
    const std::vector<std::pair<int, const char*>> headings{{1, "COMPREHENSION"},
                                                            {7, "RECONNAISSANCE DES MOTS"},
                                                            {10, "PRODUCTION DE TEXTE"},
                                                            {12, "ECRITURE ET ORTHOGRAPHE"}};
    for (const auto& [row, title] : headings) {
        EXPECT_EQ(text(grid, row, 1), QString::fromUtf8(title));
        EXPECT_TRUE(text(grid, row, 2).isEmpty()) << row;
    }
    // The other rows hold the sixteen objectives in order.
    int objective = 0;
    for (int row = 1; row <= 20; ++row) {
        if (row == 1 || row == 7 || row == 10 || row == 12)
            continue;
        ++objective;
        EXPECT_EQ(text(grid, row, 1), toQString(state->FrenchTable.ObjectiveTexts[objective])) << row;
        EXPECT_EQ(text(grid, row, 2), toQString(state->FrenchTable.ItemLists[objective])) << row;
    }
    EXPECT_EQ(objective, FrenchObjectiveCount);
    EXPECT_EQ(text(grid, 2, 2), QStringLiteral("1,2,3,39,41,42,43,44,63,64,65,66,67,68"));
    EXPECT_EQ(rowsOf(grid, 22)[21], (QStringList{QString(), QString(), QString()}));
}

TEST_F(ObjectivesWindowTest, MathematicsGridLaysOutDomainsAndObjectives) {
    const QTableWidget* grid = form->MGrille;
    ASSERT_EQ(grid->rowCount(), 26);
    EXPECT_EQ(text(grid, 0, 0), QString::fromUtf8("Mathématiques"));
    const std::vector<std::pair<int, const char*>> headings{{1, "CONNAISSANCE DES NOMBRES ENTIERS NATURELS"},
                                                            {5, "EXPLOITATION DE DONNEES NUMERIQUES"},
                                                            {10, "CALCUL"},
                                                            {16, "ESPACE ET GEOMETRIE"},
                                                            {20, "GRANDEURS ET MESURES"}};
    for (const auto& [row, title] : headings)
        EXPECT_EQ(text(grid, row, 1), QString::fromUtf8(title));
    EXPECT_EQ(text(grid, 24, 0), QStringLiteral("Objectif 24"));
    EXPECT_EQ(text(grid, 24, 1), QString::fromUtf8("Se repérer dans le temps"));
    EXPECT_EQ(text(grid, 21, 1), toQString(state->MathsTable.ObjectiveTexts[16]));
    EXPECT_EQ(rowsOf(grid, 26)[25], (QStringList{QString(), QString(), QString()}));
    EXPECT_EQ(form->DateEdit->text(), QStringLiteral("Septembre 2006"));
    EXPECT_EQ(form->VersionEdit->text(), QStringLiteral("EVALUATION CE2"));
}

// ---- Saving ZEB.CFG ----------------------------------------------------------------------

TEST_F(ObjectivesWindowTest, SaveWritesEveryFilledRowInWindows1252) {
    form->EnregistrerClick();
    const std::string contents = configFile();
    const std::vector<std::string> lines = crlfLines(contents);
    ASSERT_EQ(lines.size(), 140u);
    EXPECT_EQ(contents.substr(contents.size() - 2), "\r\n");
    EXPECT_EQ(std::count(contents.begin(), contents.end(), '\n'), 140);
    EXPECT_EQ(std::count(contents.begin(), contents.end(), '\r'), 140);

    const std::vector<std::string> start(lines.begin(), lines.begin() + 11);
    EXPECT_EQ(start, (std::vector<std::string>{"Septembre 2006", "EVALUATION CE2",
                                               "Fran\xE7"
                                               "ais",
                                               "Objectifs", "Items retenus", "Objectif 1", "COMPREHENSION",
                                               "", "Objectif 2", state->FrenchTable.ObjectiveTexts[1].str(),
                                               state->FrenchTable.ItemLists[1].str()}));
    EXPECT_EQ(lines[62], "Objectif 20");
    EXPECT_EQ(lines[65], "Math\xE9"
                         "matiques");
    EXPECT_EQ(lines[139], "26,29,84,85,86,87,88");
    EXPECT_EQ(lines[138], "Se rep\xE9rer dans le temps");
    EXPECT_EQ(form->ListBox1->count(), 140);
}

TEST_F(ObjectivesWindowTest, SaveReplacesTheWholeFileAndRepeatsItself) {
    writeFile(folder / "ZEB.CFG", std::string(20000, '~'));
    form->EnregistrerClick();
    const std::string first = configFile();
    EXPECT_EQ(first.find('~'), std::string::npos);
    form->EnregistrerClick();
    EXPECT_EQ(configFile(), first);
    // Nothing but the file is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

// ---- Loading ZEB.CFG ---------------------------------------------------------------------

TEST_F(ObjectivesWindowTest, LoadingTheSavedFileKeepsTheTextsAndAddsEmptyRows) {
    const std::vector<QStringList> french = rowsOf(form->FGrille, 21);
    const std::vector<QStringList> maths = rowsOf(form->MGrille, 25);
    form->EnregistrerClick();
    form->ChargerClick();

    ASSERT_EQ(form->FGrille->rowCount(), 41);
    ASSERT_EQ(form->MGrille->rowCount(), 49);
    const std::vector<QStringList> frenchAfter = rowsOf(form->FGrille, 41);
    const std::vector<QStringList> mathsAfter = rowsOf(form->MGrille, 49);
    EXPECT_EQ(std::vector<QStringList>(frenchAfter.begin(), frenchAfter.begin() + 21), french);
    EXPECT_EQ(std::vector<QStringList>(mathsAfter.begin(), mathsAfter.begin() + 25), maths);
    for (int row = 21; row < 41; ++row)
        EXPECT_TRUE(text(form->FGrille, row, 1).isEmpty() && text(form->FGrille, row, 2).isEmpty()) << row;
    for (int row = 25; row < 49; ++row)
        EXPECT_TRUE(text(form->MGrille, row, 1).isEmpty()) << row;
    EXPECT_EQ(form->ListBox1->count(), 140);
    EXPECT_EQ(form->ListBox1->item(2)->text(), QString::fromUtf8("Français"));

    // Saved again, the empty rows go into the file, which still loads.
    form->EnregistrerClick();
    const std::vector<std::string> lines = crlfLines(configFile());
    ASSERT_EQ(lines.size(), 2u + 40 * 3 + 48 * 3);
    EXPECT_EQ(lines[2 + 21 * 3], "");
    EXPECT_EQ(lines[2 + 40 * 3], "Math\xE9"
                                 "matiques");
    form->ChargerClick();
    EXPECT_EQ(form->FGrille->rowCount(), 41 + 40 - 2);
    EXPECT_EQ(form->MGrille->rowCount(), 49 + 48 - 2);
}

TEST_F(ObjectivesWindowTest, LoadShowsTheFileButNeverChangesTheReferenceTables) {
    const auto frenchBefore = state->FrenchTable;
    const auto mathsBefore = state->MathsTable;
    std::vector<std::string> lines = smallFile();
    lines[7] = cp("Lire à voix haute");
    writeConfig(lines);
    form->ChargerClick();

    EXPECT_EQ(form->DateEdit->text(), QStringLiteral("Juin 2007"));
    EXPECT_EQ(form->VersionEdit->text(), QStringLiteral("VERSION 2"));
    EXPECT_EQ(text(form->FGrille, 1, 2), QString::fromUtf8("Lire à voix haute"));
    EXPECT_EQ(form->FGrille->rowCount(), 22 + 2 - 2);
    EXPECT_EQ(form->MGrille->rowCount(), 26 + 1 - 2);
    // Rows past the loaded ones keep what they held.
    EXPECT_EQ(text(form->FGrille, 2, 0), QStringLiteral("Objectif 2"));

    EXPECT_EQ(state->FrenchTable.ObjectiveTexts, frenchBefore.ObjectiveTexts);
    EXPECT_EQ(state->FrenchTable.ItemLists, frenchBefore.ItemLists);
    EXPECT_EQ(state->FrenchTable.Domains, frenchBefore.Domains);
    EXPECT_EQ(state->MathsTable.ObjectiveTexts, mathsBefore.ObjectiveTexts);
    EXPECT_EQ(state->MathsTable.ItemLists, mathsBefore.ItemLists);
}

// Only the first line of a row can end the French part, and only when it is exactly the
// Mathematics heading.
TEST_F(ObjectivesWindowTest, MathematicsStartsOnlyAtARowStart) {
    writeConfig({"d", "v", cp("Français"), cp("Mathématiques"), cp("Mathématiques"), cp("Mathématiques "),
                 "a", "b", cp("Mathématiques"), "x", "y"});
    form->ChargerClick();
    EXPECT_EQ(form->FGrille->rowCount(), 22 + 2 - 2);
    EXPECT_EQ(text(form->FGrille, 1, 0), QString::fromUtf8("Mathématiques "));
    EXPECT_EQ(form->MGrille->rowCount(), 26 + 1 - 2);
    EXPECT_EQ(text(form->MGrille, 0, 2), QStringLiteral("y"));
}

TEST_F(ObjectivesWindowTest, LoadOfAMissingOrUnreadableFileChangesNothing) {
    form->EnregistrerClick(); // something in ListBox1, to see that it stays
    fs::remove(folder / "ZEB.CFG");
    const auto french = rowsOf(form->FGrille, 22);
    expectThrowsMessage("Impossible d'ouvrir le fichier « ZEB.CFG » : fichier ou dossier introuvable.");
    fs::create_directory(folder / "ZEB.CFG");
    EXPECT_THROW(form->ChargerClick(), ZebError);

    EXPECT_EQ(form->FGrille->rowCount(), 22);
    EXPECT_EQ(form->MGrille->rowCount(), 26);
    EXPECT_EQ(rowsOf(form->FGrille, 22), french);
    EXPECT_EQ(form->DateEdit->text(), QStringLiteral("Septembre 2006"));
    EXPECT_EQ(form->ListBox1->count(), 140);
}

TEST_F(ObjectivesWindowTest, ShortFilesStopAtTheFirstMissingLine) {
    writeFile(folder / "ZEB.CFG", "");
    expectThrowsMessage("Le fichier ZEB.CFG est incomplet : la ligne 1 manque.");
    EXPECT_EQ(form->DateEdit->text(), QStringLiteral("Septembre 2006"));

    writeConfig({"Juin 2007", "V"});
    expectThrowsMessage("Le fichier ZEB.CFG est incomplet : la ligne 3 manque.");
    EXPECT_EQ(form->DateEdit->text(), QStringLiteral("Juin 2007"));
    EXPECT_EQ(form->FGrille->rowCount(), 22);
}

TEST_F(ObjectivesWindowTest, FileWithoutMathematicsKeepsTheRowsReadAndSkipsTheCorrection) {
    std::vector<std::string> lines = smallFile();
    lines.resize(8);
    writeConfig(lines);
    expectThrowsMessage("Le fichier ZEB.CFG est incomplet : la ligne 9 manque.");
    EXPECT_EQ(form->FGrille->rowCount(), 22 + 2);
    EXPECT_EQ(text(form->FGrille, 1, 1), QStringLiteral("LECTURE"));
    EXPECT_EQ(text(form->FGrille, 1, 2), QString());
    EXPECT_EQ(form->MGrille->rowCount(), 26);
    EXPECT_EQ(text(form->MGrille, 1, 1), toQString(state->MathsTable.Domains[1].Title));
}

TEST_F(ObjectivesWindowTest, MathematicsPartCutInsideARow) {
    std::vector<std::string> lines = smallFile();
    lines.push_back("Objectif X");
    lines.push_back("CALCUL MENTAL");
    writeConfig(lines); // 13 lines: the second Mathematics row lacks its last line
    expectThrowsMessage("Le fichier ZEB.CFG est incomplet : la ligne 14 manque.");
    EXPECT_EQ(form->FGrille->rowCount(), 22 + 2 - 2);
    EXPECT_EQ(form->MGrille->rowCount(), 26 + 1);
    EXPECT_EQ(text(form->MGrille, 1, 0), QStringLiteral("Objectif X"));
    EXPECT_EQ(text(form->MGrille, 1, 1), QStringLiteral("CALCUL MENTAL"));
}

// ---- With the other windows --------------------------------------------------------------

class ObjectivesWithMainWindowTest : public ProgramTest {};

TEST_F(ObjectivesWithMainWindowTest, RetourGoesBackToTheMainWindow) {
    TForm4* objectives = &form4();
    QWidget* main = windows().Form1;
    EXPECT_TRUE(objectives->isHidden());
    objectives->show();
    main->hide();
    objectives->Retour->click();
    EXPECT_TRUE(objectives->isHidden());
    EXPECT_TRUE(main->isVisible());
}

// The window manager's close (close box, Alt+F4) is Retour: otherwise nothing would be left on
// screen. The application's own quit still closes it for good.
TEST_F(ObjectivesWithMainWindowTest, TheWindowManagersCloseIsRetour) {
    TForm4* objectives = &form4();
    QWidget* main = windows().Form1;
    form1().BitBtn2Click();
    ASSERT_TRUE(objectives->isVisible());
    ASSERT_FALSE(main->isVisible());
    CloseFromWindowManager(objectives);
    EXPECT_TRUE(objectives->isHidden());
    EXPECT_TRUE(main->isVisible());

    form1().BitBtn2Click();
    objectives->close();
    EXPECT_TRUE(objectives->isHidden());
    EXPECT_FALSE(main->isVisible());
}

// Row 0 stays where it is while the rows, or a cell chosen from the keyboard, scroll by.
TEST_F(ObjectivesWindowTest, TheHeadingRowStaysInPlaceWhileTheRowsScroll) {
    form->show();
    for (QTableWidget* grid : std::initializer_list<QTableWidget*>{form->FGrille, form->MGrille}) {
        auto strip = [grid](int top) {
            return grid
                ->grab(QRect(grid->viewport()->pos() + QPoint(0, top), QSize(grid->viewport()->width(), 18)))
                .toImage();
        };
        const QImage heading = strip(0);
        const QImage firstRows = strip(18);
        QScrollBar* rows = grid->verticalScrollBar();
        ASSERT_GT(rows->maximum(), 2);
        rows->setValue(rows->maximum());
        EXPECT_EQ(strip(0), heading);
        EXPECT_NE(strip(18), firstRows); // the rows did scroll

        rows->setValue(rows->maximum());
        grid->setCurrentCell(5, 1);
        EXPECT_GE(grid->rowViewportPosition(5), grid->rowHeight(0)); // not hidden under the heading
        EXPECT_LT(grid->rowViewportPosition(5), grid->viewport()->height());
    }
}
