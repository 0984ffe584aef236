#include "ErrorBox.h"

#include <QApplication>
#include <QMessageBox>

namespace zeb {

void ShowError(QWidget* parent, const std::string& message) {
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(),
                    QString::fromStdString(message), QMessageBox::NoButton, parent);
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
}

} // namespace zeb
