#pragma once

// What screen readers and other assistive technology are shown of the windows beyond each
// control's own name and hint (set where the control is built): the working controls a window
// keeps hidden by design stay out of the accessible tree, and a grid's columns that carry data
// for the program only are left out of the table a screen reader reads.

#include <QAccessible>
#include <QTableWidget>

namespace zeb {

// Leaves `control`, and everything in it, out of the tree that assistive technology walks from
// its window, whether shown or hidden; the program reads and sets it as before. For a control
// whose parent is a window (a plain widget or a dialog).
void KeepFromAssistiveTechnology(QWidget* control);

// A grid whose columns from `shownColumns` on carry data for the program only and never come
// into view: to assistive technology it is a table of its first columns, the heading row
// first, each cell named by its text without the padding; the current cell and the selection
// are announced among those columns (a current cell further right is told as the row's last
// shown one).
class PartlyShownTable : public QTableWidget {
public:
    PartlyShownTable(int rows, int columns, int shownColumns, QWidget* parent);

    int ShownColumns() const { return shownColumns_; }

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

private:
    void announce(QAccessible::Event event, const QModelIndex& index);

    int shownColumns_;
};

} // namespace zeb
