#include "ProgressForm.h"

#include "qtkit/MessageBox.h"
#include "qttext/QtText.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

namespace zeb {
namespace {

constexpr int ClientWidth = 300;
constexpr int ClientHeight = 100;
constexpr int ControlWidth = 280;
constexpr int ButtonWidth = 75; // the size a button takes when nothing else is said
constexpr int ButtonHeight = 25;

} // namespace

TProgressForm::TProgressForm(TZip& zip, QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                              Qt::WindowTitleHint | Qt::CustomizeWindowHint),
      Zip(zip) {
    setWindowTitle(ApplicationTitle());
    setFixedSize(ClientWidth, ClientHeight);
    setModal(false);

    StatusLabel = new QLabel(QStringLiteral("attendez ..."), this);
    StatusLabel->setGeometry((ClientWidth - ControlWidth) / 2, 15, ControlWidth,
                             StatusLabel->sizeHint().height());

    ProgressBar = new QProgressBar(this);
    ProgressBar->setTextVisible(false);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setAccessibleName(QStringLiteral("Progression de l'extraction"));
    ProgressBar->setGeometry((ClientWidth - ControlWidth) / 2, 35, ControlWidth,
                             ProgressBar->sizeHint().height());

    CancelButton = new QPushButton(QStringLiteral("&Annuler"), this);
    CancelButton->setGeometry((ClientWidth - ButtonWidth) / 2, 60, ButtonWidth, ButtonHeight);
    CancelButton->setDefault(true);
    CancelButton->setAutoDefault(true);
    connect(CancelButton, &QPushButton::clicked, this, &TProgressForm::CancelClick);

    // Centred over the main window with the outer size the client size gives.
    QWidget* over = mainWindow != nullptr ? mainWindow : QApplication::activeWindow();
    const QRect area = over != nullptr ? over->frameGeometry()
                                       : (screen() != nullptr ? screen()->availableGeometry() : QRect());
    const QSize outer = frameGeometry().size();
    move(area.left() + (area.width() - outer.width()) / 2, area.top() + (area.height() - outer.height()) / 2);
}

void TProgressForm::SetMax(std::int32_t value) {
    ProgressBar->setMaximum(value);
}

void TProgressForm::SetPosition(std::int32_t value) {
    ProgressBar->setValue(value);
}

void TProgressForm::SetStatusText(const std::string& cp1252) {
    StatusLabel->setText(toQString(cp1252));
    StatusLabel->move((ClientWidth - StatusLabel->width()) / 2, StatusLabel->y());
}

void TProgressForm::CancelClick() {
    Zip.Cancel = true;
    hide();
}

} // namespace zeb
