#pragma once

#include "archive/Zip.h"

class QWidget;

namespace zeb {

// The component's questions in the program's message boxes and a hidden-text input box, captioned
// with the application's title.
class QtZipPrompts final : public ZipPrompts {
public:
    explicit QtZipPrompts(QWidget* parent = nullptr) : parent_(parent) {}

    MessageAnswer messageBox(const std::string& text, MessageButtons buttons, MessageIcon icon,
                             int defaultButton) override;
    std::optional<std::string> passwordBox(const std::string& prompt) override;
    void processPendingEvents() override;

private:
    QWidget* parent_;
};

} // namespace zeb
