#pragma once

#include "ProgramState.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zeb {

// The words that recognise a pupil identification line and a codes line, in this order.
inline constexpr std::string_view PupilWord = "<MELEVE_MID>";
inline constexpr std::string_view CodesWord = "<MCODES>";
std::vector<std::string> DefaultSearchWords();

inline constexpr std::size_t SurnameWidth = 25;
inline constexpr std::size_t FirstNameWidth = 15;

// True when the upper-cased word occurs in the upper-cased text (letters a..z only).
bool Contient(std::string_view text, std::string_view word);

// Case-sensitive cut of a line: `rest` is the text after the first `start` marker (from
// position length(start) when the marker is absent); the result is the first
// q - length(end) + 1 characters of `rest`, q being the 1-based position of `end` in it
// (0 when absent), and empty when that count is not positive. With two-character end
// markers this is exactly the text between the markers.
std::string_view ExtraireEntre(std::string_view text, std::string_view start, std::string_view end);

// Replaces the six escapes \u00e9 \u00e8 \u00ea \u00eb \u00e7 \u00ef (hex letters in either
// case) by their Windows-1252 letter; everything else is left as it is.
std::string DecodeFirstNameEscapes(std::string_view firstName);

// Splits a document into lines at CR, LF or CR LF; a final line end opens no extra line.
std::vector<std::string_view> SplitLines(std::string_view text);

struct ScanResult {
    std::string WorkFile;          // contents of temp.txt
    std::int32_t PupilCounter = 0; // pupil identification lines met
};

// Turns the export document's lines into the work file: per identification line the
// 42-character pupil part (number, surname, first name, each cut or padded to its width),
// per codes line the codes and CR LF.
ScanResult ScanExport(const std::vector<std::string_view>& lines,
                      const std::vector<std::string>& searchWords);

// What the export says of the class before its first pupil: the contents of the first
// <NOM_CLASSE>, <ECOLE ...> and <ENSEIGNANT> elements written on one line each, with their
// character references (&amp; &#233; …) and the first-name escapes decoded, line ends and
// other control characters made spaces, outer spaces trimmed, each cut to its capacity.
// What it does not say stays empty.
ClassInfo ReadClassInfo(const std::vector<std::string_view>& lines);

} // namespace zeb
