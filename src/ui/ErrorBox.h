#pragma once

#include <QWidget>
#include <exception>
#include <string>
#include <utility>

namespace zeb {

// The application's error message: a message box captioned with the application's title.
void ShowError(QWidget* parent, const std::string& message);

// Runs a window's handler as the program's event loop does: a failure ends the handler where
// it stands and is shown in the error box; the program goes on.
template <typename Handler> void Guarded(QWidget* parent, Handler&& handler) {
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception& error) {
        ShowError(parent, error.what());
    }
}

} // namespace zeb
