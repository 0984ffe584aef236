#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace zeb {

// The end of the session (SIGTERM, SIGHUP) and Ctrl-C in the starting terminal (SIGINT),
// brought into the event loop through the platform's interruptions: `quit` runs there, never
// inside the signal handler; a second signal ends the program at once. One in the process.
class QuitSignals final : public QObject {
public:
    explicit QuitSignals(std::function<void()> quit, QObject* parent = nullptr);
    ~QuitSignals() override;
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

private:
    std::function<void()> quit_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace zeb
