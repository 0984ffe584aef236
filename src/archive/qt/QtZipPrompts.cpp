#include "QtZipPrompts.h"

#include "qtkit/MessageBox.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <algorithm>
#include <vector>

namespace zeb {
namespace {

MessageAnswer fromBox(MessageBox::Answer answer) {
    switch (answer) {
    case MessageBox::Answer::Ok:
        return MessageAnswer::Ok;
    case MessageBox::Answer::Yes:
        return MessageAnswer::Yes;
    case MessageBox::Answer::No:
        return MessageAnswer::No;
    case MessageBox::Answer::Cancel:
        break;
    }
    return MessageAnswer::Cancel;
}

std::vector<MessageBox::Answer> choices(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::Ok:
        return {MessageBox::Answer::Ok};
    case MessageButtons::OkCancel:
        return {MessageBox::Answer::Ok, MessageBox::Answer::Cancel};
    case MessageButtons::YesNoCancel:
        break;
    }
    return {MessageBox::Answer::Yes, MessageBox::Answer::No, MessageBox::Answer::Cancel};
}

} // namespace

MessageAnswer QtZipPrompts::messageBox(const std::string& text, MessageButtons buttons, MessageIcon icon,
                                       int defaultButton) {
    const std::vector<MessageBox::Answer> offered = choices(buttons);
    const auto index =
        static_cast<std::size_t>(std::clamp(defaultButton, 1, static_cast<int>(offered.size())) - 1);
    const MessageBox::Icon boxIcon = icon == MessageIcon::Information ? MessageBox::Icon::Information
                                     : icon == MessageIcon::Question  ? MessageBox::Icon::Question
                                                                      : MessageBox::Icon::Critical;
    return fromBox(MessageBox::ask(parent_, boxIcon, QString::fromStdString(text), offered, offered[index]));
}

std::optional<std::string> QtZipPrompts::passwordBox(const std::string& prompt) {
    QInputDialog box(parent_);
    box.setWindowTitle(ApplicationTitle());
    box.setLabelText(PrintableText(QString::fromStdString(prompt)));
    box.setTextEchoMode(QLineEdit::Password);
    // The field's name for a screen reader, rather than the whole prompt that labels it.
    if (auto* field = box.findChild<QLineEdit*>()) {
        field->setAccessibleName(QStringLiteral("Mot de passe"));
        field->setAccessibleDescription(box.labelText());
    }
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;
    return box.textValue().toStdString();
}

void QtZipPrompts::processPendingEvents() {
    QCoreApplication::processEvents();
}

} // namespace zeb
