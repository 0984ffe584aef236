#pragma once

// What the user and the window system do to a window, sent as they reach it: a key pressed, a
// close from the window manager, a window becoming the active one. Part of zeb_test_program.

#include <QWidget>
#include <chrono>

namespace zeb::test {

// A key pressed and released on `widget`, as when it has the keyboard's focus: a window's
// shortcuts are tried first, then the widget and its parents receive the key.
void KeyClick(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// A close asked by the window manager (close box, Alt+F4), as it reaches the window: through
// its native window, so that the window sees a close it did not ask for itself.
void CloseFromWindowManager(QWidget* window);

// Processes events until `window` is the active window, for the system and for Qt; false when
// it is not within `deadline`.
bool WaitForActiveWindow(QWidget* window, std::chrono::milliseconds deadline = std::chrono::seconds(5));

} // namespace zeb::test
