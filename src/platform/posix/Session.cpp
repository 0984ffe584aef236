// The program's surroundings the POSIX way: arguments and console are UTF-8 already.

#include "platform/Platform.h"

#include <cstdlib>
#include <cstring>

namespace zeb {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void UseUtf8Console() {}

void KeepLibrariesOutOfCurrentFolder() {}

bool DisplayAvailable() {
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        if (const char* value = std::getenv(variable); value != nullptr && *value != '\0')
            return true;
    return false;
}

} // namespace zeb
