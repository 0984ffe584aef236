#include "ErrorBox.h"

#include "qtkit/MessageBox.h"

namespace zeb {

void ShowError(QWidget* parent, const std::string& message) {
    MessageBox::critical(parent, QString::fromStdString(message));
}

} // namespace zeb
