#include "QuitSignals.h"

#include "platform/Platform.h"

namespace zeb {

QuitSignals::QuitSignals(std::function<void()> quit, QObject* parent)
    : QObject(parent), quit_(std::move(quit)) {
    InstallInterruptionHandlers();
    // Called on the platform's thread: the quit is queued to this object's own.
    OnInterruption([this] { QMetaObject::invokeMethod(this, [this] { quit_(); }, Qt::QueuedConnection); });
}

// Withdrawn before this goes: a signal from now on never reaches it, and what was queued goes
// with it.
QuitSignals::~QuitSignals() {
    OnInterruption({});
}

} // namespace zeb
