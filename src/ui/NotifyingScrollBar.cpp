#include "ui/NotifyingScrollBar.h"

#include <utility>

namespace zeb {
namespace {

bool codeOf(int action, ScrollCode& code) {
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        code = ScrollCode::LineUp;
        return true;
    case QAbstractSlider::SliderSingleStepAdd:
        code = ScrollCode::LineDown;
        return true;
    case QAbstractSlider::SliderPageStepSub:
        code = ScrollCode::PageUp;
        return true;
    case QAbstractSlider::SliderPageStepAdd:
        code = ScrollCode::PageDown;
        return true;
    case QAbstractSlider::SliderToMinimum:
        code = ScrollCode::Top;
        return true;
    case QAbstractSlider::SliderToMaximum:
        code = ScrollCode::Bottom;
        return true;
    case QAbstractSlider::SliderMove:
        code = ScrollCode::Track;
        return true;
    default:
        return false;
    }
}

} // namespace

NotifyingScrollBar::NotifyingScrollBar(Qt::Orientation orientation, QWidget* parent, Handler handler)
    : QScrollBar(orientation, parent), handler_(std::move(handler)) {
    // Emitted once the bar has moved its slider, before its value follows.
    connect(this, &QAbstractSlider::actionTriggered, this, [this](int action) { onAction(action); });
    connect(this, &QAbstractSlider::sliderReleased, this, [this] { report(ScrollCode::Position); });
}

void NotifyingScrollBar::mouseReleaseEvent(QMouseEvent* event) {
    QScrollBar::mouseReleaseEvent(event);
    report(ScrollCode::EndScroll);
}

void NotifyingScrollBar::wheelEvent(QWheelEvent* event) {
    QScrollBar::wheelEvent(event);
    report(ScrollCode::EndScroll);
}

void NotifyingScrollBar::onAction(int action) {
    ScrollCode code{};
    if (!codeOf(action, code))
        return;
    int position = sliderPosition();
    handler_(code, position);
    setSliderPosition(position); // held within the range by the bar
}

void NotifyingScrollBar::report(ScrollCode code) {
    int position = value();
    handler_(code, position);
    setValue(position);
}

} // namespace zeb
