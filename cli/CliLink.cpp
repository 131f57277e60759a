#include "CliLink.h"

#include "images/OperatorTexts.h"
#include "images/ProgramFile.h"

#include <QCoreApplication>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <thread>

SleepingPump::SleepingPump(std::function<bool()> stopRequested)
    : stopRequested_(std::move(stopRequested)) {}

void SleepingPump::Check() const {
    if (stopRequested_()) {
        throw InterruptedError{};
    }
}

void SleepingPump::DelayWithMessages(int ms) {
    Check();
    WaitWithMessages(
        ms,
        {[this] { return TickMs(NowMs()); }, [] { QCoreApplication::processEvents(); },
         [](std::int64_t left) { std::this_thread::sleep_for(std::chrono::milliseconds(left)); }});
    Check();
}

void SleepingPump::ProcessMessages() {
    Check();
    QtEventPump::ProcessMessages();
}

bool SleepingPump::WaitFor(int ms, const std::function<bool()>& ready) {
    Check();
    const bool done = QtEventPump::WaitFor(ms, [&] { return stopRequested_() || ready(); });
    Check();
    return done;
}

// The instrument announces itself with "!": waits for it for ever or until the
// time limit. A burst is judged whole, once the line has fallen silent.
bool AwaitHandshake(SerialLine& line, EventPump& pump, std::optional<double> timeoutSeconds) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    auto msLeft = [&] {
        return timeoutSeconds
                   ? *timeoutSeconds * 1000 -
                         std::chrono::duration<double, std::milli>(Clock::now() - start).count()
                   : std::numeric_limits<double>::infinity();
    };
    constexpr double Slice = 100;
    for (;;) {
        const double left = msLeft();
        if (left <= 0) {
            return false;
        }
        if (!pump.WaitFor(static_cast<int>(std::min(Slice, left + 1)),
                          [&] { return line.BytesWaiting() > 0; })) {
            continue;
        }
        // A burst longer than a handshake is dropped at once, so that a line
        // that never falls silent keeps nothing and the time limit holds.
        for (std::size_t seen = 0; seen != line.BytesWaiting();) {
            seen = line.BytesWaiting();
            if (seen > wire::HandshakeMaxLength || msLeft() <= 0) {
                break;
            }
            pump.DelayWithMessages(wire::QuietLineGap);
        }
        if (IsHandshake(line.ReadText())) {
            return true;
        }
    }
}

// Opens the port and throws away what was waiting in the device from before,
// so that an old "!" cannot start the run.
bool OpenAndPurge(QtSerialLine& line, const QString& device) {
    if (!line.Open(device)) {
        return false;
    }
    try {
        line.Purge();
        return true;
    } catch (const SerialError&) {
        line.Close();
        return false;
    }
}

bool LoadOrSay(ProgramImages& images, const std::filesystem::path& file) {
    const LoadOutcome outcome = LoadProgramFile(images, file).outcome;
    if (outcome == LoadOutcome::Loaded) {
        return true;
    }
    const auto& message =
        outcome == LoadOutcome::TooLarge ? texts::FileTooLarge : texts::CannotReadFile;
    std::fprintf(stderr, "%.*s\n", static_cast<int>(message.text.size()), message.text.data());
    return false;
}
