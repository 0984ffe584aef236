#pragma once

#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

namespace zeb {

// The one crossing between the program's Windows-1252 texts and Qt's strings.
QString toQString(std::string_view cp1252);

// Characters Windows-1252 cannot hold become "?", as a Windows text field would keep them.
std::string fromQString(const QString& text);

// The one crossing between Qt's strings and paths: a file name chosen in a dialog, dropped on
// a window or given as an argument keeps every character (C:\Users\Hélène), which a detour
// through the system's narrow code page would lose on Windows.
std::filesystem::path PathFromQString(const QString& text);
QString QStringFromPath(const std::filesystem::path& path);

} // namespace zeb
