#include "QuitSignals.h"

#include "platform/Platform.h"

#include <QSocketNotifier>

namespace zeb {

QuitSignals::QuitSignals(std::function<void()> quit, QObject* parent)
    : QObject(parent), quit_(std::move(quit)) {
    InstallInterruptionHandlers();
    notifier_ =
        new QSocketNotifier(static_cast<qintptr>(InterruptionDescriptor()), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        // The descriptor stays readable: once is enough.
        notifier_->setEnabled(false);
        quit_();
    });
}

QuitSignals::~QuitSignals() = default;

} // namespace zeb
