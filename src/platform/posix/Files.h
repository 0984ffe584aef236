#pragma once

// What the POSIX side's files share between its parts.

#include <filesystem>
#include <string>

namespace zeb::posix {

// The start of the hidden name a file is written under before it takes its own: a dot and the
// name, cut (on a character's boundary) so that what is added after it still fits in a name.
inline std::string HiddenStem(const std::filesystem::path& file) {
    std::string name = file.filename().string();
    constexpr std::size_t Longest = 200;
    if (name.size() > Longest) {
        std::size_t end = Longest;
        while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
            --end;
        name.resize(end);
    }
    return "." + name;
}

} // namespace zeb::posix
