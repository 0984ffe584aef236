#include "ui/Zeb2.h"

#include "core/ProgramState.h"
#include "print/SheetPrinter.h"
#include "qttext/QtText.h"
#include "ui/Accessibility.h"
#include "ui/ErrorBox.h"
#include "ui/WindowKit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <algorithm>

namespace zeb {

namespace {

constexpr int PupilColumnCount = 5;
constexpr int ColumnWidths[PupilColumnCount] = {32, 108, 86, 113, 97};
constexpr int ShownColumnCount = 3; // number, surname, first name; the codes travel unseen
constexpr int PupilRowHeight = 18;

// The program numbers the grid's heading as row 0 and its pupils from 1; on screen the
// heading is the table's header, so pupil rows start at 0. Every crossing between the two
// numberings goes through these two.
constexpr int HeadingRows = 1;
int toQtRow(int programRow) {
    return programRow - HeadingRows;
}
int toProgramRow(int qtRow) {
    return qtRow + HeadingRows;
}

void setHeadings(QTableWidget* grid) {
    grid->setHorizontalHeaderLabels(
        {QStringLiteral("N°"), QStringLiteral("Nom"), QStringLiteral("Prénom"), QString(), QString()});
}

// The code columns hold every answer of the pupil: they travel with the row but must never
// come into view, whatever the keyboard's column moves ask the view to scroll to, nor be read
// out by a screen reader.
class PupilGrid final : public PartlyShownTable {
public:
    explicit PupilGrid(QWidget* parent)
        : PartlyShownTable(MaxPupils, PupilColumnCount, ShownColumnCount, parent) {}

protected:
    void updateGeometries() override {
        QTableWidget::updateGeometries();
        horizontalScrollBar()->setRange(0, 0);
    }
};

// The cells keep the names as the class file pads them (the preview joins them as they
// stand); on screen the padding goes, and a name wider than its column is cut by the cell
// rather than shortened with an ellipsis that hides its last letters.
class PupilCellDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QString displayText(const QVariant& value, const QLocale& locale) const override {
        QString text = QStyledItemDelegate::displayText(value, locale);
        qsizetype end = text.size();
        while (end > 0 && text.at(end - 1).isSpace())
            --end;
        text.truncate(end);
        return text;
    }
};

QRadioButton* makeRadio(QGroupBox* box, const QString& text, int left) {
    auto* radio = new QRadioButton(text, box);
    radio->setGeometry(left, 18, 112, 22);
    return radio;
}

QPushButton* makeButton(QWidget* parent, const QString& text, const QString& tip, int top) {
    auto* button = new QPushButton(text, parent);
    button->setToolTip(tip);
    button->setGeometry(392, top, 150, 36);
    return button;
}

} // namespace

TForm2::TForm2(AppWindows& windows, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint), windows_(windows) {
    setWindowTitle(QStringLiteral(" EVALUATION CE2 - Traitement des résultats"));
    setFixedSize(597, 448);
    setFont(PixelFont(QStringLiteral("Times New Roman"), 13));

    buildChoices();
    buildButtons();
    setTabOrder(RadioFrancais, RadioMathematiques);
    setTabOrder(RadioMathematiques, RadioCodage);
    setTabOrder(RadioCodage, RadioPourcentage);
    setTabOrder(RadioPourcentage, Apercu);
    setTabOrder(Apercu, ToutImprimer);
    setTabOrder(ToutImprimer, Retour);
    setTabOrder(Retour, Synthese);
    connectControls();

    updatePreviewButtons();

    if (const QScreen* shown = screen())
        setGeometry(
            QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), shown->availableGeometry()));
}

// The panel at the top: its heading, the subject and the treatment.
void TForm2::buildChoices() {
    Panel1 = new QFrame(this);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setGeometry(0, 0, width(), 105);

    Label1 = new QLabel(
        QStringLiteral("__________  Sélectionner la matière et le type de traitement  __________"), Panel1);
    Label1->setFont(PixelFont(QStringLiteral("Arial"), 16));
    Label1->setAlignment(Qt::AlignCenter);
    QPalette navy = Label1->palette();
    navy.setColor(QPalette::WindowText, QColor(0, 0, 128));
    Label1->setPalette(navy);
    Label1->setGeometry(2, 10, Panel1->width() - 4, 22);
    Label1->setAccessibleName(
        QStringLiteral("Sélectionner la matière et le type de traitement")); // no underscores

    GroupBox1 = new QGroupBox(Panel1);
    GroupBox1->setToolTip(QStringLiteral("Cliquer sur la matière"));
    GroupBox1->setGeometry(40, 42, 245, 50);
    GroupBox1->setAccessibleName(QStringLiteral("Matière")); // the box has no title
    RadioFrancais = makeRadio(GroupBox1, QStringLiteral("&Français"), 16);
    RadioMathematiques = makeRadio(GroupBox1, QStringLiteral("&Mathématiques"), 128);
    RadioFrancais->setChecked(true);

    GroupBox2 = new QGroupBox(Panel1);
    GroupBox2->setToolTip(QStringLiteral("Cliquer sur le traitement"));
    GroupBox2->setGeometry(312, 42, 245, 50);
    GroupBox2->setAccessibleName(QStringLiteral("Traitement"));
    RadioCodage = makeRadio(GroupBox2, QStringLiteral("&Codage"), 16);
    RadioPourcentage = makeRadio(GroupBox2, QStringLiteral("&Pourcentage"), 128);
    RadioCodage->setChecked(true);
}

// The grid's frame (the grid itself comes with the first showing), and the buttons in theirs.
void TForm2::buildButtons() {
    // Created before the grid and the buttons so that they lie behind them.
    Shape1 = new QFrame(this);
    Shape1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Shape1->setStyleSheet(QStringLiteral("QFrame { border: 2px solid gray; }"));
    Shape2 = new QFrame(this);
    Shape2->setFrameStyle(QFrame::Box | QFrame::Plain);
    Shape2->setStyleSheet(QStringLiteral("QFrame { border: 2px solid silver; }"));

    // The frame reaches down to hold the synthesis button under the three others.
    Shape2->setGeometry(370, 150, 194, 260);
    Apercu = makeButton(this, QStringLiteral("&Apercu"), QStringLiteral("Affiche à l'écran"), 166);
    ToutImprimer =
        makeButton(this, QStringLiteral("&Tout imprimer"),
                   QStringLiteral("Imprime tous les résultats à partir de l'élève sélectionné(e)"), 230);
    Retour =
        makeButton(this, QStringLiteral("&Retour"), QStringLiteral("Retour à l'interface principale"), 294);
    Synthese =
        makeButton(this, QStringLiteral("&Synthèse"),
                   QStringLiteral("Synthèse de la classe, objectif par objectif, et groupes de besoin"), 358);
}

// Connected after the defaults are checked: the start-up choices are the state's own.
void TForm2::connectControls() {
    connect(RadioFrancais, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            RadioFrancaisClick();
    });
    connect(RadioMathematiques, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            RadioMathematiquesClick();
    });
    connect(RadioCodage, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            RadioCodageClick();
    });
    connect(RadioPourcentage, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            RadioPourcentageClick();
    });
    connect(Apercu, &QPushButton::clicked, this, [this] { Guarded(this, [this] { ApercuClick(); }); });
    connect(ToutImprimer, &QPushButton::clicked, this,
            [this] { Guarded(this, [this] { printAllOrOfferPdf(); }); });
    connect(Retour, &QPushButton::clicked, this, &TForm2::RetourClick);
    connect(Synthese, &QPushButton::clicked, this, [this] { Guarded(this, [this] { SyntheseClick(); }); });
}

TForm2::~TForm2() = default;

void TForm2::buildGrid() {
    auto* grid = new PupilGrid(this);
    StringGrid1.set(grid);
    grid->setFont(PixelFont(QStringLiteral("Times New Roman"), 16));
    grid->setToolTip(QStringLiteral("Cliquer sur l'élève désiré"));
    grid->setAccessibleName(QStringLiteral("Liste des élèves"));
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Always shown, so the visible width never changes with the size of the class and
    // never uncovers the start of the code columns.
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    grid->setWordWrap(false);
    grid->setTextElideMode(Qt::ElideNone);
    grid->setItemDelegate(new PupilCellDelegate(grid));
    // Tab leaves the grid for the buttons instead of walking through the cells (the unseen
    // code columns too) and on to the next pupil; the arrows choose the pupil.
    grid->setTabKeyNavigation(false);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setMinimumSectionSize(1);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(PupilRowHeight);
    QHeaderView* header = grid->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(1);
    int shownWidth = 0;
    for (int column = 0; column < PupilColumnCount; ++column) {
        grid->setColumnWidth(column, ColumnWidths[column]);
        if (column < ShownColumnCount)
            shownWidth += ColumnWidths[column];
    }
    setHeadings(grid);
    const int scrollBarWidth =
        grid->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, grid->verticalScrollBar());
    const QRect gridRect(48, 128, 2 * grid->frameWidth() + shownWidth + scrollBarWidth, 296);
    grid->setGeometry(gridRect);
    Shape1->setGeometry(gridRect.adjusted(-8, -8, 8, 8));

    // Where it would be had it been built with the window: above its frame, below the
    // buttons, between the treatments and the buttons for Tab; and the arrow keys choose the
    // pupil as soon as the window opens.
    grid->stackUnder(Apercu);
    setTabOrder(RadioPourcentage, grid);
    setTabOrder(grid, Apercu);
    grid->setFocus();
    connect(grid, &QTableWidget::currentCellChanged, this, [this](int row, int column, int, int) {
        if (!placingSelection_ && row >= 0)
            StringGrid1SelectCell(column, toProgramRow(row));
    });
}

void TForm2::setVisible(bool visible) {
    // Before Qt shows the window, so the grid is shown with it as if built with it.
    if (visible)
        StringGrid1.get();
    QWidget::setVisible(visible);
}

void TForm2::RadioFrancaisClick() {
    windows_.State->CurrentSubject = Subject::French;
}

void TForm2::RadioMathematiquesClick() {
    windows_.State->CurrentSubject = Subject::Mathematics;
}

void TForm2::RadioCodageClick() {
    windows_.State->CurrentTreatment = TreatmentMode::Codage;
}

void TForm2::RadioPourcentageClick() {
    windows_.State->CurrentTreatment = TreatmentMode::Pourcentage;
}

void TForm2::StringGrid1SelectCell(int /*column*/, int row) {
    GridRect& selection = windows_.State->Class.PupilSelection;
    selection.Top = row;
    selection.Bottom = row;
}

void TForm2::FillPupilGrid() {
    const LoadedClass& loaded = windows_.State->Class;
    // Shrinking the grid may move its current cell off a removed row; that move is the
    // grid's, not the teacher's, and must not overwrite the load's selection.
    const QScopedValueRollback placing(placingSelection_, true);
    setHeadings(StringGrid1);
    StringGrid1->setRowCount(loaded.PupilCount);
    for (int slot = 1; slot <= loaded.PupilCount; ++slot) {
        const PupilRecord& pupil = loaded.ClassResults[slot];
        setCellText(slot, 0, QString::number(slot));
        setCellText(slot, 1, toQString(pupil.Surname));
        setCellText(slot, 2, toQString(pupil.FirstName));
        setCellText(slot, 3, toQString(pupil.FrenchCodes));
        setCellText(slot, 4, toQString(pupil.MathsCodes));
    }
    StringGrid1->scrollToTop();
    ApplySelection();
    updatePreviewButtons();
}

void TForm2::ApplySelection() {
    const GridRect& selection = windows_.State->Class.PupilSelection;
    const int row = toQtRow(selection.Top);
    // The print run steps one row past the last pupil before stepping back: the grid keeps
    // its last pupil meanwhile.
    if (row < 0 || row >= StringGrid1->rowCount())
        return;
    const QScopedValueRollback placing(placingSelection_, true);
    const int column = std::clamp(selection.Left, 0, PupilColumnCount - 1);
    StringGrid1->setCurrentCell(row, column, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TForm2::ApercuClick() {
    PreviewWindow* preview = windows_.Form3;
    if (preview == nullptr)
        return;
    hide();
    preview->SetPupilName(PupilName(windows_.State->Class.PupilSelection.Top));
    preview->ShowPreview();
}

void TForm2::SyntheseClick() {
    PreviewWindow* preview = windows_.Form3;
    if (preview == nullptr || windows_.State->Class.PupilCount < 1)
        return;
    hide();
    preview->ShowSynthesis();
}

QString TForm2::PupilName(int programRow) const {
    // The two cells as the class file holds them: the surname's padding is the only space
    // between the two names.
    return cellText(programRow, 1) + cellText(programRow, 2);
}

void TForm2::ToutImprimerClick() {
    PreviewWindow* preview = windows_.Form3;
    if (preview == nullptr)
        return;
    const WaitCursor wait;
    GridRect& selection = windows_.State->Class.PupilSelection;
    try {
        do {
            preview->ImprimeClick();
            ++selection.Top;
            ++selection.Bottom;
            ApplySelection();
        } while (selection.Top <= windows_.State->Class.PupilCount);
    } catch (...) {
        // The failed sheet's pupil stays selected, so the teacher can start again from it.
        ApplySelection();
        throw;
    }
    --selection.Top;
    --selection.Bottom;
    ApplySelection();
}

void TForm2::printAllOrOfferPdf() {
    const LoadedClass& loaded = windows_.State->Class;
    const std::int32_t first = loaded.PupilSelection.Top;
    try {
        ToutImprimerClick();
    } catch (const NoPrinterError& error) {
        // The selection is on the first pupil the run did not print.
        const std::int32_t failed = loaded.PupilSelection.Top;
        windows_.Form3->OfferPdfInstead(error.Retold(RunLoss(first, failed, loaded.PupilCount)), failed,
                                        loaded.PupilCount);
    } catch (const PrintError& error) {
        const std::int32_t failed = loaded.PupilSelection.Top;
        throw ZebError(error.Retold(RunLoss(first, failed, loaded.PupilCount)) + "\nL'élève " +
                       std::to_string(failed) +
                       " reste sélectionné(e) : « Tout imprimer » reprendra à sa fiche.");
    }
}

std::string RunLoss(std::int32_t first, std::int32_t failed, std::int32_t last) {
    const auto pupils = [](std::int32_t from, std::int32_t to) {
        return from == to ? "de l'élève " + std::to_string(from)
                          : "des élèves " + std::to_string(from) + " à " + std::to_string(to);
    };
    if (failed <= first) {
        if (first == last)
            return "la fiche " + pupils(first, last) + " n'a pas été imprimée";
        if (first == 1)
            return "aucune fiche de la classe n'a été imprimée";
        return "aucune des fiches " + pupils(first, last) + " n'a été imprimée";
    }
    const std::string printed = failed - 1 == first
                                    ? "la fiche " + pupils(first, first) + " a été imprimée"
                                    : "les fiches " + pupils(first, failed - 1) + " ont été imprimées";
    const std::string lost = failed == last ? "celle " + pupils(failed, last) + " ne l'a pas été"
                                            : "celles " + pupils(failed, last) + " ne l'ont pas été";
    return printed + ", " + lost;
}

void TForm2::RetourClick() {
    hide();
    if (windows_.Form1 != nullptr)
        static_cast<QWidget*>(windows_.Form1)->show();
}

void TForm2::showEvent(QShowEvent* event) {
    // The preview window is created after this one, so its presence is known only now.
    updatePreviewButtons();
    QWidget::showEvent(event);
}

void TForm2::closeEvent(QCloseEvent* event) {
    CloseAsBack(event, [this] { RetourClick(); });
}

void TForm2::updatePreviewButtons() {
    const bool available = windows_.Form3 != nullptr;
    Apercu->setEnabled(available);
    ToutImprimer->setEnabled(available);
    Synthese->setEnabled(available && windows_.State->Class.PupilCount > 0);
}

QString TForm2::cellText(int programRow, int column) const {
    const QTableWidgetItem* item = StringGrid1->item(toQtRow(programRow), column);
    return item != nullptr ? item->text() : QString();
}

void TForm2::setCellText(int programRow, int column, const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    StringGrid1->setItem(toQtRow(programRow), column, item);
}

} // namespace zeb
