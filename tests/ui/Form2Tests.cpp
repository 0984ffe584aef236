#include "core/ObjectiveTables.h"
#include "core/ProgramState.h"
#include "print/SheetPrinter.h"
#include "ui/ProgramWindows.h"
#include "ui/Zeb2.h"
#include "ui/Zebproj.h"

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSet>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace zeb;

namespace {

// Stands in for the preview window: records what the selection window asks of it.
class FakePreview final : public PreviewWindow {
public:
    FakePreview(const ProgramState& state, const QWidget& selection) : state_(state), selection_(selection) {}

    void SetPupilName(const QString& name) override {
        names.push_back(name);
        selectionVisibleAtName = selection_.isVisible();
    }
    void ShowPreview() override { ++shows; }
    void ShowSynthesis() override { syntheses.push_back(state_.CurrentSubject); }
    void ImprimeClick() override {
        printedRows.push_back(state_.Class.PupilSelection.Top);
        const QCursor* cursor = QApplication::overrideCursor();
        waitCursorAtPrint.push_back(cursor != nullptr && cursor->shape() == Qt::WaitCursor);
        if (static_cast<int>(printedRows.size()) == failOnPrint)
            throw std::runtime_error("imprimante hors ligne");
        if (noPrinter)
            throw NoPrinterError("Aucune imprimante", "Installez-en une.");
    }
    void OfferPdfInstead(const std::string& reason, std::int32_t first, std::int32_t last) override {
        offers.push_back({reason, first, last});
    }

    std::vector<QString> names;
    bool selectionVisibleAtName = true;
    int shows = 0;
    std::vector<Subject> syntheses; // the subject of each synthesis asked for
    std::vector<int> printedRows;   // the selection's Top at each print
    std::vector<bool> waitCursorAtPrint;
    int failOnPrint = 0; // 1-based; 0: every print succeeds
    bool noPrinter = false;
    struct Offer {
        std::string reason;
        std::int32_t first, last;
    };
    std::vector<Offer> offers;

private:
    const ProgramState& state_;
    const QWidget& selection_;
};

std::string padded(std::string text, std::size_t width) {
    text.resize(width, ' ');
    return text;
}

// The load's own work, done by hand: the class in its slots, the first pupil selected.
void putClass(ProgramState& state, int pupils) {
    state.Class = LoadedClass{};
    for (int slot = 1; slot <= pupils; ++slot) {
        PupilRecord& pupil = state.Class.ClassResults[slot];
        // The file's own number is zero-padded; the grid numbers the slots itself.
        pupil.Number = padded(std::to_string(slot), 2);
        pupil.Surname = padded("NOM" + std::to_string(slot), 25);
        pupil.FirstName = padded("Pr\xE9nom" + std::to_string(slot), 15); // "Prénom" in Windows-1252
        pupil.FrenchCodes = "F" + std::to_string(slot) + "19";
        pupil.MathsCodes = "M" + std::to_string(slot) + "90";
    }
    state.Class.PupilCount = pupils;
    state.Class.PupilSelection = GridRect{1, 1, 2, 1};
}

void press(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(target, &event);
}

QList<int> selectedRows(const QTableWidget* grid) {
    QList<int> rows;
    for (const QModelIndex& index : grid->selectionModel()->selectedRows())
        rows.append(index.row());
    return rows;
}

class Form2Test : public ::testing::Test {
protected:
    Form2Test() {
        BuildObjectiveTables(*state);
        windows.State = state.get();
    }
    // The preview window arrives after the selection window, as in the program.
    void withPreview() { windows.Form3 = preview.get(); }
    void load(int pupils) {
        putClass(*state, pupils);
        form->FillPupilGrid();
    }
    QString cell(int qtRow, int column) const { return form->StringGrid1->item(qtRow, column)->text(); }

    std::unique_ptr<ProgramState> state = std::make_unique<ProgramState>();
    AppWindows windows;
    std::unique_ptr<TForm2> form = std::make_unique<TForm2>(windows);
    std::unique_ptr<FakePreview> preview = std::make_unique<FakePreview>(*state, *form);
};

// ---- The window as it opens -------------------------------------------------------------

TEST_F(Form2Test, LayoutCaptionSizeAndDefaults) {
    form->show();
    EXPECT_EQ(form->windowTitle(), QStringLiteral(" EVALUATION CE2 - Traitement des résultats"));
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_FALSE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_EQ(form->minimumSize(), QSize(597, 448));
    EXPECT_EQ(form->maximumSize(), QSize(597, 448));
    EXPECT_LE((form->geometry().center() - form->screen()->availableGeometry().center()).manhattanLength(),
              1);
    EXPECT_EQ(form->Panel1->geometry(), QRect(0, 0, 597, 105));
    EXPECT_TRUE(form->Panel1->isAncestorOf(form->GroupBox2));
    EXPECT_EQ(form->Label1->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    EXPECT_EQ(form->focusWidget(), form->StringGrid1); // arrows choose the pupil at once

    EXPECT_TRUE(form->RadioFrancais->isChecked());
    EXPECT_TRUE(form->RadioCodage->isChecked());
    // The two groups are exclusive each on its own: a subject must not uncheck the treatment.
    form->RadioMathematiques->click();
    EXPECT_FALSE(form->RadioFrancais->isChecked());
    EXPECT_TRUE(form->RadioCodage->isChecked());
}

// The grid waits for the window's first showing, and is then where it would be had it been
// built with the window: inside its frame, above it and below the buttons, and after the
// treatments for Tab.
TEST_F(Form2Test, GridBuiltWhenFirstShownSitsAsBuiltWithTheWindow) {
    EXPECT_FALSE(form->StringGrid1.built());
    form->show();
    ASSERT_TRUE(form->StringGrid1.built());
    QTableWidget* grid = form->StringGrid1;
    EXPECT_TRUE(grid->isVisible());
    EXPECT_EQ(form->Shape1->geometry(), grid->geometry().adjusted(-8, -8, 8, 8));
    const QObjectList& stack = form->children();
    EXPECT_LT(stack.indexOf(form->Shape2), stack.indexOf(grid));
    EXPECT_LT(stack.indexOf(grid), stack.indexOf(form->Apercu));
    QWidget* next = form->RadioPourcentage->nextInFocusChain();
    while (next->focusPolicy() == Qt::NoFocus)
        next = next->nextInFocusChain();
    EXPECT_EQ(next, grid);
}

TEST_F(Form2Test, LayoutTooltipsAndDistinctAccelerators) {
    EXPECT_EQ(form->GroupBox1->toolTip(), QStringLiteral("Cliquer sur la matière"));
    EXPECT_EQ(form->GroupBox2->toolTip(), QStringLiteral("Cliquer sur le traitement"));
    EXPECT_EQ(form->StringGrid1->toolTip(), QStringLiteral("Cliquer sur l'élève désiré"));
    EXPECT_EQ(form->ToutImprimer->toolTip(),
              QStringLiteral("Imprime tous les résultats à partir de l'élève sélectionné(e)"));
    const std::vector<std::pair<QAbstractButton*, Qt::Key>> keys = {
        {form->RadioFrancais, Qt::Key_F}, {form->RadioMathematiques, Qt::Key_M},
        {form->RadioCodage, Qt::Key_C},   {form->RadioPourcentage, Qt::Key_P},
        {form->Apercu, Qt::Key_A},        {form->ToutImprimer, Qt::Key_T},
        {form->Retour, Qt::Key_R}};
    QSet<QKeySequence> seen;
    for (const auto& [button, key] : keys) {
        const QKeySequence mnemonic = QKeySequence::mnemonic(button->text());
        EXPECT_EQ(mnemonic, QKeySequence(QKeyCombination(Qt::AltModifier, key)))
            << button->text().toStdString();
        seen.insert(mnemonic);
    }
    EXPECT_EQ(seen.size(), keys.size());
}

TEST_F(Form2Test, LayoutGridColumnsAndCodesOutOfView) {
    QTableWidget* grid = form->StringGrid1;
    EXPECT_EQ(grid->rowCount(), MaxPupils); // the design's 30 pupil rows under the heading
    const int widths[] = {32, 108, 86, 113, 97};
    const QStringList headings = {QStringLiteral("N°"), QStringLiteral("Nom"), QStringLiteral("Prénom"),
                                  QString(), QString()};
    ASSERT_EQ(grid->columnCount(), 5);
    for (int column = 0; column < 5; ++column) {
        EXPECT_EQ(grid->columnWidth(column), widths[column]) << column;
        EXPECT_EQ(grid->horizontalHeaderItem(column)->text(), headings[column]) << column;
    }
    EXPECT_EQ(grid->rowHeight(0), 18);
    EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);

    // Names wholly shown, codes never, even when the keyboard moves the cell onto them.
    load(3);
    form->show();
    EXPECT_GE(grid->viewport()->width(), grid->columnViewportPosition(2) + grid->columnWidth(2));
    grid->setCurrentCell(1, 4);
    press(grid, Qt::Key_Right);
    press(grid, Qt::Key_End);
    EXPECT_EQ(grid->horizontalScrollBar()->value(), 0);
    EXPECT_LE(grid->viewport()->width(), grid->columnViewportPosition(3));
}

// ---- Subject and treatment ----------------------------------------------------------------

TEST_F(Form2Test, ChoicesWriteTheStateAndSurviveHideShow) {
    form->show();
    form->RadioMathematiques->click();
    form->RadioPourcentage->setChecked(true); // as the arrow keys inside a group do
    form->hide();
    form->show();
    EXPECT_EQ(state->CurrentSubject, Subject::Mathematics);
    EXPECT_EQ(state->CurrentTreatment, TreatmentMode::Pourcentage);
    EXPECT_TRUE(form->RadioMathematiques->isChecked());

    form->RadioFrancaisClick();
    form->RadioCodageClick();
    EXPECT_EQ(state->CurrentSubject, Subject::French);
    EXPECT_EQ(state->CurrentTreatment, TreatmentMode::Codage);
}

// ---- The pupil grid -------------------------------------------------------------------------

TEST_F(Form2Test, GridFillShowsEachSlotAsTheClassHoldsIt) {
    load(11);
    ASSERT_EQ(form->StringGrid1->rowCount(), 11); // program rows 0..11
    EXPECT_EQ(cell(8, 0), QStringLiteral("9"));   // the slot, not the file's "09"
    EXPECT_EQ(cell(10, 0), QStringLiteral("11"));
    // The surname keeps its padding to 25 characters; accents arrive from Windows-1252.
    EXPECT_EQ(cell(1, 1), QStringLiteral("NOM2") + QString(21, QLatin1Char(' ')));
    EXPECT_EQ(cell(1, 2), QStringLiteral("Prénom2") + QString(8, QLatin1Char(' ')));
    EXPECT_EQ(cell(1, 3), QStringLiteral("F219"));
    EXPECT_EQ(cell(1, 4), QStringLiteral("M290"));
    EXPECT_EQ(selectedRows(form->StringGrid1), QList<int>{0});
    EXPECT_EQ(state->Class.PupilSelection, (GridRect{1, 1, 2, 1}));
}

TEST_F(Form2Test, GridSmallerClassOverALargerOneSelectsItsFirstPupil) {
    load(28);
    form->show();
    form->StringGrid1->setCurrentCell(27, 1); // the teacher was on the last pupil, whose row goes
    load(25);
    EXPECT_EQ(form->StringGrid1->rowCount(), 25);
    EXPECT_EQ(cell(24, 0), QStringLiteral("25"));
    EXPECT_EQ(state->Class.PupilSelection, (GridRect{1, 1, 2, 1}));
    EXPECT_EQ(selectedRows(form->StringGrid1), QList<int>{0});
    EXPECT_EQ(form->StringGrid1->verticalScrollBar()->value(), 0);
}

TEST_F(Form2Test, GridCellMovesChangeTheSelectedPupilOnly) {
    load(8);
    form->show();
    QTableWidget* grid = form->StringGrid1;
    grid->setCurrentCell(4, 2);
    EXPECT_EQ(state->Class.PupilSelection, (GridRect{1, 5, 2, 5}));
    press(grid, Qt::Key_Down);
    EXPECT_EQ(state->Class.PupilSelection, (GridRect{1, 6, 2, 6}));
    grid->setCurrentCell(0, 1);
    press(grid, Qt::Key_Up); // the heading is not a row to land on
    EXPECT_EQ(state->Class.PupilSelection, (GridRect{1, 1, 2, 1}));
}

TEST_F(Form2Test, GridShowsWholeNamesWithoutTheirPadding) {
    load(2);
    state->Class.ClassResults[2].Surname = "COLLINEAU-VAN DER BERGHE";
    form->FillPupilGrid();
    QTableWidget* grid = form->StringGrid1;
    const auto* delegate = qobject_cast<QStyledItemDelegate*>(grid->itemDelegate());
    ASSERT_NE(delegate, nullptr);
    const auto shown = [&](int row, int column) {
        return delegate->displayText(grid->item(row, column)->data(Qt::DisplayRole), QLocale());
    };
    EXPECT_EQ(shown(0, 1), QStringLiteral("NOM1"));
    EXPECT_EQ(shown(0, 2), QStringLiteral("Prénom1"));
    EXPECT_EQ(shown(1, 1), QStringLiteral("COLLINEAU-VAN DER BERGHE"));
    EXPECT_EQ(grid->textElideMode(), Qt::ElideNone); // cut by the cell, never shortened with "…"
}

TEST_F(Form2Test, TabLeavesTheGridWithoutMovingThePupil) {
    withPreview();
    load(8);
    form->show();
    QTableWidget* grid = form->StringGrid1;
    grid->setCurrentCell(2, 1);
    grid->setFocus();
    // Each Tab goes one control further, and Shift+Tab comes back; the pupil never moves.
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QWidget* focus;
    } steps[] = {
        {Qt::Key_Tab, Qt::NoModifier, form->Apercu},
        {Qt::Key_Tab, Qt::NoModifier, form->ToutImprimer},
        {Qt::Key_Backtab, Qt::ShiftModifier, form->Apercu},
        {Qt::Key_Backtab, Qt::ShiftModifier, grid},
    };
    for (const auto& step : steps) {
        press(form->focusWidget(), step.key, step.modifiers);
        EXPECT_EQ(form->focusWidget(), step.focus);
        EXPECT_EQ(state->Class.PupilSelection, (GridRect{1, 3, 2, 3}));
    }
    press(grid, Qt::Key_Down);
    EXPECT_EQ(state->Class.PupilSelection.Top, 4);
}

// ---- Preview and printing -------------------------------------------------------------------

TEST_F(Form2Test, ButtonsDisabledAndInertWithoutAPreviewWindow) {
    load(3);
    form->show();
    EXPECT_FALSE(form->Apercu->isEnabled());
    EXPECT_FALSE(form->ToutImprimer->isEnabled());
    form->ApercuClick();
    form->ToutImprimerClick();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    form->hide();
    withPreview(); // created after this window, as the program does
    form->show();
    EXPECT_TRUE(form->Apercu->isEnabled());
    EXPECT_TRUE(form->ToutImprimer->isEnabled());
}

TEST_F(Form2Test, ApercuHandsTheJoinedCellsAsTheyStandAfterHiding) {
    withPreview();
    load(5);
    form->show();
    form->StringGrid1->setCurrentCell(2, 1);
    form->Apercu->click();
    EXPECT_FALSE(preview->selectionVisibleAtName);
    ASSERT_EQ(preview->names.size(), 1u);
    EXPECT_EQ(preview->names[0], QStringLiteral("NOM3") + QString(21, QLatin1Char(' ')) +
                                     QStringLiteral("Prénom3") + QString(8, QLatin1Char(' ')));
    EXPECT_EQ(preview->shows, 1);
}

TEST_F(Form2Test, PrintFromTheLastPupilPrintsOneSheetAndStaysOnIt) {
    withPreview();
    load(6);
    form->show();
    form->StringGrid1->setCurrentCell(5, 1);
    form->ToutImprimerClick();
    EXPECT_EQ(preview->printedRows, (std::vector<int>{6}));
    EXPECT_EQ(state->Class.PupilSelection, (GridRect{1, 6, 2, 6}));
    EXPECT_EQ(form->StringGrid1->currentRow(), 5);
}

TEST_F(Form2Test, PrintFromTheFirstPupilPrintsEverySheetInOrderUnderTheHourglass) {
    withPreview();
    load(4);
    form->show();
    form->ToutImprimer->click();
    EXPECT_EQ(preview->printedRows, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(preview->waitCursorAtPrint, (std::vector<bool>{true, true, true, true}));
    EXPECT_EQ(state->Class.PupilSelection, (GridRect{1, 4, 2, 4}));
    EXPECT_EQ(selectedRows(form->StringGrid1), QList<int>{3});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Form2Test, PrintFailureLeavesItsPupilSelectedAndTheArrowBack) {
    withPreview();
    load(7);
    form->show();
    form->StringGrid1->setCurrentCell(1, 1);
    preview->failOnPrint = 3;
    EXPECT_THROW(form->ToutImprimerClick(), std::runtime_error);
    EXPECT_EQ(preview->printedRows, (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(state->Class.PupilSelection, (GridRect{1, 4, 2, 4}));
    EXPECT_EQ(form->StringGrid1->currentRow(), 3);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // A first sheet failing still brings the grid to the state's pupil, set aside from it.
    state->Class.PupilSelection = GridRect{1, 6, 2, 6};
    preview->printedRows.clear();
    preview->failOnPrint = 1;
    EXPECT_THROW(form->ToutImprimerClick(), std::runtime_error);
    EXPECT_EQ(form->StringGrid1->currentRow(), 5);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Form2Test, PrintWithNoPrinterOffersThePdfOfTheRunInstead) {
    withPreview();
    load(9);
    form->show();
    form->StringGrid1->setCurrentCell(2, 1);
    preview->noPrinter = true;
    form->ToutImprimer->click(); // no error box: the offer replaces it
    EXPECT_EQ(preview->printedRows, (std::vector<int>{3}));
    ASSERT_EQ(preview->offers.size(), 1u);
    EXPECT_EQ(preview->offers[0].reason,
              "Aucune imprimante : aucune des fiches des élèves 3 à 9 n'a été imprimée.\nInstallez-en une.");
    EXPECT_EQ(preview->offers[0].first, 3);
    EXPECT_EQ(preview->offers[0].last, 9);
    EXPECT_EQ(state->Class.PupilSelection, (GridRect{1, 3, 2, 3}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(Form2RunLoss, ToldForTheRunNotForOneSheet) {
    const struct {
        int first, failed, last;
        std::string told;
    } cases[] = {
        {1, 1, 9, "aucune fiche de la classe n'a été imprimée"},
        {3, 3, 9, "aucune des fiches des élèves 3 à 9 n'a été imprimée"},
        {9, 9, 9, "la fiche de l'élève 9 n'a pas été imprimée"},
        {3, 4, 9, "la fiche de l'élève 3 a été imprimée, celles des élèves 4 à 9 ne l'ont pas été"},
        {1, 9, 9, "les fiches des élèves 1 à 8 ont été imprimées, celle de l'élève 9 ne l'a pas été"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RunLoss(c.first, c.failed, c.last), c.told) << c.first << " " << c.failed;
}

// ---- Back to the main window, in the program's own set of windows ---------------------------

TEST(Form2Return, RetourShowsTheMainWindowAndAQuitClosesForGood) {
    ProgramWindows program;
    TForm2* form2 = program.windows().Form2;
    QWidget* form1 = program.windows().Form1;
    form2->show();
    form2->Retour->click();
    EXPECT_FALSE(form2->isVisible());
    EXPECT_TRUE(form1->isVisible());

    // The application's own quit (which closes every window, and gives up if one refuses)
    // closes it for good; only a close asked by the window manager turns into Retour.
    form1->hide();
    form2->show();
    form2->close();
    EXPECT_FALSE(form2->isVisible());
    EXPECT_FALSE(form1->isVisible());
}

} // namespace
