#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zeb::cli {

// Longest name part kept in a file name, in bytes: two parts stay far below any file
// system's 255-byte limit, and a file manager still shows the whole name.
inline constexpr std::size_t PupilFileNamePartBytes = 60;

// The file a family receives: "NN-NOM-Prenom.pdf", NN the two-digit pupil number. The names
// (UTF-8) are trimmed and keep their accents; a character that a file system or a USB key
// refuses or that hides a path ("/", "\", control characters, ":*?\"<>|") and the dots a name
// starts with become "_", so the result is always one plain file name inside the folder. A
// part longer than PupilFileNamePartBytes is cut on a character boundary; an empty part is
// left out. The number keeps two pupils of the same name apart. The whole name is portable
// (PortableFileName).
std::string PupilFileName(int number, std::string_view surnameUtf8, std::string_view firstNameUtf8);

// A file name every system takes, whichever wrote it (a USB key goes from one to the other):
// Windows' device names (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, in any case, with or
// without an extension) get a "_" before them, and the dots and spaces a name ends with, which
// Windows drops, become "_".
std::string PortableFileName(std::string name);

} // namespace zeb::cli
