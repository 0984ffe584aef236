#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace zeb {

// The one crossing between the program's Windows-1252 texts and Qt's strings.
QString toQString(std::string_view cp1252);

// Characters Windows-1252 cannot hold become "?", as a Windows text field would keep them.
std::string fromQString(const QString& text);

} // namespace zeb
