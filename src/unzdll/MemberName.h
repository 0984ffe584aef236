#pragma once

// Where a member goes on disk, decided from its name alone. The names are those the caller
// lists: Windows-1252, with "\" between the parts of the path.

#include <string>
#include <string_view>
#include <vector>

namespace zeb::unzdll {

struct MemberPath {
    int refusal = 0;                // an UnzDllMessage when the name is refused, else 0
    bool folder = false;            // the name ends with a separator: the member is a folder
    std::vector<std::string> parts; // UTF-8, one per folder level, the file's own name last
};

MemberPath ParseMemberName(std::string_view name);

// The name as it may appear in a message: control characters, NUL included, become "?".
std::string PrintableName(std::string_view name);

} // namespace zeb::unzdll
