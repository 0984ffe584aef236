#include "ui/NameBox.h"

#include <QFocusEvent>
#include <QKeyEvent>

namespace zeb {

void NameBox::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    if (event->reason() != Qt::MouseFocusReason)
        setCursorPosition(0); // also drops the selection
}

bool NameBox::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
            event->ignore(); // the window's shortcut takes the key
            return true;
        default:
            break;
        }
    }
    return QLineEdit::event(event);
}

} // namespace zeb
