#pragma once

#include <QWidget>
#include <functional>

class QPainter;
class QScrollBar;

namespace zeb {

// The sheet of paper on screen: its painting is the preview window's, and the wheel over it
// scrolls it as the wheel over its vertical bar does.
class PageBox final : public QWidget {
public:
    using Painter = std::function<void(QPainter&)>;

    PageBox(QWidget* parent, Painter paint);

    QScrollBar* wheelTarget = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    Painter paint_;
};

} // namespace zeb
