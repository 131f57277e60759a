#include "FileSaving.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QUuid>

#include <filesystem>
#include <system_error>

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

// For such a name: the data goes to a short new name beside the target, which
// then takes the target's place and its permissions.
bool ReplaceThroughShortName(const QFileInfo& target, std::span<const std::uint8_t> bytes) {
    const QString beside = target.absoluteDir().filePath(
        QStringLiteral(".vektal-") + QUuid::createUuid().toString(QUuid::Id128).left(12));
    if (!WriteAndCommit(beside, bytes)) {
        return false;
    }
    std::error_code ec;
    if (QFile::setPermissions(beside, target.permissions())) {
        std::filesystem::rename(beside.toStdU16String(), target.filePath().toStdU16String(), ec);
    } else {
        ec = std::make_error_code(std::errc::operation_not_permitted);
    }
    if (ec) {
        QFile::remove(beside);
        return false;
    }
    return true;
}

} // namespace

bool CanSaveTo(const QString& path) {
    const QFileInfo target(path);
    if (target.exists()) {
        return target.isFile() && target.isWritable();
    }
    const QFileInfo folder(target.absolutePath());
    return folder.isDir() && folder.isWritable();
}

SaveOutcome SaveDeviceImage(const ProgramImages& images, const QString& path) {
    const QFileInfo target(path);
    // A device, a pipe or a folder must not become a plain file, and a file
    // the user may not write must not be replaced through its folder.
    if (target.exists() && (!target.isFile() || !target.isWritable())) {
        return SaveOutcome::Failed;
    }
    const auto bytes = SavedBytes(images);
    if (target.exists()) {
        const QFileInfo real(target.canonicalFilePath()); // where a link leads
        if (QFile::encodeName(real.fileName()).size() > LongestNameWithRoom) {
            return ReplaceThroughShortName(real, bytes) ? SaveOutcome::Saved : SaveOutcome::Failed;
        }
    }
    return WriteAndCommit(path, bytes) ? SaveOutcome::Saved : SaveOutcome::Failed;
}
