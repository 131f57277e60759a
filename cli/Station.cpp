#include "Station.h"

#include "CliLink.h"
#include "Console.h"
#include "RunRecord.h"

#include "images/OperatorTexts.h"
#include "images/ProgramFile.h"
#include "qt/PortList.h"
#include "qt/QtText.h"

#include <QThread>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

// How often a port whose adapter has gone is tried again, and how often the
// terminal's lines are redrawn while runs go on.
constexpr auto ReopenEvery = 1s;
constexpr auto RedrawEvery = 200ms;

enum class PortState {
    Opening,
    Searching,
    Writing,
    Done,
    WriteFailed,
    CheckFailed,
    LineLost,
    Stopped
};

struct PortStatus {
    QString name;
    QString device;
    PortState state = PortState::Opening;
    int sector = 0;
    int sectors = 0;
    int done = 0;
    int failed = 0;
    std::optional<bool> opened; // the first open's result
    bool finished = false;      // the port's thread has ended
};

std::string_view StateText(PortState state) {
    switch (state) {
    case PortState::Opening:
    case PortState::Searching:
        return texts::InfoSearching;
    case PortState::Writing:
        return texts::InfoWriting;
    case PortState::Done:
        return texts::InfoWriteDone;
    case PortState::WriteFailed:
        return texts::InfoWriteFailed;
    case PortState::CheckFailed:
        return texts::InfoCheckFailed;
    case PortState::LineLost:
        return texts::StationLineLost;
    case PortState::Stopped:
        break;
    }
    return texts::StationStopped;
}

std::string S(std::string_view text) {
    return std::string(text);
}

class Station {
public:
    Station(const StationArguments& a, const ProgramImages& images, QByteArray sha256)
        : a_(a), images_(images), sha256_(std::move(sha256)), log_(a.toolVersion) {
        for (const QString& name : a.ports) {
            PortStatus s;
            s.name = name;
            s.device = DeviceForPortName(name);
            status_.push_back(s);
        }
    }

    int Run();

private:
    // One port's thread: opens the port, then writes every instrument that announces itself.
    void Work(std::size_t index);
    void WorkOn(std::size_t index, QtSerialLine& line, SleepingPump& pump);
    RunRecord WriteOne(std::size_t index, SectorProtocol& protocol, QtSerialLine& line);
    void SetState(std::size_t index, PortState state);
    bool Stopping() const;

    // The coordinator's side, on the main thread.
    void Show(bool redraw);
    std::string Line(const PortStatus& s) const;
    void PrintSummary() const;

    const StationArguments& a_;
    const ProgramImages& images_;
    QByteArray sha256_;
    RecordLog log_;
    const bool terminal_ = ErrorIsTerminal();

    mutable std::mutex mutex_; // guards everything below
    std::condition_variable changed_;
    std::vector<PortStatus> status_;
    std::vector<std::string> events_; // lines to print when standard error is no terminal
    bool go_ = false;
    bool abort_ = false;
    bool stop_ = false;
    int started_ = 0;  // runs begun, for --count
    int recorded_ = 0; // runs recorded
    bool anyFailed_ = false;
    std::size_t linesShown_ = 0;
};

bool Station::Stopping() const {
    std::lock_guard lock(mutex_);
    return stop_ || abort_;
}

void Station::SetState(std::size_t index, PortState state) {
    std::lock_guard lock(mutex_);
    PortStatus& s = status_[index];
    if (s.state == state && state != PortState::Writing) {
        return;
    }
    s.state = state;
    if (state == PortState::Writing) {
        s.sector = 0;
    }
    events_.push_back(S(qPrintable(s.name)) + ": " + S(StateText(state)));
    changed_.notify_all();
}

// Shows the run's progress in the port's line.
class PortView : public TransferView {
public:
    PortView(std::mutex& mutex, PortStatus& status) : mutex_(mutex), status_(status) {}
    void SetProgressRange(int, int maximum) override {
        std::lock_guard lock(mutex_);
        status_.sectors = maximum;
    }
    void SetProgressPosition(int position) override {
        std::lock_guard lock(mutex_);
        status_.sector = position;
    }
    void SetInfo(std::string_view) override {}
    void SetSaveEnabled(bool) override {}

private:
    std::mutex& mutex_;
    PortStatus& status_;
};

RunRecord Station::WriteOne(std::size_t index, SectorProtocol& protocol, QtSerialLine& line) {
    RunRecord record = RecordOf(status_[index].name, QStringLiteral("write"), a_.file, a_.verify);
    record.started = QDateTime::currentDateTimeUtc();
    record.sha256 = sha256_; // the same file for every instrument: hashed once
    record.size = static_cast<qint64>(images_.ProgramSize);
    const auto start = std::chrono::steady_clock::now();

    PortView shown(mutex_, status_[index]);
    TallyView view(shown);
    protocol.SectorsRetried = 0;
    RunOutcome outcome = RunOutcome::SectorFailed;
    try {
        outcome = RunTransfer(a_.verify ? ModeWriteWithCheck : ModeWrite, protocol, view);
        record.outcome = OutcomeName(outcome);
    } catch (const InterruptedError&) {
        record.outcome = QStringLiteral("interrupted");
    } catch (const SerialError& e) {
        record.outcome = QStringLiteral("line-error");
        line.Close();
        std::lock_guard lock(mutex_);
        events_.push_back(S(qPrintable(status_[index].name)) + ": " + e.what());
    }
    view.Into(record, outcome == RunOutcome::Done && record.outcome == QStringLiteral("done"));
    record.retries = protocol.SectorsRetried;
    record.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return record;
}

void Station::WorkOn(std::size_t index, QtSerialLine& line, SleepingPump& pump) {
    ProgramImages images = images_; // each port works on its own copy
    SectorProtocol protocol(images, line, pump);
    protocol.SetPace(a_.pace);
    // A run's result stays on view until the next instrument announces itself.
    SetState(index, PortState::Searching);
    while (!Stopping()) {
        if (!line.IsOpen()) {
            // The adapter went away: try it again now and then until it is back.
            SetState(index, PortState::LineLost);
            std::unique_lock lock(mutex_);
            changed_.wait_for(lock, ReopenEvery, [this] { return stop_ || abort_; });
            lock.unlock();
            if (!Stopping() && OpenAndPurge(line, status_[index].device)) {
                SetState(index, PortState::Searching);
            }
            continue;
        }
        try {
            AwaitHandshake(line, pump, std::nullopt);
        } catch (const InterruptedError&) {
            break;
        } catch (const SerialError&) {
            line.Close();
            continue;
        }
        {
            std::lock_guard lock(mutex_);
            if (a_.count && started_ >= *a_.count) {
                break; // enough instruments are on their way
            }
            ++started_;
        }
        SetState(index, PortState::Writing);
        const RunRecord record = WriteOne(index, protocol, line);
        log_.Append(record);
        const bool good = record.outcome == QStringLiteral("done");
        const bool interrupted = record.outcome == QStringLiteral("interrupted");
        {
            std::lock_guard lock(mutex_);
            PortStatus& s = status_[index];
            ++recorded_;
            if (good) {
                ++s.done;
            } else if (!interrupted) {
                ++s.failed;
                anyFailed_ = true;
            }
        }
        SetState(index, good                                               ? PortState::Done
                        : record.outcome == QStringLiteral("check-failed") ? PortState::CheckFailed
                        : interrupted                                      ? PortState::Stopped
                                      : PortState::WriteFailed);
        if (line.IsOpen()) {
            try {
                line.Purge(); // the next instrument starts clean
            } catch (const SerialError&) {
                line.Close();
            }
        }
    }
}

void Station::Work(std::size_t index) {
    QtSerialLine line;
    SleepingPump pump([this] { return Stopping(); });
    const bool opened = OpenAndPurge(line, status_[index].device);
    {
        std::unique_lock lock(mutex_);
        status_[index].opened = opened;
        changed_.notify_all();
        changed_.wait(lock, [this] { return go_ || abort_; });
        if (abort_ || !opened) {
            status_[index].finished = true;
            changed_.notify_all();
            line.Close();
            return;
        }
    }
    WorkOn(index, line, pump);
    line.Close();
    SetState(index, PortState::Stopped);
    std::lock_guard lock(mutex_);
    status_[index].finished = true;
    changed_.notify_all();
}

std::string Station::Line(const PortStatus& s) const {
    std::string state = S(StateText(s.state));
    if (s.state == PortState::Writing && s.sectors > 0) {
        state += " " + S(texts::ProgressSector) + " " + std::to_string(s.sector) + "/" +
                 std::to_string(s.sectors) + " " + std::to_string(100 * s.sector / s.sectors) + "%";
    }
    return S(qPrintable(s.name)) + "  " + state + "  " + S(texts::StationDoneCount) + " " +
           std::to_string(s.done) + ", " + S(texts::StationFailedCount) + " " +
           std::to_string(s.failed);
}

// Called with the lock held.
void Station::Show(bool redraw) {
    if (a_.quiet) {
        events_.clear();
        return;
    }
    if (!terminal_) {
        for (const std::string& e : events_) {
            std::fprintf(stderr, "%s\n", e.c_str());
        }
        events_.clear();
        std::fflush(stderr);
        return;
    }
    events_.clear();
    if (!redraw) {
        return;
    }
    if (linesShown_ > 0) {
        std::fprintf(stderr, "\x1b[%zuA", linesShown_);
    }
    for (const PortStatus& s : status_) {
        std::fprintf(stderr, "\r\x1b[K%s\n", Line(s).c_str());
    }
    linesShown_ = status_.size();
    std::fflush(stderr);
}

void Station::PrintSummary() const {
    int done = 0;
    int failed = 0;
    for (const PortStatus& s : status_) {
        done += s.done;
        failed += s.failed;
    }
    std::fprintf(stderr, "%s: %s %d, %s %d\n", S(texts::StationTotal).c_str(),
                 S(texts::StationDoneCount).c_str(), done, S(texts::StationFailedCount).c_str(),
                 failed);
    for (const PortStatus& s : status_) {
        std::fprintf(stderr, "  %s: %s %d, %s %d\n", qPrintable(s.name),
                     S(texts::StationDoneCount).c_str(), s.done,
                     S(texts::StationFailedCount).c_str(), s.failed);
    }
}

int Station::Run() {
    if (a_.log && !log_.Open(*a_.log)) {
        std::fprintf(stderr, "%s\n", S(texts::CannotSaveFile.text).c_str());
        return 2;
    }
    CatchInterrupts();
    std::vector<std::unique_ptr<QThread>> threads;
    for (std::size_t i = 0; i < status_.size(); ++i) {
        threads.emplace_back(QThread::create([this, i] { Work(i); }));
        threads.back()->start();
    }
    auto joinAll = [&] {
        for (auto& t : threads) {
            t->wait();
        }
    };

    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] {
        return std::all_of(status_.begin(), status_.end(),
                           [](const PortStatus& s) { return s.opened.has_value(); });
    });
    bool allOpen = true;
    for (const PortStatus& s : status_) {
        if (!*s.opened) {
            allOpen = false;
            std::fprintf(stderr, "%s %s\n", S(texts::CannotOpenPort.text).c_str(),
                         qPrintable(s.name));
        }
    }
    if (!allOpen) {
        std::fprintf(stderr, "%s\n", S(PortOpenHint()).c_str());
        abort_ = true;
        changed_.notify_all();
        lock.unlock();
        joinAll();
        return 3;
    }
    go_ = true;
    changed_.notify_all();

    bool interrupted = false;
    for (;;) {
        changed_.wait_for(lock, RedrawEvery);
        if (!stop_ && Interrupted()) {
            stop_ = interrupted = true;
            changed_.notify_all();
        }
        if (!stop_ && a_.count && recorded_ >= *a_.count) {
            stop_ = true;
            changed_.notify_all();
        }
        Show(true);
        if (std::all_of(status_.begin(), status_.end(),
                        [](const PortStatus& s) { return s.finished; })) {
            break;
        }
    }
    lock.unlock();
    joinAll();
    PrintSummary();
    return anyFailed_ ? 1 : interrupted ? 130 : 0;
}

} // namespace

int RunStation(const StationArguments& a) {
    ProgramImages images;
    if (!LoadOrSay(images, a.file)) {
        return 2;
    }
    const QByteArray sha = Sha256Hex({images.FileImage.data(), images.ProgramSize});
    Station station(a, images, sha);
    return station.Run();
}
