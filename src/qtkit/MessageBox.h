#pragma once

#include <QString>
#include <vector>

class QWidget;

namespace zeb {

// The application's title: caption of every message box and of the progress dialog. Not set
// as Qt's application display name, which the platform would append to every window caption.
QString ApplicationTitle();

// Text from outside (pupil names, archive member names) made safe to show: control and
// direction-override characters become U+FFFD; line breaks stay.
QString PrintableText(const QString& text);

// The program's one way of asking the user something in a box, with French buttons. A test
// queues the answers of the next boxes; a queued answer is returned without showing anything.
class MessageBox {
public:
    enum class Icon { Information, Question, Critical };
    enum class Answer { Ok, Cancel, Yes, No };

    // Buttons in the order given; the escape key and the close box give the last one.
    static Answer ask(QWidget* parent, Icon icon, const QString& text, const std::vector<Answer>& buttons,
                      Answer defaultButton);
    static void critical(QWidget* parent, const QString& text);

    static void setNextAnswer(Answer answer);
    // The text of the last box asked, shown or answered from the queue.
    static QString lastText();
};

} // namespace zeb
