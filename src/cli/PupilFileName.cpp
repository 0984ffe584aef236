#include "PupilFileName.h"

#include <algorithm>
#include <cstdio>

namespace zeb::cli {
namespace {

bool isSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isSpace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// The length of the UTF-8 sequence that starts with `lead`; 1 for a stray byte.
std::size_t sequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8)
        return 4;
    if (lead >= 0xE0)
        return lead < 0xF0 ? 3 : 1;
    if (lead >= 0xC2)
        return 2;
    return 1;
}

std::string namePart(std::string_view text) {
    text = trimmed(text);
    std::string part;
    bool leading = true;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = std::min(sequenceLength(lead), text.size() - i);
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                length = k;
        if (part.size() + length > PupilFileNamePartBytes)
            break;
        std::string_view character = text.substr(i, length);
        i += length;
        // A C1 control character (U+0080..U+009F) is C2 80..C2 9F.
        const bool c1 = length == 2 && lead == 0xC2 && static_cast<unsigned char>(character[1]) < 0xA0;
        const bool refused =
            length == 1 && (lead < 0x20 || lead == 0x7F || lead >= 0x80 ||
                            std::string_view("/\\:*?\"<>|").find(character[0]) != std::string_view::npos);
        if (c1 || refused || (leading && character == "."))
            character = "_";
        leading = leading && character == "_";
        part.append(character);
    }
    // A cut may leave spaces at the end, which a file manager hides.
    while (!part.empty() && isSpace(static_cast<unsigned char>(part.back())))
        part.pop_back();
    return part;
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Windows opens the device whatever the extension, and whatever spaces follow the name.
bool isDeviceName(std::string_view name) {
    std::string base(name.substr(0, name.find('.')));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    std::transform(base.begin(), base.end(), base.begin(), upper);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL")
        return true;
    return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) && base[3] >= '1' &&
           base[3] <= '9';
}

} // namespace

std::string PortableFileName(std::string name) {
    for (auto end = name.rbegin(); end != name.rend() && (*end == '.' || *end == ' '); ++end)
        *end = '_';
    if (isDeviceName(name))
        name.insert(0, "_");
    return name;
}

std::string PupilFileName(int number, std::string_view surnameUtf8, std::string_view firstNameUtf8) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%02d", number);
    std::string name = prefix;
    for (std::string_view part : {surnameUtf8, firstNameUtf8})
        if (const std::string safe = namePart(part); !safe.empty())
            name.append("-").append(safe);
    return PortableFileName(name + ".pdf");
}

} // namespace zeb::cli
