#include "Cp1252.h"

#include <array>
#include <cstdint>
#include <stdexcept>

namespace zeb::cp1252 {
namespace {

// Code points of bytes 80..9F; the undefined ones map to the C1 control of the same value.
constexpr std::array<char32_t, 32> HighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t codePointOf(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F)
        return HighControls[byte - 0x80u];
    return byte;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

unsigned char byteOf(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<unsigned char>(cp);
    for (std::size_t i = 0; i < HighControls.size(); ++i)
        if (HighControls[i] == cp)
            return static_cast<unsigned char>(0x80 + i);
    throw std::invalid_argument("character U+" + std::to_string(static_cast<std::uint32_t>(cp)) +
                                " has no Windows-1252 byte");
}

// The character of the UTF-8 sequence at `i`, with its length in bytes; a length of 0 when
// the bytes there are no well-formed character. Overlong forms and surrogates are not text
// (they are how a filter is slipped past).
struct Utf8Char {
    char32_t cp;
    std::size_t length;
};

Utf8Char decodeUtf8At(std::string_view utf8, std::size_t i) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = lead < 0x80                    ? 1
                               : lead >= 0xC2 && lead <= 0xDF ? 2
                               : (lead >> 4) == 0xE           ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    if (length == 0 || i + length > utf8.size())
        return {0, 0};
    char32_t cp = length == 1 ? char32_t{lead} : static_cast<char32_t>(lead & (0x7Fu >> length));
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(utf8[i + k]);
        if ((next & 0xC0) != 0x80)
            return {0, 0};
        cp = (cp << 6) | (next & 0x3Fu);
    }
    if ((length == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
        (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
        return {0, 0};
    return {cp, length};
}

} // namespace

std::string toUtf8(std::string_view cp1252) {
    std::string out;
    out.reserve(cp1252.size() + cp1252.size() / 8);
    for (char c : cp1252)
        appendUtf8(out, codePointOf(static_cast<unsigned char>(c)));
    return out;
}

namespace {

// Strict: throws on malformed UTF-8 or a character the code page lacks. Lenient: such a
// character, or a malformed byte, becomes "?".
std::string convertFromUtf8(std::string_view utf8, bool lenient) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto [cp, length] = decodeUtf8At(utf8, i);
        if (length == 0) {
            if (!lenient)
                throw std::invalid_argument("malformed UTF-8");
            out += '?';
            ++i;
            continue;
        }
        try {
            out += static_cast<char>(byteOf(cp));
        } catch (const std::invalid_argument&) {
            if (!lenient)
                throw;
            out += '?';
        }
        i += length;
    }
    return out;
}

} // namespace

std::string fromUtf8(std::string_view utf8) {
    return convertFromUtf8(utf8, false);
}

std::string fromUtf8Lenient(std::string_view utf8) {
    return convertFromUtf8(utf8, true);
}

} // namespace zeb::cp1252

namespace zeb {
namespace {

bool isControl(char32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F);
}

} // namespace

std::string PrintableText(std::string_view cp1252) {
    std::string out;
    out.reserve(cp1252.size() + cp1252.size() / 8);
    for (char c : cp1252) {
        const char32_t cp = cp1252::codePointOf(static_cast<unsigned char>(c));
        if (isControl(cp))
            out += UnprintableMark;
        else
            cp1252::appendUtf8(out, cp);
    }
    return out;
}

namespace {

// Characters that reorder the text shown around them (explicit embeddings, overrides and
// isolates, and the invisible direction marks): a name holding one could make a message read
// other than it is written.
bool isBidiControl(char32_t cp) {
    return (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069) || cp == 0x200E || cp == 0x200F ||
           cp == 0x061C;
}

std::string printable(std::string_view utf8, bool keepLineFeeds) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto [cp, length] = cp1252::decodeUtf8At(utf8, i);
        if (length == 0) {
            out += UnprintableMark;
            ++i;
        } else if ((cp == '\n' && !keepLineFeeds) || (cp != '\n' && isControl(cp)) || isBidiControl(cp)) {
            out += UnprintableMark;
            i += length;
        } else {
            out.append(utf8.substr(i, length));
            i += length;
        }
    }
    return out;
}

} // namespace

std::string PrintableUtf8(std::string_view utf8) {
    return printable(utf8, true);
}

std::string PrintableName(std::string_view utf8) {
    return printable(utf8, false);
}

std::string FileNameText(std::string_view cp1252) {
    std::string name(cp1252);
    for (char& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 ||
            byte == 0x9D || std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos)
            c = '_';
    }
    return name;
}

} // namespace zeb
