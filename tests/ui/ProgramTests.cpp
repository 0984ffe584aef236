// The application as a whole: what every window shares.

#include "ProgramTest.h"
#include "qtkit/MessageBox.h"
#include "ui/Maj.h"
#include "ui/Zeb4.h"
#include "ui/Zebproj.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace zeb;
using namespace zeb::test;

namespace {

TEST(ApplicationTest, QtsOwnTextsAreFrench) {
    QDialogButtonBox buttons(QDialogButtonBox::Open | QDialogButtonBox::Cancel);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Open)->text(), QStringLiteral("Ouvrir"));
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Annuler"));
    QLineEdit edit;
    const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QString texts;
    for (const QAction* action : menu->actions())
        texts += action->text() + QLatin1Char('|');
    EXPECT_TRUE(texts.contains(QStringLiteral("Cop&ier\tCtrl+C|"))) << texts.toStdString();
}

class WindowsTest : public ProgramTest {};

// Enter (either key) presses the focused button, whichever window it is in.
TEST_F(WindowsTest, EnterPressesTheFocusedButton) {
    struct Case {
        QWidget* window;
        QAbstractButton* button;
        Qt::Key key;
        std::function<bool()> pressed;
    };
    const std::vector<Case> cases{
        {&form1(), form1().BitBtn2, Qt::Key_Return, [this] { return form4().isVisible(); }},
        {&form4(), form4().Retour, Qt::Key_Enter,
         [this] { return form1().isVisible() && !form4().isVisible(); }},
        {&about(), about().OKButton, Qt::Key_Return, [this] { return !about().isVisible(); }},
    };
    for (const Case& c : cases) {
        c.window->show();
        QApplication::setActiveWindow(c.window);
        c.button->setFocus();
        ASSERT_TRUE(c.button->hasFocus()) << c.button->text().toStdString();
        QKeyEvent press(QEvent::KeyPress, c.key,
                        c.key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        QCoreApplication::sendEvent(c.button, &press);
        EXPECT_TRUE(c.pressed()) << c.button->text().toStdString();
    }
}

// What reaches a message box from a pupil's or a member's name cannot drive the display.
TEST(MessageBoxTest, ControlCharactersAreReplacedLineBreaksKept) {
    const QChar bad = QChar::ReplacementCharacter;
    const std::vector<std::pair<QString, QString>> cases{
        {QStringLiteral("DUPONT\x1b]0;titre\x07 Léa"),
         QStringLiteral("DUPONT") + bad + QStringLiteral("]0;titre") + bad + QStringLiteral(" Léa")},
        {QStringLiteral("a\r\nb\tc\x7f"),
         QStringLiteral("a") + bad + QStringLiteral("\nb") + bad + QStringLiteral("c") + bad},
        {QString::fromUtf8("\u202Egpj.exe \u0085x"),
         QString(bad) + QStringLiteral("gpj.exe ") + bad + QStringLiteral("x")},
        {QStringLiteral("Œuvre « à € » …"), QStringLiteral("Œuvre « à € » …")},
    };
    for (const auto& [text, shown] : cases)
        EXPECT_EQ(PrintableText(text), shown) << text.toStdString();
}

TEST(MessageBoxTest, TheBoxShowsPlainSafeTextUnderTheTitle) {
    QString title, text;
    Qt::TextFormat format = Qt::AutoText;
    // The box itself is what is tested: shown for real, read and closed once its loop runs. A
    // queued answer would return before any box is made.
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        format = box->textFormat();
        box->escapeButton()->click();
    });
    EXPECT_EQ(MessageBox::ask(nullptr, MessageBox::Icon::Question, QStringLiteral("<b>X</b>\x1b[2J ?"),
                              {MessageBox::Answer::Yes, MessageBox::Answer::No}, MessageBox::Answer::Yes),
              MessageBox::Answer::No);
    EXPECT_EQ(title, QStringLiteral("ZEB v2"));
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(text, QStringLiteral("<b>X</b>") + QChar::ReplacementCharacter + QStringLiteral("[2J ?"));

    MessageBox::setNextAnswer(MessageBox::Answer::Cancel); // answered without a box
    EXPECT_EQ(MessageBox::ask(nullptr, MessageBox::Icon::Information, QStringLiteral("Suite ?"),
                              {MessageBox::Answer::Ok, MessageBox::Answer::Cancel}, MessageBox::Answer::Ok),
              MessageBox::Answer::Cancel);
    EXPECT_EQ(MessageBox::lastText(), QStringLiteral("Suite ?"));
}

} // namespace
