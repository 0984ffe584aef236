#include "ui/Accessibility.h"

#include <QAccessibleWidget>
#include <QDialog>
#include <QHeaderView>
#include <QPointer>
#include <QWindow>
#include <algorithm>
#include <map>

namespace zeb {

namespace {

constexpr const char* KeptOut = "zebKeptFromAssistiveTechnology";
constexpr const char* KeepsChildrenOut = "zebKeepsChildrenFromAssistiveTechnology";

// A window as Qt presents it (a plain widget, or a dialog), less the children kept out.
class ScreeningWindow final : public QAccessibleWidget {
public:
    explicit ScreeningWindow(QWidget* window)
        : QAccessibleWidget(window, qobject_cast<QDialog*>(window) != nullptr ? QAccessible::Dialog
                                                                              : QAccessible::Client) {}

    int childCount() const override { return static_cast<int>(shownChildren().size()); }
    QAccessibleInterface* child(int index) const override {
        const QWidgetList children = shownChildren();
        return index >= 0 && index < children.size()
                   ? QAccessible::queryAccessibleInterface(children.at(index))
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (child == nullptr)
            return -1;
        return static_cast<int>(shownChildren().indexOf(qobject_cast<QWidget*>(child->object())));
    }

private:
    // The children Qt lists, in its order (every child widget that is no window of its own), less
    // those kept out.
    QWidgetList shownChildren() const {
        QWidgetList children;
        for (QObject* object : widget()->children())
            if (auto* child = qobject_cast<QWidget*>(object);
                child != nullptr && !child->isWindow() && !child->property(KeptOut).toBool())
                children.append(child);
        return children;
    }
};

// The children of a partly shown table: the headings of the shown columns, then the rows' cells
// in those columns.
int cellIndex(int row, int column, int shownColumns) {
    return (row + 1) * shownColumns + column;
}

int shownColumnCount(const PartlyShownTable& table) {
    return std::clamp(table.ShownColumns(), 0, table.columnCount());
}

// A place in a partly shown table: a cell, or a heading (row -1). It reads whatever its place
// holds now, so a refill of the table never leaves it stale.
class GridCell final : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    GridCell(PartlyShownTable* table, int row, int column) : table_(table), row_(row), column_(column) {}

    bool isValid() const override {
        return table_ != nullptr && row_ < table_->rowCount() && column_ < shownColumnCount(*table_);
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return isValid() ? table_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(table_); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override {}
    QAccessible::Role role() const override {
        return heading() ? QAccessible::ColumnHeader : QAccessible::Cell;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::TableCellInterface && !heading()
                   ? static_cast<QAccessibleTableCellInterface*>(this)
                   : nullptr;
    }

    QString text(QAccessible::Text kind) const override {
        if (!isValid() || (kind != QAccessible::Name && kind != QAccessible::Description))
            return {};
        const auto data = [this](int role) {
            return heading() ? table_->model()->headerData(column_, Qt::Horizontal, role)
                             : index().data(role);
        };
        if (kind == QAccessible::Description)
            return data(Qt::AccessibleDescriptionRole).toString();
        const QString spoken = data(Qt::AccessibleTextRole).toString();
        return (spoken.isEmpty() ? data(Qt::DisplayRole).toString() : spoken).trimmed();
    }

    QRect rect() const override {
        if (!isValid())
            return {};
        if (heading()) {
            const QHeaderView* header = table_->horizontalHeader();
            return {header->mapToGlobal(QPoint(header->sectionViewportPosition(column_), 0)),
                    QSize(header->sectionSize(column_), header->height())};
        }
        const QRect area = table_->visualRect(index());
        return {table_->viewport()->mapToGlobal(area.topLeft()), area.size()};
    }

    QAccessible::State state() const override {
        QAccessible::State state;
        if (!isValid())
            return state;
        if (heading()) {
            state.invisible = !table_->horizontalHeader()->isVisible();
            return state;
        }
        const QRect viewport(table_->viewport()->mapToGlobal(QPoint(0, 0)), table_->viewport()->size());
        state.invisible = !table_->isVisible() || !viewport.intersects(rect());
        state.selected = isSelected();
        const QModelIndex current = table_->currentIndex();
        state.focused = current.isValid() && current.row() == row_ &&
                        std::min(current.column(), shownColumnCount(*table_) - 1) == column_;
        if (index().flags().testFlag(Qt::ItemIsSelectable)) {
            state.selectable = true;
            state.focusable = true;
        }
        return state;
    }

    bool isSelected() const override { return isValid() && table_->selectionModel()->isSelected(index()); }
    QList<QAccessibleInterface*> columnHeaderCells() const override {
        QAccessibleInterface* grid = table();
        return grid != nullptr ? QList<QAccessibleInterface*>{grid->child(column_)}
                               : QList<QAccessibleInterface*>{};
    }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return column_; }
    int rowIndex() const override { return row_; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

    const PartlyShownTable* grid() const { return table_; }

private:
    bool heading() const { return row_ < 0; }
    QModelIndex index() const { return table_->model()->index(row_, column_); }

    QPointer<PartlyShownTable> table_;
    int row_;
    int column_;
};

class PartlyShownTableAccessible final : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit PartlyShownTableAccessible(PartlyShownTable* table)
        : QAccessibleWidget(table, QAccessible::Table) {}
    ~PartlyShownTableAccessible() override {
        for (const auto& [index, id] : cells_)
            QAccessible::deleteAccessibleInterface(id);
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    int childCount() const override { return (rowCount() + 1) * columnCount(); }
    QAccessibleInterface* child(int index) const override {
        const int columns = columnCount();
        if (index < 0 || index >= childCount())
            return nullptr;
        if (const auto made = cells_.find(index); made != cells_.end())
            return QAccessible::accessibleInterface(made->second);
        auto* cell = new GridCell(grid(), index / columns - 1, index % columns);
        cells_.emplace(index, QAccessible::registerAccessibleInterface(cell));
        return cell;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const auto* cell = dynamic_cast<const GridCell*>(child);
        if (cell == nullptr || cell->grid() != grid() || !cell->isValid())
            return -1;
        return cellIndex(cell->rowIndex(), cell->columnIndex(), columnCount());
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QModelIndex index = grid()->indexAt(grid()->viewport()->mapFromGlobal(QPoint(x, y)));
        return index.isValid() ? cellAt(index.row(), index.column()) : nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        const QModelIndex current = grid()->currentIndex();
        if (!current.isValid() || columnCount() == 0)
            return nullptr;
        return cellAt(current.row(), std::min(current.column(), columnCount() - 1));
    }

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override {
        if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
            return nullptr;
        return child(cellIndex(row, column, columnCount()));
    }
    int selectedCellCount() const override { return static_cast<int>(selectedCells().size()); }
    QList<QAccessibleInterface*> selectedCells() const override {
        QList<QAccessibleInterface*> cells;
        for (const QModelIndex& index : grid()->selectionModel()->selectedIndexes())
            if (QAccessibleInterface* cell = cellAt(index.row(), index.column()))
                cells.append(cell);
        return cells;
    }
    QString columnDescription(int column) const override {
        return column < columnCount() ? grid()->model()->headerData(column, Qt::Horizontal).toString()
                                      : QString();
    }
    QString rowDescription(int) const override { return {}; }
    int columnCount() const override { return shownColumnCount(*grid()); }
    int rowCount() const override { return grid()->rowCount(); }
    int selectedColumnCount() const override { return static_cast<int>(selectedColumns().size()); }
    int selectedRowCount() const override { return static_cast<int>(selectedRows().size()); }
    QList<int> selectedColumns() const override {
        QList<int> columns;
        for (const QModelIndex& index : grid()->selectionModel()->selectedColumns())
            if (index.column() < columnCount())
                columns.append(index.column());
        return columns;
    }
    QList<int> selectedRows() const override {
        QList<int> rows;
        for (const QModelIndex& index : grid()->selectionModel()->selectedRows())
            rows.append(index.row());
        return rows;
    }
    bool isColumnSelected(int column) const override {
        return column < columnCount() && grid()->selectionModel()->isColumnSelected(column, QModelIndex());
    }
    bool isRowSelected(int row) const override {
        return grid()->selectionModel()->isRowSelected(row, QModelIndex());
    }
    // Choosing a row makes it current, as the arrow keys do.
    bool selectRow(int row) override {
        if (row < 0 || row >= rowCount())
            return false;
        grid()->setCurrentIndex(grid()->model()->index(row, std::max(grid()->currentIndex().column(), 0)));
        return true;
    }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    // Nothing to follow: each cell is a place that reads what it holds now.
    void modelChange(QAccessibleTableModelChangeEvent*) override {}

private:
    PartlyShownTable* grid() const { return static_cast<PartlyShownTable*>(widget()); }

    mutable std::map<int, QAccessible::Id> cells_; // made when first asked for, by child index
};

QAccessibleInterface* makeInterface(const QString& /*className*/, QObject* object) {
    if (auto* table = dynamic_cast<PartlyShownTable*>(object))
        return new PartlyShownTableAccessible(table);
    if (object != nullptr && object->isWidgetType() && object->property(KeepsChildrenOut).toBool())
        return new ScreeningWindow(static_cast<QWidget*>(object));
    return nullptr;
}

// Qt asks for an object's interface with the first change it announces, which may come while the
// object is still being built and is not yet what it will be: such an interface gives way.
template <typename Wanted> void useOwnInterface(QObject* object) {
    static const bool installed = [] {
        QAccessible::installFactory(makeInterface);
        return true;
    }();
    (void)installed;
    QAccessibleInterface* made = QAccessible::queryAccessibleInterface(object);
    if (made != nullptr && dynamic_cast<Wanted*>(made) == nullptr)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

} // namespace

void KeepFromAssistiveTechnology(QWidget* control) {
    control->setProperty(KeptOut, true);
    QWidget* window = control->parentWidget();
    window->setProperty(KeepsChildrenOut, true);
    useOwnInterface<ScreeningWindow>(window);
}

PartlyShownTable::PartlyShownTable(int rows, int columns, int shownColumns, QWidget* parent)
    : QTableWidget(rows, columns, parent), shownColumns_(shownColumns) {
    useOwnInterface<PartlyShownTableAccessible>(this);
}

void PartlyShownTable::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    // Past QTableView's own, which would tell the cell by its place among all the columns.
    if (QAccessible::isActive())
        announce(QAccessible::Focus, current);
    QAbstractItemView::currentChanged(current, previous);
}

void PartlyShownTable::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    if (QAccessible::isActive()) {
        announce(QAccessible::SelectionAdd, selected.indexes().value(0));
        announce(QAccessible::SelectionRemove, deselected.indexes().value(0));
    }
    QAbstractItemView::selectionChanged(selected, deselected);
}

void PartlyShownTable::announce(QAccessible::Event event, const QModelIndex& index) {
    const int shown = shownColumnCount(*this);
    if (!index.isValid() || shown == 0)
        return;
    QAccessibleEvent change(this, event);
    change.setChild(cellIndex(index.row(), std::min(index.column(), shown - 1), shown));
    QAccessible::updateAccessibility(&change);
}

} // namespace zeb
