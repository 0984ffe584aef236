#pragma once

#include <QLineEdit>

namespace zeb {

// The pupil's name box: reached with Tab it would select its whole text and scroll to its end,
// showing the first name's padding instead of the name. It keeps its start in view instead.
// Nothing is typed there: the arrows scroll the page, as everywhere else in the window.
class NameBox final : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void focusInEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;
};

} // namespace zeb
