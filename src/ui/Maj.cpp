#include "Maj.h"

#include "Artwork.h"
#include "core/Errors.h"
#include "core/ExportScan.h"
#include "core/ProgramState.h"
#include "platform/Platform.h"
#include "qttext/QtText.h"
#include "ui/Accessibility.h"
#include "ui/ErrorBox.h"
#include "ui/WindowKit.h"

#include <QAbstractItemModel>
#include <QFont>
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
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace zeb {
namespace {

// Relative on purpose: the file goes wherever the program was started from.
constexpr std::string_view ConfigFileName = "ZEB.CFG";
// "Mathématiques" as the file holds it, in Windows-1252.
constexpr std::string_view MathsHeading = "Math\xE9"
                                          "matiques";

constexpr int GridColumns = 3;
constexpr int DesignRows = 2;
constexpr int RowHeight = 18;
constexpr int GripTolerance = 3;
constexpr int MinColumnWidth = 8;

QFont timesFont(int pixelSize) {
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(pixelSize);
    return font;
}

void centerOnScreen(QWidget* window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}

// A grid whose first row and first column are headings, as in a spreadsheet: they are
// never selected, and the first row carries the grips for widening a column. Qt's own
// headers are not used so that the row numbers stay those of the table itself.
class ReferenceGrid final : public QTableWidget {
public:
    ReferenceGrid(std::initializer_list<int> widths, QWidget* parent) : QTableWidget(0, GridColumns, parent) {
        horizontalHeader()->hide();
        verticalHeader()->hide();
        verticalHeader()->setMinimumSectionSize(1);
        verticalHeader()->setDefaultSectionSize(RowHeight);
        verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        horizontalHeader()->setMinimumSectionSize(1);
        horizontalHeader()->setStretchLastSection(false);
        int column = 0;
        for (int width : widths)
            setColumnWidth(column++, width);
        setFont(timesFont(11));
        setShowGrid(true);
        setWordWrap(false);
        setEditTriggers(QAbstractItemView::NoEditTriggers);
        setSelectionMode(QAbstractItemView::ContiguousSelection);
        setSelectionBehavior(QAbstractItemView::SelectItems);
        // The arrows go from cell to cell; Tab goes on to the next control.
        setTabKeyNavigation(false);
        setMouseTracking(true);
        // Rows added later, by a fill or a load, get their heading cell at once.
        connect(model(), &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex&, int first, int last) { addHeadingCells(first, last); });
        setRowCount(DesignRows);
        freezeHeadingRow();
    }

    void setCell(int column, int row, const QString& text) {
        QTableWidgetItem* cell = item(row, column);
        if (cell == nullptr) {
            cell = newCell(column, row);
            setItem(row, column, cell);
        }
        cell->setText(text);
    }

    QString cellText(int column, int row) const {
        const QTableWidgetItem* cell = item(row, column);
        return cell == nullptr ? QString() : cell->text();
    }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        const int column = event->button() == Qt::LeftButton ? gripAt(event->position().toPoint()) : -1;
        if (column < 0) {
            // The heading row covers whatever row is scrolled under it.
            if (inHeadingRow(event->position().toPoint()))
                event->accept();
            else
                QTableWidget::mousePressEvent(event);
            return;
        }
        sizing_ = column;
        sizingStartX_ = event->position().toPoint().x();
        sizingStartWidth_ = columnWidth(column);
        event->accept();
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        if (sizing_ >= 0) {
            const int dx = event->position().toPoint().x() - sizingStartX_;
            setColumnWidth(sizing_, std::max(MinColumnWidth, sizingStartWidth_ + dx));
            event->accept();
            return;
        }
        if (event->buttons() == Qt::NoButton) {
            if (gripAt(event->position().toPoint()) >= 0)
                viewport()->setCursor(Qt::SplitHCursor);
            else
                viewport()->unsetCursor();
        }
        QTableWidget::mouseMoveEvent(event);
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        if (sizing_ >= 0 && event->button() == Qt::LeftButton) {
            sizing_ = -1;
            event->accept();
            return;
        }
        QTableWidget::mouseReleaseEvent(event);
    }

    void updateGeometries() override {
        QTableWidget::updateGeometries();
        if (headingRow_ != nullptr) {
            const QRect area = viewport()->geometry();
            headingRow_->setGeometry(area.x(), area.y(), area.width(), rowHeight(0));
        }
    }

    // A row brought into view by the keyboard must not end under the heading row.
    void scrollTo(const QModelIndex& index, ScrollHint hint) override {
        QTableWidget::scrollTo(index, hint);
        if (index.row() > 0 && rowViewportPosition(index.row()) < rowHeight(0))
            verticalScrollBar()->setValue(verticalScrollBar()->value() - 1);
    }

private:
    static bool isHeading(int column, int row) { return row == 0 || column == 0; }

    bool inHeadingRow(QPoint point) const { return point.y() >= 0 && point.y() < rowHeight(0); }

    // Row 0 stays at the top while the rows scroll: a view of the same cells, showing that row
    // only, laid over the top of the grid and following its columns. The mouse goes through it
    // to the grid, which keeps the grips.
    void freezeHeadingRow() {
        headingRow_ = new QTableView(this);
        headingRow_->setModel(model());
        headingRow_->setFont(font());
        headingRow_->horizontalHeader()->hide();
        headingRow_->verticalHeader()->hide();
        headingRow_->verticalHeader()->setMinimumSectionSize(1);
        headingRow_->verticalHeader()->setDefaultSectionSize(RowHeight);
        headingRow_->setFrameShape(QFrame::NoFrame);
        headingRow_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        headingRow_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        headingRow_->setHorizontalScrollMode(horizontalScrollMode());
        headingRow_->setWordWrap(false);
        headingRow_->setSelectionMode(QAbstractItemView::NoSelection);
        headingRow_->setFocusPolicy(Qt::NoFocus);
        headingRow_->setAttribute(Qt::WA_TransparentForMouseEvents);
        for (int column = 0; column < columnCount(); ++column)
            headingRow_->setColumnWidth(column, columnWidth(column));
        connect(horizontalHeader(), &QHeaderView::sectionResized, headingRow_,
                [this](int column, int, int width) { headingRow_->setColumnWidth(column, width); });
        connect(horizontalScrollBar(), &QScrollBar::valueChanged, headingRow_->horizontalScrollBar(),
                &QScrollBar::setValue);
        headingRow_->show();
        updateGeometries();
    }

    QTableWidgetItem* newCell(int column, int row) const {
        auto* cell = new QTableWidgetItem;
        if (isHeading(column, row)) {
            cell->setFlags(Qt::ItemIsEnabled);
            cell->setBackground(palette().button());
            cell->setForeground(palette().buttonText());
        } else {
            cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        }
        return cell;
    }

    // An empty cell without an item would be selectable; heading cells therefore always
    // have one.
    void addHeadingCells(int first, int last) {
        for (int row = first; row <= last; ++row)
            for (int column = 0; column < columnCount(); ++column)
                if (isHeading(column, row) && item(row, column) == nullptr)
                    setItem(row, column, newCell(column, row));
    }

    // The column whose right edge is under the point, in the heading row only.
    int gripAt(QPoint point) const {
        if (!inHeadingRow(point))
            return -1;
        for (int column = 0; column < columnCount(); ++column) {
            const int edge = columnViewportPosition(column) + columnWidth(column);
            if (std::abs(point.x() - edge) <= GripTolerance)
                return column;
        }
        return -1;
    }

    QTableView* headingRow_ = nullptr;
    int sizing_ = -1;
    int sizingStartX_ = 0;
    int sizingStartWidth_ = 0;
};

ReferenceGrid* grid(QTableWidget* table) {
    return static_cast<ReferenceGrid*>(table);
}

void addRow(QTableWidget* table) {
    table->setRowCount(table->rowCount() + 1);
}

// A grid keeps at least its heading row, whatever a load asks.
void dropTwoRows(QTableWidget* table) {
    table->setRowCount(std::max(1, table->rowCount() - 2));
}

template <typename Table> void fillGrid(QTableWidget* table, const Table& reference) {
    ReferenceGrid* g = grid(table);
    auto label = [](int row) { return QStringLiteral("Objectif ") + QString::number(row); };
    int row = 1;
    addRow(table);
    for (int d = 1; d <= Table::DomainCount; ++d) {
        const Domain& domain = reference.Domains[d];
        if (d > 1) {
            addRow(table);
            ++row;
        }
        g->setCell(0, row, label(row));
        g->setCell(1, row, toQString(domain.Title));
        for (int i = domain.FirstObjective; i <= domain.LastObjective; ++i) {
            addRow(table);
            ++row;
            g->setCell(0, row, label(row));
            g->setCell(1, row, toQString(reference.ObjectiveTexts[i]));
            g->setCell(2, row, toQString(reference.ItemLists[i]));
        }
    }
}

void setHeadings(ReferenceGrid* french, ReferenceGrid* maths) {
    french->setCell(0, 0, QString::fromUtf8("Français"));
    french->setCell(1, 0, QStringLiteral("Objectifs"));
    french->setCell(2, 0, QStringLiteral("Items retenus"));
    maths->setCell(0, 0, QString::fromUtf8("Mathématiques"));
    maths->setCell(1, 0, QStringLiteral("Objectifs"));
    maths->setCell(2, 0, QStringLiteral("Items retenus"));
}

// Every row but the last, which the fill always leaves empty.
void appendGridLines(QListWidget* lines, QTableWidget* table) {
    const ReferenceGrid* g = grid(table);
    for (int row = 0; row <= table->rowCount() - 2; ++row)
        for (int column = 0; column < GridColumns; ++column)
            lines->addItem(g->cellText(column, row));
}

} // namespace

struct TForm4::Tables {
    FrenchObjectiveTable French;
    MathsObjectiveTable Maths;
};

TForm4::TForm4(AppWindows& windows, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      windows_(windows) {
    setWindowTitle(QStringLiteral(" EVALUATION CE2 -  Objectifs et items retenus"));
    setFixedSize(800, 401);
    setFont(timesFont(13));

    // The grids wait for the window's first showing; what they will show is the tables as
    // they are now, whatever a class load puts in the state meanwhile.
    tablesAtStart_ =
        std::make_unique<Tables>(Tables{windows_.State->FrenchTable, windows_.State->MathsTable});

    Label1 = new QLabel(QStringLiteral("Indiquer la date"), this);
    Label1->setGeometry(8, 352, 100, 17);
    DateEdit = new QLineEdit(this);
    DateEdit->setGeometry(110, 349, 121, 21);
    Label2 = new QLabel(QStringLiteral("et la version"), this);
    Label2->setGeometry(240, 352, 80, 17);
    VersionEdit = new QLineEdit(this);
    VersionEdit->setGeometry(322, 349, 121, 21);
    Label1->setBuddy(DateEdit);
    Label2->setBuddy(VersionEdit);
    Enregistrer = new QPushButton(QStringLiteral("&Enregistrer"), this);
    Enregistrer->setGeometry(470, 360, 97, 31);
    Charger = new QPushButton(QStringLiteral("&Charger"), this);
    Charger->setGeometry(580, 360, 97, 31);
    ListBox1 = new QListWidget(this);
    ListBox1->setGeometry(8, 374, 200, 20);
    // The save and load are kept for the maintainer, not offered to the teacher, nor read out to
    // one who uses a screen reader.
    for (QWidget* tool : std::initializer_list<QWidget*>{Label1, DateEdit, Label2, VersionEdit, Enregistrer,
                                                         Charger, ListBox1}) {
        tool->hide();
        KeepFromAssistiveTechnology(tool);
    }

    Retour = new QPushButton(artwork::BackGlyph(), QStringLiteral("&Retour"), this);
    Retour->setGeometry(698, 360, 97, 31);

    connect(Retour, &QPushButton::clicked, this, [this] { RetourClick(); });
    connect(Enregistrer, &QPushButton::clicked, this,
            [this] { Guarded(this, [this] { EnregistrerClick(); }); });
    connect(Charger, &QPushButton::clicked, this, [this] { Guarded(this, [this] { ChargerClick(); }); });

    centerOnScreen(this);
    DateEdit->setText(toQString(EvaluationDate));
    VersionEdit->setText(toQString(EvaluationVersion));
}

TForm4::~TForm4() = default;

void TForm4::buildGrids() {
    if (FGrille.built())
        return;
    auto* french = new ReferenceGrid({80, 471, 234}, this);
    french->setObjectName(QStringLiteral("FGrille"));
    french->setGeometry(5, 8, 790, 161);
    french->setAccessibleName(QStringLiteral("Objectifs de français"));
    auto* maths = new ReferenceGrid({80, 473, 231}, this);
    maths->setObjectName(QStringLiteral("MGrille"));
    maths->setGeometry(5, 177, 790, 161);
    maths->setAccessibleName(QStringLiteral("Objectifs de mathématiques"));
    FGrille.set(french);
    MGrille.set(maths);
    // Below the other controls, and the first to take the focus, as if built with the window
    // (Tab goes round from the grids to Retour and back all the same).
    maths->lower();
    french->lower();
    french->setFocus(Qt::OtherFocusReason);

    const std::unique_ptr<Tables> tables = std::move(tablesAtStart_);
    setHeadings(french, maths);
    fillGrid(french, tables->French);
    fillGrid(maths, tables->Maths);
}

void TForm4::setVisible(bool visible) {
    // Before Qt shows the window, so the grids are shown with it as if built with it.
    if (visible)
        buildGrids();
    QWidget::setVisible(visible);
}

void TForm4::FormCreate() {
    setHeadings(grid(FGrille), grid(MGrille));
    RemplirTableaux();
}

void TForm4::RemplirTableaux() {
    DateEdit->setText(toQString(EvaluationDate));
    VersionEdit->setText(toQString(EvaluationVersion));
    fillGrid(FGrille, windows_.State->FrenchTable);
    fillGrid(MGrille, windows_.State->MathsTable);
}

void TForm4::RetourClick() {
    hide();
    if (windows_.Form1 != nullptr)
        windows_.Form1->show();
}

void TForm4::closeEvent(QCloseEvent* event) {
    CloseAsBack(event, [this] { RetourClick(); });
}

void TForm4::EnregistrerClick() {
    ListBox1->clear();
    ListBox1->addItem(DateEdit->text());
    ListBox1->addItem(VersionEdit->text());
    appendGridLines(ListBox1, FGrille);
    appendGridLines(ListBox1, MGrille);

    std::string contents;
    for (int i = 0; i < ListBox1->count(); ++i) {
        contents += fromQString(ListBox1->item(i)->text());
        contents += "\r\n";
    }
    WriteFileAtomically(std::string(ConfigFileName), contents);
}

void TForm4::ChargerClick() {
    // Read first: a file that cannot be opened leaves the window as it was.
    const std::string contents = ReadWholeFile(std::string(ConfigFileName));
    const std::vector<std::string_view> lines = SplitLines(contents);
    ListBox1->clear();
    for (std::string_view text : lines)
        ListBox1->addItem(toQString(text));

    auto line = [&lines](std::size_t k) -> std::string_view {
        if (k >= lines.size())
            throw ZebError("Le fichier ZEB.CFG est incomplet : la ligne " + std::to_string(k + 1) +
                           " manque.");
        return lines[k];
    };
    // Cells are written one by one, so a short file leaves what it did hold in the grid.
    auto readRow = [&line](ReferenceGrid* g, int row, std::size_t k) {
        for (int column = 0; column < GridColumns; ++column)
            g->setCell(column, row, toQString(line(k + static_cast<std::size_t>(column))));
    };

    DateEdit->setText(toQString(line(0)));
    VersionEdit->setText(toQString(line(1)));

    std::size_t k = 2;
    int row = 0;
    do {
        readRow(grid(FGrille), row, k);
        ++row;
        addRow(FGrille);
        k += 3;
    } while (line(k) != MathsHeading);
    dropTwoRows(FGrille);

    row = 0;
    do {
        readRow(grid(MGrille), row, k);
        ++row;
        addRow(MGrille);
        k += 3;
    } while (k != lines.size());
    dropTwoRows(MGrille);
}

} // namespace zeb
