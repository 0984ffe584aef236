#pragma once

#include <QString>
#include <QWidget>
#include <functional>

class QAccessibleEvent;
class QPainter;
class QScrollBar;

namespace zeb {

// What assistive technology is told of the page shown.
struct PageSpeech {
    QString name;        // the page and where it stands: "Fiche de français, DUPONT Léa, élève 3 sur 25"
    QString description; // the zoom step: "Zoom 0,8"
    QString text;        // the page's words, a line each row
    friend bool operator==(const PageSpeech&, const PageSpeech&) = default;
};

// The sheet of paper on screen: its painting is the preview window's, and the wheel over it
// scrolls it as the wheel over its vertical bar does. To assistive technology it is a read-only
// document whose name, description and text are its speech; it is reached with Tab, so that a
// screen reader reads it where the focus is.
class PageBox final : public QWidget {
public:
    using Painter = std::function<void(QPainter&)>;

    PageBox(QWidget* parent, Painter paint);

    // Takes what the page says now, and announces to assistive technology what changed.
    void SetSpeech(PageSpeech speech);
    const PageSpeech& Speech() const { return speech_; }

    QScrollBar* wheelTarget = nullptr;
    // Sees each event the page sends to assistive technology, whether Qt passes it on or not (it
    // drops them while no assistive technology is active, as under the offscreen platform).
    std::function<void(QAccessibleEvent&)> announced;

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void send(QAccessibleEvent& event);

    Painter paint_;
    PageSpeech speech_;
};

} // namespace zeb
