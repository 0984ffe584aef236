#include "ExportScan.h"

#include "Cp1252.h"

#include <algorithm>
#include <optional>

namespace zeb {
namespace fs = std::filesystem;

std::vector<std::string> DefaultSearchWords() {
    return {std::string(PupilWord), std::string(CodesWord)};
}

namespace {

constexpr char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
constexpr bool isLetter(char c) {
    return upper(c) >= 'A' && upper(c) <= 'Z';
}

bool matchesAt(std::string_view text, std::size_t at, std::string_view word) {
    for (std::size_t k = 0; k < word.size(); ++k)
        if (upper(text[at + k]) != upper(word[k]))
            return false;
    return true;
}

} // namespace

bool Contient(std::string_view text, std::string_view word) {
    if (word.empty())
        return true;
    if (word.size() > text.size())
        return false;
    const std::size_t last = text.size() - word.size();
    if (!isLetter(word.front())) {
        // The search words start with "<": let memchr find the candidates.
        for (std::size_t at = text.find(word.front()); at != std::string_view::npos && at <= last;
             at = text.find(word.front(), at + 1))
            if (matchesAt(text, at, word))
                return true;
        return false;
    }
    for (std::size_t at = 0; at <= last; ++at)
        if (matchesAt(text, at, word))
            return true;
    return false;
}

std::string_view ExtraireEntre(std::string_view text, std::string_view start, std::string_view end) {
    // Positions count from 1 and 0 means "absent", as the layout rules are written.
    const std::size_t found = start.empty() ? std::string_view::npos : text.find(start);
    const std::size_t p = found == std::string_view::npos ? 0 : found + 1;
    std::size_t restStart = std::max<std::size_t>(p + start.size(), 1);
    const std::string_view rest = text.substr(std::min(restStart - 1, text.size()));
    const std::size_t endFound = end.empty() ? std::string_view::npos : rest.find(end);
    const long long q = endFound == std::string_view::npos ? 0 : static_cast<long long>(endFound) + 1;
    const long long n = q - static_cast<long long>(end.size()) + 1;
    if (n <= 0)
        return {};
    return rest.substr(0, static_cast<std::size_t>(n));
}

std::string DecodeFirstNameEscapes(std::string_view firstName) {
    std::string out;
    out.reserve(firstName.size());
    for (std::size_t i = 0; i < firstName.size();) {
        if (firstName.compare(i, 4, "\\u00") == 0 && i + 6 <= firstName.size() &&
            (firstName[i + 4] == 'e' || firstName[i + 4] == 'E')) {
            char letter = 0;
            switch (firstName[i + 5]) {
            case '9':
                letter = '\xE9';
                break;
            case '8':
                letter = '\xE8';
                break;
            case 'a':
            case 'A':
                letter = '\xEA';
                break;
            case 'b':
            case 'B':
                letter = '\xEB';
                break;
            case '7':
                letter = '\xE7';
                break;
            case 'f':
            case 'F':
                letter = '\xEF';
                break;
            default:
                break;
            }
            if (letter != 0) {
                out += letter;
                i += 6;
                continue;
            }
        }
        out += firstName[i++];
    }
    return out;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size; ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n')
            continue;
        lines.push_back(text.substr(start, i - start));
        if (c == '\r' && i + 1 < size && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < size)
        lines.push_back(text.substr(start));
    return lines;
}

namespace {

// Pads with spaces up to the width and cuts anything longer, so that the fields after it
// stay at their fixed positions.
void appendField(std::string& out, std::string_view value, std::size_t width) {
    value = value.substr(0, std::min(value.size(), width));
    out.append(value);
    out.append(width - value.size(), ' ');
}

void appendPupilPart(std::string& out, std::string_view line, std::int32_t counter) {
    const std::string_view surname = ExtraireEntre(line, PupilWord, "--");
    const std::string firstName = DecodeFirstNameEscapes(ExtraireEntre(line, "--", " ("));
    if (counter < 10)
        out += '0';
    out += std::to_string(counter);
    appendField(out, surname, SurnameWidth);
    appendField(out, firstName, FirstNameWidth);
}

} // namespace

ScanResult ScanExport(const std::vector<std::string_view>& lines,
                      const std::vector<std::string>& searchWords) {
    ScanResult result;
    for (std::string_view line : lines) {
        for (const std::string& word : searchWords) {
            if (!Contient(line, word))
                continue;
            if (word == PupilWord) {
                ++result.PupilCounter;
                appendPupilPart(result.WorkFile, line, result.PupilCounter);
            } else {
                result.WorkFile.append(ExtraireEntre(line, CodesWord, "</REPONSES>"));
                result.WorkFile.append("\r\n");
            }
        }
    }
    return result;
}

namespace {

// The text of an element that opens and closes on `line`: after the first ">" that follows
// "<tag" (so attributes may stand between), up to "</tag>". Nothing when either is missing.
std::optional<std::string_view> elementText(std::string_view line, std::string_view tag) {
    const std::string open = "<" + std::string(tag);
    for (std::size_t at = line.find(open); at != std::string_view::npos; at = line.find(open, at + 1)) {
        const std::size_t after = at + open.size();
        if (after >= line.size() || (line[after] != '>' && line[after] != ' '))
            continue; // <ECOLE_ID> is another element than <ECOLE>
        const std::size_t start = line.find('>', after);
        const std::size_t end = line.find("</" + std::string(tag) + ">", after);
        if (start == std::string_view::npos || end == std::string_view::npos || end < start)
            return std::nullopt;
        return line.substr(start + 1, end - start - 1);
    }
    return std::nullopt;
}

// One character reference's Windows-1252 text ("?" for a character the code page lacks), or
// nothing when `reference` (between "&" and ";") is none.
std::optional<std::string> referenced(std::string_view reference) {
    static constexpr std::pair<std::string_view, char> Named[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& [name, character] : Named)
        if (reference == name)
            return std::string(1, character);
    if (reference.size() < 2 || reference.size() > 8 || reference[0] != '#')
        return std::nullopt;
    const bool hex = reference[1] == 'x' || reference[1] == 'X';
    std::uint32_t code = 0;
    const std::string_view digits = reference.substr(hex ? 2 : 1);
    if (digits.empty())
        return std::nullopt;
    for (const char c : digits) {
        const int value = c >= '0' && c <= '9'          ? c - '0'
                          : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                        : -1;
        if (value < 0)
            return std::nullopt;
        code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(value);
    }
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return std::string(1, '?');
    std::string utf8;
    if (code < 0x80) {
        utf8 += static_cast<char>(code);
    } else if (code < 0x800) {
        utf8 += static_cast<char>(0xC0 | (code >> 6));
        utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        utf8 += static_cast<char>(0xE0 | (code >> 12));
        utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        utf8 += static_cast<char>(0xF0 | (code >> 18));
        utf8 += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        utf8 += static_cast<char>(0x80 | (code & 0x3F));
    }
    return cp1252::fromUtf8Lenient(utf8);
}

std::string classText(std::string_view raw) {
    std::string text;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '&') {
            const std::size_t end = raw.find(';', i + 1);
            if (end != std::string_view::npos)
                if (const std::optional<std::string> decoded = referenced(raw.substr(i + 1, end - i - 1))) {
                    text += *decoded;
                    i = end;
                    continue;
                }
        }
        text += raw[i];
    }
    text = DecodeFirstNameEscapes(text);
    // Control characters, written as they stand or as references, would reach a page or a
    // terminal: they become spaces.
    for (char& c : text)
        if (const auto byte = static_cast<unsigned char>(c); byte < 0x20 || byte == 0x7F)
            c = ' ';
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

} // namespace

ClassInfo ReadClassInfo(const std::vector<std::string_view>& lines) {
    std::optional<std::string> name, school, teacher;
    const auto take = [](std::optional<std::string>& field, std::string_view line, std::string_view tag) {
        if (!field)
            if (const std::optional<std::string_view> raw = elementText(line, tag))
                field = classText(*raw);
    };
    for (const std::string_view line : lines) {
        if (Contient(line, PupilWord))
            break;
        take(name, line, "NOM_CLASSE");
        take(school, line, "ECOLE");
        take(teacher, line, "ENSEIGNANT");
    }
    ClassInfo info;
    info.ClassName = name.value_or("");
    info.School = school.value_or("");
    info.Teacher = teacher.value_or("");
    return info;
}

} // namespace zeb
