#include "RunRecord.h"

#include "qt/NativePath.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

RunRecord RecordOf(const QString& port, const QString& command, const std::filesystem::path& file,
                   bool verify) {
    RunRecord record;
    record.port = port;
    record.command = command;
    record.file = FullPath(file);
    record.verify = verify;
    return record;
}

QString OutcomeName(RunOutcome outcome) {
    switch (outcome) {
    case RunOutcome::Done:
        return QStringLiteral("done");
    case RunOutcome::CheckFailed:
        return QStringLiteral("check-failed");
    case RunOutcome::SectorFailed:
    case RunOutcome::NotLoaded:
        break;
    }
    return QStringLiteral("sector-failed");
}

QByteArray Sha256Hex(std::span<const std::uint8_t> bytes) {
    return QCryptographicHash::hash(
               QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())),
               QCryptographicHash::Sha256)
        .toHex();
}

QString FullPath(const std::filesystem::path& file) {
    std::error_code ec;
    const auto full = std::filesystem::absolute(file, ec);
    return ToQString(ec ? file : full);
}

QByteArray ToJsonLine(const RunRecord& r, const QString& toolVersion) {
    auto orNull = [](const auto& value) {
        return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
    };
    QJsonObject o;
    o.insert(QStringLiteral("time"), r.started.toUTC().toString(Qt::ISODateWithMs));
    o.insert(QStringLiteral("port"), r.port);
    o.insert(QStringLiteral("command"), r.command);
    o.insert(QStringLiteral("file"), r.file);
    o.insert(QStringLiteral("sha256"),
             r.sha256 ? QJsonValue(QString::fromLatin1(*r.sha256)) : QJsonValue(QJsonValue::Null));
    o.insert(QStringLiteral("size"), orNull(r.size));
    o.insert(QStringLiteral("sectors"), r.sectors);
    o.insert(QStringLiteral("verify"), r.verify);
    o.insert(QStringLiteral("outcome"), r.outcome);
    o.insert(QStringLiteral("failed_sector"), orNull(r.failedSector));
    o.insert(QStringLiteral("retries"), r.retries);
    o.insert(QStringLiteral("seconds"), r.seconds);
    o.insert(QStringLiteral("tool_version"), toolVersion);
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

bool RecordLog::Open(const std::filesystem::path& path) {
    file_.setFileName(FullPath(path));
    return file_.open(QIODevice::WriteOnly | QIODevice::Append);
}

void RecordLog::Append(const RunRecord& record) {
    std::lock_guard lock(mutex_);
    if (file_.isOpen()) {
        file_.write(ToJsonLine(record, toolVersion_));
        file_.flush();
    }
}
