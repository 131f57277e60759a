#pragma once

// A file's name as the system stores it (bytes on Linux, UTF-16 on Windows)
// and as Qt shows it. On Linux a name need not be valid UTF-8; Qt cannot
// spell such a name, and QtCanName says so.

#include <QFile>
#include <QString>

#include <filesystem>

inline QString ToQString(const std::filesystem::path& path) {
#ifdef Q_OS_WIN
    return QString::fromStdWString(path.native());
#else
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
#endif
}

inline std::filesystem::path ToPath(const QString& path) {
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

// Whether Qt's spelling of the name leads to the same file.
inline bool QtCanName(const std::filesystem::path& path) {
    return ToPath(ToQString(path)) == path;
}
