#include "QtText.h"

#include "core/Cp1252.h"
#include "platform/Platform.h"

#include <algorithm>
#include <string>

namespace zeb {

QString toQString(std::string_view cp1252) {
    // Most texts of the pages are plain ASCII, which reads the same in both: no detour.
    if (std::all_of(cp1252.begin(), cp1252.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return QString::fromLatin1(cp1252.data(), static_cast<qsizetype>(cp1252.size()));
    const std::string utf8 = cp1252::toUtf8(cp1252);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string fromQString(const QString& text) {
    return cp1252::fromUtf8Lenient(text.toStdString());
}

std::filesystem::path PathFromQString(const QString& text) {
    return PathFromUtf8(text.toStdString());
}

QString QStringFromPath(const std::filesystem::path& path) {
    return QString::fromStdString(Utf8FromPath(path));
}

} // namespace zeb
