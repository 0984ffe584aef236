#pragma once

// Runs an action once a window has been painted for the first time: what a user sees as
// "the window is there", for the start-up programs that time themselves.

#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <utility>

namespace zeb::bench {

class WhenPainted final : public QObject {
public:
    WhenPainted(QWidget& window, std::function<void()> action) : action_(std::move(action)) {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && action_) {
            // Queued: the paint this event starts, children included, ends first.
            QTimer::singleShot(0, this, std::exchange(action_, nullptr));
            watched->removeEventFilter(this);
        }
        return false;
    }

private:
    std::function<void()> action_;
};

} // namespace zeb::bench
