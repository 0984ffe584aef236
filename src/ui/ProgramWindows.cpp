#include "ProgramWindows.h"

#include "ui/Artwork.h"
#include "ui/Maj.h"
#include "ui/Zeb2.h"
#include "ui/Zeb3.h"
#include "ui/Zeb4.h"
#include "ui/Zebproj.h"

#include <QApplication>

namespace zeb {

void SetApplicationIdentity() {
    QApplication::setApplicationName(QStringLiteral("zeb"));
    QApplication::setApplicationDisplayName(QStringLiteral("ZEB v2"));
    QApplication::setDesktopFileName(QStringLiteral("zeb06ce2"));
    QApplication::setWindowIcon(artwork::AppIcon());
}

ProgramWindows::ProgramWindows() : state_(std::make_unique<ProgramState>()) {
    windows_.State = state_.get();
    // The main window builds the reference tables; the objectives window, last, reads them.
    form1_ = std::make_unique<TForm1>(windows_);
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
