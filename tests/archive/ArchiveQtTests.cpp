#include "ScriptedPrompts.h"
#include "archive/qt/ProgressForm.h"
#include "archive/qt/QtZipPrompts.h"

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace zeb;
using namespace zeb::test;

namespace {

// Runs `check` on the modal dialog once it is up. Only for what the dialogs themselves are tested
// on (the box's caption, icon, buttons and close; the password dialog, which is Qt's own): an
// answer queued with MessageBox::setNextAnswer returns before any box is made.
void whenModal(std::function<void(QWidget*)> check) {
    QTimer::singleShot(0, [check = std::move(check)] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        check(modal);
    });
}

class ArchiveQtTest : public ::testing::Test {
protected:
    ScriptedPrompts prompts;
    FakeVolumes volumes;
    TZip zip{prompts, volumes};
};

} // namespace

TEST_F(ArchiveQtTest, ProgressFormLayoutAndCaption) {
    QMainWindow main;
    main.setGeometry(100, 80, 798, 596);
    TProgressForm form(zip, &main);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("ZEB v2"));
    EXPECT_EQ(form.size(), QSize(300, 100));
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(form.StatusLabel->text(), QStringLiteral("attendez ..."));
    EXPECT_EQ(form.StatusLabel->geometry().topLeft(), QPoint(10, 15));
    EXPECT_EQ(form.StatusLabel->width(), 280);
    EXPECT_EQ(form.ProgressBar->geometry().topLeft(), QPoint(10, 35));
    EXPECT_EQ(form.ProgressBar->width(), 280);
    EXPECT_EQ(form.CancelButton->text(), QStringLiteral("&Annuler"));
    EXPECT_EQ(form.CancelButton->y(), 60);
    EXPECT_EQ(form.CancelButton->x(), (300 - form.CancelButton->width()) / 2);
    EXPECT_TRUE(form.CancelButton->isDefault());
    // Centred over the main window.
    const QRect outer = form.frameGeometry();
    const QRect over = main.frameGeometry();
    EXPECT_EQ(outer.left(), over.left() + (over.width() - outer.width()) / 2);
    EXPECT_EQ(outer.top(), over.top() + (over.height() - outer.height()) / 2);
}

TEST_F(ArchiveQtTest, ProgressFormFollowsTheRun) {
    TProgressForm form(zip);
    form.SetMax(1000);
    form.SetPosition(500);
    EXPECT_EQ(form.ProgressBar->maximum(), 1000);
    EXPECT_EQ(form.ProgressBar->value(), 500);
    form.SetStatusText(
        "r\xE9sultats-de-la-classe-de-ce2-avec-un-nom-vraiment-tr\xE8s-long-pour-le-label.xml");
    EXPECT_EQ(form.StatusLabel->text().left(10), QStringLiteral("résultats-"));
    EXPECT_EQ(form.StatusLabel->x(), 10);
    EXPECT_EQ(form.StatusLabel->width(), 280);

    form.Show();
    EXPECT_TRUE(form.isVisible());
    form.CancelButton->click();
    EXPECT_TRUE(zip.Cancel);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(ArchiveQtTest, MessageBoxesAskWithTheApplicationTitle) {
    QtZipPrompts qtPrompts;
    whenModal([](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), QStringLiteral("ZEB v2"));
        EXPECT_EQ(box->text(), QStringLiteral("\"a.xml\" est corrompu ?"));
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        ASSERT_EQ(box->buttons().size(), 3);
        EXPECT_EQ(box->defaultButton()->text(), QStringLiteral("&Non"));
        box->defaultButton()->click();
    });
    EXPECT_EQ(qtPrompts.messageBox("\"a.xml\" est corrompu ?", MessageButtons::YesNoCancel,
                                   MessageIcon::Question, 2),
              MessageAnswer::No);

    whenModal([](QWidget* modal) { qobject_cast<QMessageBox*>(modal)->reject(); });
    EXPECT_EQ(qtPrompts.messageBox("x", MessageButtons::OkCancel, MessageIcon::Information, 1),
              MessageAnswer::Cancel);
}

TEST_F(ArchiveQtTest, PasswordIsTypedHidden) {
    QtZipPrompts qtPrompts;
    whenModal([](QWidget* modal) {
        auto* dialog = qobject_cast<QInputDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->textEchoMode(), QLineEdit::Password);
        EXPECT_EQ(dialog->labelText(), QStringLiteral("Un mot de passe ?"));
        dialog->setTextValue(QStringLiteral("sésame"));
        dialog->accept();
    });
    EXPECT_EQ(qtPrompts.passwordBox("Un mot de passe ?"), "sésame");
    whenModal([](QWidget* modal) { qobject_cast<QInputDialog*>(modal)->reject(); });
    EXPECT_EQ(qtPrompts.passwordBox("Un mot de passe ?"), std::nullopt); // cancelled: no answer at all
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("ZEB v2"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
