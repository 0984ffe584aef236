#pragma once

#include "ui/AppWindows.h"
#include "ui/BuiltOnDemand.h"

#include <QWidget>
#include <cstdint>
#include <string>

class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace zeb {

// What a print run from pupil `first` to `last` lost when it stopped at pupil `failed`, as a
// clause for the teacher ("les fiches des élèves 2 à 3 ont été imprimées, celles ...").
std::string RunLoss(std::int32_t first, std::int32_t failed, std::int32_t last);

// The treatment selection: once a class is loaded the teacher picks the subject, the
// treatment and the pupil here, then previews that pupil's sheet or prints the sheets of
// every pupil from the selected one to the last. The window keeps nothing of its own: every
// choice is written straight into the program-wide state.
class TForm2 final : public QWidget {
    Q_OBJECT
public:
    TForm2(AppWindows& windows, QWidget* parent = nullptr);
    ~TForm2() override;
    void setVisible(bool visible) override;

    void RadioFrancaisClick();
    void RadioMathematiquesClick();
    void RadioCodageClick();
    void RadioPourcentageClick();

    // Program row numbers: the heading is row 0, pupils start at row 1.
    void StringGrid1SelectCell(int column, int row);

    void FillPupilGrid();  // after a load: one row per pupil, then the load's selection
    void ApplySelection(); // puts the state's pupil selection on the grid

    // The pupil's name as the preview shows it: the grid's surname and first name cells
    // of that program row, joined as they stand.
    QString PupilName(int programRow) const;

    void ApercuClick();
    void ToutImprimerClick();
    void SyntheseClick(); // the class synthesis of the chosen subject, in the preview
    void RetourClick();

    QFrame* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QRadioButton* RadioFrancais = nullptr;
    QRadioButton* RadioMathematiques = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QRadioButton* RadioCodage = nullptr;
    QRadioButton* RadioPourcentage = nullptr;
    QFrame* Shape1 = nullptr;
    // The pupils' grid: built when the window is first shown or the grid first reached (a
    // load fills it).
    BuiltOnDemand<QTableWidget> StringGrid1{[this] { buildGrid(); }};
    QFrame* Shape2 = nullptr;
    QPushButton* Apercu = nullptr;
    QPushButton* ToutImprimer = nullptr;
    QPushButton* Retour = nullptr;
    QPushButton* Synthese = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The constructor's steps, in the order the controls stack.
    void buildChoices();
    void buildButtons();
    void connectControls();
    void buildGrid();
    void updatePreviewButtons();
    void printAllOrOfferPdf();
    QString cellText(int programRow, int column) const;
    void setCellText(int programRow, int column, const QString& text);

    AppWindows& windows_;
    // Set while the window itself moves the grid's current cell, so that filling and
    // re-applying the selection never write a row of their own back into the state.
    bool placingSelection_ = false;
};

} // namespace zeb
