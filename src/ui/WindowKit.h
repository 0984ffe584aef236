#pragma once

// Small pieces every window of the program uses alike.

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QString>

namespace zeb {

// A face at a size in pixels, as the windows were designed (13 pixels is 10 points at 96 dpi).
inline QFont PixelFont(const QString& family, int pixels, bool bold = false) {
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// The hourglass for the time of a long task; the arrow comes back however the task ends.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { restore(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    void restore() {
        if (active_)
            QApplication::restoreOverrideCursor();
        active_ = false;
    }

private:
    bool active_ = true;
};

// For the windows without a close box that the window manager can still close: with the
// main window hidden that would leave the program running with nothing on screen, so such a
// close is the window's own way back. The application's own quit (end of session) closes the
// window for good.
template <typename Back> void CloseAsBack(QCloseEvent* event, Back&& back) {
    if (!event->spontaneous()) {
        event->accept();
        return;
    }
    event->ignore();
    back();
}

} // namespace zeb
