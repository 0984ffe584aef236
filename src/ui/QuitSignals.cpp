#include "QuitSignals.h"

#include "platform/Platform.h"

#include <QCoreApplication>

namespace zeb {

QuitSignals::QuitSignals(std::function<void()> quit, QObject* parent)
    : QObject(parent), quit_(std::move(quit)) {
    InstallInterruptionHandlers();
    // Called on the platform's thread: the quit is queued to this object's own.
    OnInterruption([this] {
        QMetaObject::invokeMethod(
            this, [this] { quit_(); }, Qt::QueuedConnection);
    });
    // Windows ends a window program's session with a message, not a signal, which Qt turns into
    // aboutToQuit just before the system ends the process: the quit runs there. After an ordinary
    // quit, it finds nothing left to do.
    if (QCoreApplication* application = QCoreApplication::instance())
        connect(application, &QCoreApplication::aboutToQuit, this, [this] { quit_(); });
}

// Withdrawn before this goes: a signal from now on never reaches it, and what was queued goes
// with it.
QuitSignals::~QuitSignals() {
    OnInterruption({});
}

} // namespace zeb
