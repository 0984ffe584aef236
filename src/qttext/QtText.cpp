#include "QtText.h"

#include "core/Cp1252.h"

#include <string>

namespace zeb {

QString toQString(std::string_view cp1252) {
    const std::string utf8 = cp1252::toUtf8(cp1252);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string fromQString(const QString& text) {
    return cp1252::fromUtf8Lenient(text.toStdString());
}

} // namespace zeb
