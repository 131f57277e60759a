#pragma once

// The record of one instrument's run, kept as JSON Lines: one object per
// line, appended and flushed at once, so that a crash loses at most the run
// in progress.

#include "link/TransferRun.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <optional>
#include <span>

struct RunRecord {
    QDateTime started; // UTC
    QString port;
    QString command;                  // "write", "read", "compare"
    QString file;                     // the full path
    std::optional<QByteArray> sha256; // hex, of the bytes loaded or saved
    std::optional<qint64> size;
    int sectors = 0; // sent or read
    bool verify = false;
    QString outcome; // "done", "sector-failed", "check-failed", "line-error", "interrupted",
                     // "differences"
    std::optional<int> failedSector;
    int retries = 0;
    double seconds = 0;
};

// A record with what the command line says of a run; the rest is filled as it goes.
RunRecord RecordOf(const QString& port, const QString& command, const std::filesystem::path& file,
                   bool verify);

// The outcome's name in a record.
QString OutcomeName(RunOutcome outcome);
QByteArray Sha256Hex(std::span<const std::uint8_t> bytes);
QString FullPath(const std::filesystem::path& file);

// One line of JSON, newline included.
QByteArray ToJsonLine(const RunRecord& record, const QString& toolVersion);

class RecordLog {
public:
    explicit RecordLog(QString toolVersion) : toolVersion_(std::move(toolVersion)) {}
    // Opens the file for appending; false when it cannot be written.
    bool Open(const std::filesystem::path& path);
    bool IsOpen() const { return file_.isOpen(); }
    // Appends and flushes one record; safe from any thread.
    void Append(const RunRecord& record);

private:
    QString toolVersion_;
    QFile file_;
    std::mutex mutex_;
};

// Passes a run's progress on and keeps what its record needs.
class TallyView : public TransferView {
public:
    explicit TallyView(TransferView& shown) : shown_(shown) {}
    void SetProgressRange(int minimum, int maximum) override {
        sectors = maximum;
        shown_.SetProgressRange(minimum, maximum);
    }
    void SetProgressPosition(int position) override {
        inHand = position - 1;
        shown_.SetProgressPosition(position);
    }
    void SetInfo(std::string_view text) override { shown_.SetInfo(text); }
    void SetSaveEnabled(bool enabled) override { shown_.SetSaveEnabled(enabled); }

    // Fills sectors and failed_sector: all of them, or those before the one in hand.
    void Into(RunRecord& record, bool done) const {
        record.sectors = done ? sectors : std::max(inHand, 0);
        record.failedSector = done ? std::nullopt : std::optional<int>(std::max(inHand, 0));
    }

private:
    TransferView& shown_;
    int sectors = 0;
    int inHand = -1;
};
