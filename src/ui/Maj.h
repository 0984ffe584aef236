#pragma once

#include "ui/AppWindows.h"
#include "ui/BuiltOnDemand.h"

#include <QWidget>
#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace zeb {

// The objectives and retained items window: the built-in reference tables laid out for
// reading, French above, Mathematics below. The save and load of ZEB.CFG stay reachable from
// the handlers, though their buttons are hidden.
class TForm4 final : public QWidget {
    Q_OBJECT
public:
    TForm4(AppWindows& windows, QWidget* parent = nullptr);
    ~TForm4() override;
    void setVisible(bool visible) override;

    void FormCreate();
    void RemplirTableaux();
    void RetourClick();
    void EnregistrerClick(); // writes ZEB.CFG in the current folder
    void ChargerClick();     // reads it back into the grids; throws ZebError when it cannot

    // Built, and filled with the tables as they were when the window was created, when the
    // window is first shown or either grid first reached.
    BuiltOnDemand<QTableWidget> FGrille{[this] { buildGrids(); }};
    BuiltOnDemand<QTableWidget> MGrille{[this] { buildGrids(); }};
    QPushButton* Retour = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* DateEdit = nullptr;
    QLineEdit* VersionEdit = nullptr;
    QPushButton* Enregistrer = nullptr;
    QPushButton* Charger = nullptr;
    QListWidget* ListBox1 = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Tables;
    void buildGrids();

    std::unique_ptr<Tables> tablesAtStart_; // until the grids are built
    AppWindows& windows_;
};

} // namespace zeb
