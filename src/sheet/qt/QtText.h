#pragma once

#include <QString>
#include <string_view>

namespace zeb {

// The one crossing from the program's Windows-1252 texts to Qt's strings.
QString toQString(std::string_view cp1252);

} // namespace zeb
