#include "QtText.h"

#include "core/Cp1252.h"

#include <QList>
#include <stdexcept>
#include <string>

namespace zeb {

QString toQString(std::string_view cp1252) {
    const std::string utf8 = cp1252::toUtf8(cp1252);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string fromQString(const QString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (const char32_t codePoint : text.toUcs4()) {
        const std::string utf8 = QString::fromUcs4(&codePoint, 1).toStdString();
        try {
            out += cp1252::fromUtf8(utf8);
        } catch (const std::invalid_argument&) {
            out += '?';
        }
    }
    return out;
}

} // namespace zeb
