#pragma once

#include <QObject>
#include <functional>

namespace zeb {

// The end of the session and Ctrl-C in the starting terminal or console (SIGTERM, SIGHUP,
// SIGINT; on Windows the console's events, and the session's end that Qt reports), brought into
// the event loop through the platform's interruptions: `quit` runs there, never inside the signal
// handler nor on the platform's thread; a second signal ends the program at once. One in the
// process, made once the application is.
class QuitSignals final : public QObject {
public:
    explicit QuitSignals(std::function<void()> quit, QObject* parent = nullptr);
    ~QuitSignals() override;
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

private:
    std::function<void()> quit_;
};

} // namespace zeb
