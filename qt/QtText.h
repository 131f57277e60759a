#pragma once

// The operator texts are UTF-8; Qt wants QString.

#include <QString>

#include <string>
#include <string_view>

inline QString Q(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline std::string U8(const QString& text) {
    return text.toUtf8().toStdString();
}
