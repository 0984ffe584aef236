#include "MessageBox.h"

#include <QMessageBox>
#include <QPushButton>
#include <deque>
#include <utility>
#include <vector>

namespace zeb {
namespace {

std::deque<MessageBox::Answer>& queuedAnswers() {
    static std::deque<MessageBox::Answer> answers;
    return answers;
}

QString& lastAsked() {
    static QString text;
    return text;
}

bool unsafe(QChar c) {
    const char16_t u = c.unicode();
    if (u == u'\n')
        return false;
    // Embeddings, overrides and isolates reorder what follows them on the line.
    const bool directionControl = (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
    return c.category() == QChar::Other_Control || directionControl;
}

QString label(MessageBox::Answer answer) {
    switch (answer) {
    case MessageBox::Answer::Ok:
        return QStringLiteral("OK");
    case MessageBox::Answer::Cancel:
        return QStringLiteral("Annuler");
    case MessageBox::Answer::Yes:
        return QStringLiteral("&Oui");
    case MessageBox::Answer::No:
        return QStringLiteral("&Non");
    }
    return {};
}

QMessageBox::ButtonRole role(MessageBox::Answer answer) {
    switch (answer) {
    case MessageBox::Answer::Ok:
        return QMessageBox::AcceptRole;
    case MessageBox::Answer::Yes:
        return QMessageBox::YesRole;
    case MessageBox::Answer::No:
        return QMessageBox::NoRole;
    case MessageBox::Answer::Cancel:
        break;
    }
    return QMessageBox::RejectRole;
}

QMessageBox::Icon qtIcon(MessageBox::Icon icon) {
    switch (icon) {
    case MessageBox::Icon::Information:
        return QMessageBox::Information;
    case MessageBox::Icon::Question:
        return QMessageBox::Question;
    case MessageBox::Icon::Critical:
        break;
    }
    return QMessageBox::Critical;
}

} // namespace

QString ApplicationTitle() {
    return QStringLiteral("ZEB v2");
}

QString PrintableText(const QString& text) {
    QString safe = text;
    for (QChar& c : safe)
        if (unsafe(c))
            c = QChar::ReplacementCharacter;
    return safe;
}

MessageBox::Answer MessageBox::ask(QWidget* parent, Icon icon, const QString& text,
                                   const std::vector<Answer>& buttons, Answer defaultButton) {
    lastAsked() = PrintableText(text);
    if (!queuedAnswers().empty()) {
        const Answer answer = queuedAnswers().front();
        queuedAnswers().pop_front();
        return answer;
    }
    QMessageBox box(qtIcon(icon), ApplicationTitle(), lastAsked(), QMessageBox::NoButton, parent);
    // A name between angle brackets must not turn the message into markup.
    box.setTextFormat(Qt::PlainText);
    std::vector<std::pair<QPushButton*, Answer>> choices;
    for (Answer answer : buttons) {
        QPushButton* button = box.addButton(label(answer), role(answer));
        choices.emplace_back(button, answer);
        if (answer == defaultButton)
            box.setDefaultButton(button);
    }
    if (choices.empty())
        choices.emplace_back(box.addButton(label(Answer::Ok), role(Answer::Ok)), Answer::Ok);
    box.setEscapeButton(choices.back().first);
    box.exec();
    for (const auto& [button, answer] : choices)
        if (box.clickedButton() == button)
            return answer;
    return choices.back().second;
}

void MessageBox::critical(QWidget* parent, const QString& text) {
    ask(parent, Icon::Critical, text, {Answer::Ok}, Answer::Ok);
}

void MessageBox::setNextAnswer(Answer answer) {
    queuedAnswers().push_back(answer);
}

QString MessageBox::lastText() {
    return lastAsked();
}

} // namespace zeb
