#include "QtZipPrompts.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <vector>

namespace zeb {

MessageAnswer QtZipPrompts::messageBox(const std::string& text, MessageButtons buttons, MessageIcon icon,
                                       int defaultButton) {
    QMessageBox box(parent_);
    box.setWindowTitle(QApplication::applicationDisplayName());
    box.setText(QString::fromStdString(text));
    box.setIcon(icon == MessageIcon::Information ? QMessageBox::Information
                : icon == MessageIcon::Question  ? QMessageBox::Question
                                                 : QMessageBox::Critical);
    std::vector<std::pair<QPushButton*, MessageAnswer>> choices;
    auto add = [&](const QString& label, QMessageBox::ButtonRole role, MessageAnswer answer) {
        choices.emplace_back(box.addButton(label, role), answer);
    };
    switch (buttons) {
    case MessageButtons::Ok:
        add(QStringLiteral("OK"), QMessageBox::AcceptRole, MessageAnswer::Ok);
        break;
    case MessageButtons::OkCancel:
        add(QStringLiteral("OK"), QMessageBox::AcceptRole, MessageAnswer::Ok);
        add(QStringLiteral("Annuler"), QMessageBox::RejectRole, MessageAnswer::Cancel);
        break;
    case MessageButtons::YesNoCancel:
        add(QStringLiteral("&Oui"), QMessageBox::YesRole, MessageAnswer::Yes);
        add(QStringLiteral("&Non"), QMessageBox::NoRole, MessageAnswer::No);
        add(QStringLiteral("Annuler"), QMessageBox::RejectRole, MessageAnswer::Cancel);
        break;
    }
    const auto index =
        static_cast<std::size_t>(std::clamp(defaultButton, 1, static_cast<int>(choices.size())) - 1);
    box.setDefaultButton(choices[index].first);
    box.setEscapeButton(choices.back().first);
    box.exec();
    for (const auto& [button, answer] : choices)
        if (box.clickedButton() == button)
            return answer;
    return choices.back().second; // closed without a button: the last, cancelling choice
}

std::optional<std::string> QtZipPrompts::passwordBox(const std::string& prompt) {
    bool accepted = false;
    const QString answer =
        QInputDialog::getText(parent_, QApplication::applicationDisplayName(), QString::fromStdString(prompt),
                              QLineEdit::Password, QString(), &accepted);
    if (!accepted)
        return std::nullopt;
    return answer.toStdString();
}

void QtZipPrompts::processPendingEvents() {
    QCoreApplication::processEvents();
}

} // namespace zeb
