#include "ExportScan.h"

#include <algorithm>

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

} // namespace zeb
