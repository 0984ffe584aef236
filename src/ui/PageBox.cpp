#include "ui/PageBox.h"

#include <QApplication>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <utility>

namespace zeb {

PageBox::PageBox(QWidget* parent, Painter paint) : QWidget(parent), paint_(std::move(paint)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PageBox::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    paint_(painter);
}

void PageBox::wheelEvent(QWheelEvent* event) {
    if (wheelTarget != nullptr)
        QApplication::sendEvent(wheelTarget, event);
}

} // namespace zeb
