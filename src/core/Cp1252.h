#pragma once

#include <string>
#include <string_view>

namespace zeb::cp1252 {

// Windows-1252 bytes to UTF-8. The five bytes the code page leaves undefined (81, 8D, 8F,
// 90, 9D) become the C1 control characters of the same value, as Windows itself does.
std::string toUtf8(std::string_view cp1252);

// UTF-8 to Windows-1252. Throws std::invalid_argument for malformed UTF-8 or a character
// the code page cannot hold: the program's own texts are all representable, so this is a
// programming error there and bad input elsewhere.
std::string fromUtf8(std::string_view utf8);

// UTF-8 typed by the user to Windows-1252: a character the code page cannot hold becomes
// "?", as a Windows text field would keep it.
std::string fromUtf8Lenient(std::string_view utf8);

} // namespace zeb::cp1252

namespace zeb {

// What stands for a character that must not reach a terminal or a message box.
inline constexpr char UnprintableMark = '?';

// Windows-1252 bytes (a pupil's name, a member's name) as UTF-8 that is safe to show: the C0
// controls, DEL and the five undefined bytes (which would come out as C1 controls) become
// UnprintableMark, so a name cannot carry an escape sequence to the terminal. The other bytes
// 80..9F are ordinary characters of the code page (€ ‚ ƒ …) and stay.
std::string PrintableText(std::string_view cp1252);

// The same for a UTF-8 message that may quote such names: C0 controls but the line feed, DEL,
// the C1 controls U+0080..U+009F, the bidirectional controls (embeddings, overrides, isolates,
// direction marks) and malformed bytes become UnprintableMark. Line feeds stay, since messages
// are written on several lines on purpose.
std::string PrintableUtf8(std::string_view utf8);

// A Windows-1252 text as part of a file or folder name that every system takes: what separates
// folders or what Windows refuses in a name (/ \ : * ? " < > |), the control characters, DEL and
// the five bytes the code page leaves undefined become "_". Ends and reserved names are the
// caller's, who knows what the name starts and ends with.
std::string FileNameText(std::string_view cp1252);

// The same for one name put in a message (a file, a folder, a class, a pupil): its line feeds
// become UnprintableMark too, so a name cannot pass for a line of the message.
std::string PrintableName(std::string_view utf8);

} // namespace zeb
