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
