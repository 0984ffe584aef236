#pragma once

#include <QScrollBar>
#include <functional>

namespace zeb {

// What a scroll bar reports of each scroll action, as the handlers expect it.
enum class ScrollCode { LineUp, LineDown, PageUp, PageDown, Position, Track, Top, Bottom, EndScroll };

// A scroll bar that reports each scroll action with a code and the position it proposes,
// takes back the position the handler leaves, and reports the end of each action with the
// position it then holds.
class NotifyingScrollBar final : public QScrollBar {
public:
    using Handler = std::function<void(ScrollCode, int&)>;

    NotifyingScrollBar(Qt::Orientation orientation, QWidget* parent, Handler handler);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void onAction(int action);
    void report(ScrollCode code);

    Handler handler_;
};

} // namespace zeb
