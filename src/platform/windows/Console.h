#pragma once

namespace zeb::windows {

// Gives the console back the code page it had before UseUtf8Console, for the shell that goes on
// with it; run at exit, and by the ends that skip the exit's handlers.
void PutConsoleBack();

} // namespace zeb::windows
