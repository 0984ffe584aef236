#include "ui/PageBox.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <utility>

namespace zeb {

namespace {

// The page as assistive technology sees it: a read-only document whose text is the page's words
// (AT-SPI: role "document frame", the Text interface's GetText(0, -1) gives them all; Qt's own
// implementation walks it by character, word, sentence or line). It has no selection and is
// never scrolled to a text: the words are all there whatever part of the page is in view.
class PageAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit PageAccessible(PageBox* page) : QAccessibleWidget(page, QAccessible::Document) {}

    QString text(QAccessible::Text kind) const override {
        const PageSpeech& speech = page()->Speech();
        if (kind == QAccessible::Name && !speech.name.isEmpty())
            return speech.name;
        if (kind == QAccessible::Description && !speech.description.isEmpty())
            return speech.description;
        return QAccessibleWidget::text(kind);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        state.multiLine = true;
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    void selection(int, int* startOffset, int* endOffset) const override { *startOffset = *endOffset = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    // The reading position a screen reader sets and reads from; kept within the text as it changes.
    int cursorPosition() const override { return std::min(cursor_, characterCount()); }
    void setCursorPosition(int position) override { cursor_ = std::clamp(position, 0, characterCount()); }
    QString text(int startOffset, int endOffset) const override {
        const QString& all = page()->Speech().text;
        const auto start = std::clamp<qsizetype>(startOffset, 0, all.size());
        const auto end = std::clamp<qsizetype>(endOffset, start, all.size());
        return all.mid(start, end - start);
    }
    int characterCount() const override { return static_cast<int>(page()->Speech().text.size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* startOffset, int* endOffset) const override {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

private:
    const PageBox* page() const { return static_cast<const PageBox*>(widget()); }

    int cursor_ = 0;
};

QAccessibleInterface* pageAccessible(const QString& /*className*/, QObject* object) {
    if (auto* page = dynamic_cast<PageBox*>(object))
        return new PageAccessible(page);
    return nullptr;
}

} // namespace

PageBox::PageBox(QWidget* parent, Painter paint) : QWidget(parent), paint_(std::move(paint)) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(pageAccessible);
        return true;
    }();
    (void)factoryInstalled;
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::TabFocus);
}

void PageBox::SetSpeech(PageSpeech speech) {
    if (speech == speech_)
        return;
    const PageSpeech before = std::exchange(speech_, std::move(speech));
    if (before.name != speech_.name) {
        QAccessibleEvent change(this, QAccessible::NameChanged);
        send(change);
    }
    if (before.description != speech_.description) {
        QAccessibleEvent change(this, QAccessible::DescriptionChanged);
        send(change);
    }
    if (before.text != speech_.text) { // AT-SPI: "TextChanged", the old text deleted, the new inserted
        QAccessibleTextUpdateEvent change(this, 0, before.text, speech_.text);
        send(change);
    }
}

void PageBox::send(QAccessibleEvent& event) {
    if (announced)
        announced(event);
    QAccessible::updateAccessibility(&event);
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
