#include "ProgramWindows.h"

#include "qttext/QtText.h"
#include "ui/Artwork.h"
#include "ui/Maj.h"
#include "ui/Zeb2.h"
#include "ui/Zeb3.h"
#include "ui/Zeb4.h"
#include "ui/Zebproj.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QPushButton>
#include <QStandardPaths>
#include <QToolButton>
#include <QTranslator>

namespace zeb {
namespace {

// Enter on a focused button presses it, in every window, as teachers used to other desktops
// expect; Qt would otherwise only press a dialog's default button.
class EnterPressesFocusedButton final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) || key->isAutoRepeat() ||
            (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (button == nullptr || !button->hasFocus() || !button->isEnabled() ||
            (qobject_cast<QPushButton*>(button) == nullptr && qobject_cast<QToolButton*>(button) == nullptr))
            return false;
        button->click();
        return true;
    }
};

void loadQtTranslations(QApplication& application) {
    auto* translator = new QTranslator(&application);
    if (translator->load(QStringLiteral("qtbase_fr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
    else
        delete translator; // English dialogs rather than no program
}

} // namespace

void SetApplicationIdentity() {
    QApplication::setApplicationName(QStringLiteral("zeb"));
    QApplication::setDesktopFileName(QStringLiteral("zeb06ce2"));
    QApplication::setWindowIcon(artwork::AppIcon());
}

void PrepareApplication(QApplication& application) {
    SetApplicationIdentity();
    loadQtTranslations(application);
    application.installEventFilter(new EnterPressesFocusedButton(&application));
}

std::filesystem::path ProgramWindows::DefaultProgramFolder() {
    // ~/.local/share/zeb on Linux, %LOCALAPPDATA%\zeb on Windows: the application's name, and no
    // organisation's, which would add a folder of its own.
    return PathFromQString(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
}

ProgramWindows::ProgramWindows(std::filesystem::path programFolder)
    : state_(std::make_unique<ProgramState>()) {
    windows_.State = state_.get();
    // The main window builds the reference tables; the objectives window, last, reads them.
    form1_ = std::make_unique<TForm1>(windows_, std::move(programFolder));
    windows_.Form1 = form1_.get();
    form2_ = std::make_unique<TForm2>(windows_);
    windows_.Form2 = form2_.get();
    form3_ = std::make_unique<TForm3>(windows_);
    windows_.Form3 = form3_.get();
    aboutBox_ = std::make_unique<TAboutBox>(windows_);
    windows_.AboutBox = aboutBox_.get();
    form4_ = std::make_unique<TForm4>(windows_);
    windows_.Form4 = form4_.get();
}

ProgramWindows::~ProgramWindows() = default;

} // namespace zeb
