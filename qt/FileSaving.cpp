#include "FileSaving.h"

#include "NativePath.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUuid>

#include <system_error>
#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

// QSaveFile replaces a file through a temporary name of the target's name and
// seven characters more, which a name near the system's 255-byte limit cannot take.
constexpr qsizetype LongestNameWithRoom = 255 - 7;

bool WriteAndCommit(const QString& path, std::span<const std::uint8_t> bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const auto size = static_cast<qint64>(bytes.size());
    if (file.write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
        file.cancelWriting();
    }
    return file.commit(); // flushed to the disk before it takes the target's place
}

// For a name QSaveFile cannot work with: the data goes to a short new name
// beside the target, which then takes the target's place and its permissions.
bool ReplaceThroughShortName(const fs::path& target, std::span<const std::uint8_t> bytes) {
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    if (!QtCanName(folder)) {
        return false;
    }
    const QString beside = ToQString(folder) + QStringLiteral("/.vektal-") +
                           QUuid::createUuid().toString(QUuid::Id128).left(12);
    if (!WriteAndCommit(beside, bytes)) {
        return false;
    }
    std::error_code ec;
    if (const auto existing = fs::status(target, ec); fs::exists(existing)) {
        fs::permissions(ToPath(beside), existing.permissions(), ec);
    }
    ec.clear();
    fs::rename(ToPath(beside), target, ec);
    if (ec) {
        QFile::remove(beside);
        return false;
    }
    return true;
}

bool UserMayWrite(const fs::path& path) {
#ifdef Q_OS_WIN
    return QFileInfo(ToQString(path)).isWritable();
#else
    return ::access(path.c_str(), W_OK) == 0;
#endif
}

} // namespace

bool CanSaveTo(const fs::path& path) {
    std::error_code ec;
    const auto status = fs::status(path, ec);
    if (fs::exists(status)) {
        return fs::is_regular_file(status) && UserMayWrite(path);
    }
    const fs::path folder = fs::absolute(path, ec).parent_path();
    return fs::is_directory(folder, ec) && UserMayWrite(folder);
}

SaveOutcome SaveDeviceImage(const ProgramImages& images, const fs::path& path) {
    // A device, a pipe or a folder must not become a plain file, and a file
    // the user may not write must not be replaced through its folder.
    std::error_code ec;
    const bool exists = fs::exists(fs::status(path, ec));
    if (exists && !CanSaveTo(path)) {
        return SaveOutcome::Failed;
    }
    const auto bytes = SavedBytes(images);
    fs::path real = path;
    if (exists) {
        real = fs::canonical(path, ec); // where a link leads
        if (ec) {
            return SaveOutcome::Failed;
        }
    }
    if (!QtCanName(path) ||
        (exists && QFile::encodeName(ToQString(real.filename())).size() > LongestNameWithRoom)) {
        return ReplaceThroughShortName(real, bytes) ? SaveOutcome::Saved : SaveOutcome::Failed;
    }
    return WriteAndCommit(ToQString(path), bytes) ? SaveOutcome::Saved : SaveOutcome::Failed;
}

SaveOutcome SaveDeviceImage(const ProgramImages& images, const QString& path) {
    return SaveDeviceImage(images, ToPath(path));
}
