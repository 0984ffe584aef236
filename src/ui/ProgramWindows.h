#pragma once

#include "core/ProgramState.h"
#include "ui/AppWindows.h"

#include <filesystem>
#include <memory>

class QApplication;

namespace zeb {

class TForm1;
class TForm3;
class TAboutBox;
class TForm4;

// The application's name (which names the data folder), desktop entry and icon.
void SetApplicationIdentity();

// What the application is before any window: its identity, Qt's own texts in French, and
// Enter pressing the focused button in every window. The title "ZEB v2" is not Qt's
// application display name, which would be appended to every window's caption.
void PrepareApplication(QApplication& application);

// The program-wide state and the windows, created in the program's order (main window,
// selection, preview, help box, objectives), each living until this object goes; none shown.
class ProgramWindows {
public:
    explicit ProgramWindows(std::filesystem::path programFolder = DefaultProgramFolder());
    ~ProgramWindows();
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;

    // The user's own data folder: the work folder TMP and the extraction go there.
    static std::filesystem::path DefaultProgramFolder();

    ProgramState& state() { return *state_; }
    AppWindows& windows() { return windows_; }
    TForm1& form1() { return *form1_; }
    TAboutBox& aboutBox() { return *aboutBox_; }
    TForm4& form4() { return *form4_; }

private:
    std::unique_ptr<ProgramState> state_;
    AppWindows windows_;
    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<TForm2> form2_;
    std::unique_ptr<TForm3> form3_;
    std::unique_ptr<TAboutBox> aboutBox_;
    std::unique_ptr<TForm4> form4_;
};

} // namespace zeb
