#include "MemberName.h"

#include "core/Cp1252.h"
#include "platform/Platform.h"
#include "zipformat/UnzDllMessages.h"

namespace zeb::unzdll {
namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

bool isControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

bool isAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

MemberPath ParseMemberName(std::string_view name) {
    MemberPath path;
    if (name.empty()) {
        path.refusal = UNZDLL_MSG_NAME_MALFORMED;
        return path;
    }
    for (char c : name) {
        if (isControl(c)) {
            path.refusal = UNZDLL_MSG_NAME_CONTROL;
            return path;
        }
    }
    if (isSeparator(name.front())) {
        path.refusal = UNZDLL_MSG_NAME_ABSOLUTE;
        return path;
    }
    if (name.size() >= 2 && isAsciiLetter(name[0]) && name[1] == ':') {
        path.refusal = UNZDLL_MSG_NAME_DRIVE;
        return path;
    }
    if (isSeparator(name.back())) {
        path.folder = true;
        name.remove_suffix(1);
    }

    // ".." decides before the other defects: it is the one that aims outside the folder.
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        std::size_t end = start;
        while (end < name.size() && !isSeparator(name[end]))
            ++end;
        parts.push_back(name.substr(start, end - start));
        if (end == name.size())
            break;
        start = end + 1;
    }
    for (std::string_view part : parts) {
        if (part == "..") {
            path.refusal = UNZDLL_MSG_NAME_PARENT;
            return path;
        }
    }
    for (std::string_view part : parts) {
        if (part.empty() || part == ".") {
            path.refusal = UNZDLL_MSG_NAME_MALFORMED;
            return path;
        }
    }
    path.parts.reserve(parts.size());
    for (std::string_view part : parts)
        path.parts.push_back(cp1252::toUtf8(part));
    // What the system itself cannot hold: a device, or a stream of another file, on Windows.
    for (const std::string& part : path.parts) {
        if (!ExtractionNameAllowed(part)) {
            path.refusal = UNZDLL_MSG_NAME_NOT_ALLOWED;
            path.parts.clear();
            return path;
        }
    }
    return path;
}

std::string PrintableName(std::string_view name) {
    std::string shown(name);
    for (char& c : shown)
        if (isControl(c))
            c = '?';
    return shown;
}

} // namespace zeb::unzdll
