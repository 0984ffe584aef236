#include "WindowEvents.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QThread>
#include <QWindow>

namespace zeb::test {

void KeyClick(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    // A key press that does not come from the window system goes to the shortcuts first
    // (QApplication::notify); the release does not.
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(widget, &release);
}

void CloseFromWindowManager(QWidget* window) {
    // The native window hands the widget a close it did not start: a spontaneous one, as
    // when the window system delivers it.
    QWindow* native = window->window()->windowHandle();
    if (native == nullptr) {
        window->close();
        return;
    }
    QCloseEvent close;
    QApplication::sendEvent(native, &close);
}

bool WaitForActiveWindow(QWidget* window, std::chrono::milliseconds deadline) {
    // The system may call the window active before Qt has had the news; a window's shortcuts
    // wait for Qt's.
    const QDeadlineTimer timer(deadline);
    while (!window->isActiveWindow() || QApplication::activeWindow() != window->window()) {
        if (timer.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(10);
    }
    return true;
}

} // namespace zeb::test
