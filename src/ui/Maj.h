#pragma once

#include "ui/AppWindows.h"

#include <QWidget>

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

    void FormCreate();
    void RemplirTableaux();
    void RetourClick();
    void EnregistrerClick(); // writes ZEB.CFG in the current folder
    void ChargerClick();     // reads it back into the grids; throws ZebError when it cannot

    QTableWidget* FGrille = nullptr;
    QTableWidget* MGrille = nullptr;
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
    AppWindows& windows_;
};

} // namespace zeb
