#pragma once

#include "ui/AppWindows.h"

#include <QDialog>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace zeb {

// The help box: the program's banner and how to get a class out of J'ADE and through ZEB.
// Not modal: the teacher can keep it open beside the other windows.
class TAboutBox final : public QDialog {
    Q_OBJECT
public:
    TAboutBox(AppWindows& windows, QWidget* parent = nullptr);

    void OKButtonClick();
    void Button1Click();

    QFrame* Panel1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Image2 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* Button1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    AppWindows& windows_;
};

} // namespace zeb
