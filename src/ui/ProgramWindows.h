#pragma once

#include "core/ProgramState.h"
#include "ui/AppWindows.h"

#include <memory>

namespace zeb {

// The application's name, title "ZEB v2" (task bar, message boxes, progress dialog) and icon.
void SetApplicationIdentity();

// The program-wide state and the windows, created in the program's order (main window,
// selection, preview, help box, objectives), each living until this object goes; none shown.
class ProgramWindows {
public:
    ProgramWindows();
    ~ProgramWindows();
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;

    ProgramState& state() { return *state_; }
    AppWindows& windows() { return windows_; }

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
