#pragma once

// What every command-line transfer shares, one port or many: the pump that
// sleeps through its waits, the wait for the instrument's "!", and opening a
// port clean.

#include "link/TransferRun.h"
#include "qt/QtEventPump.h"
#include "qt/QtSerialLine.h"

#include <filesystem>
#include <functional>
#include <optional>

// Thrown out of a wait when the transfer is to stop (Ctrl-C, or the station
// winding a port up).
struct InterruptedError {};

// The command line's pump has no windows to keep alive. Its fixed delays
// dispatch what is pending once (the port's queued writes) and then sleep
// through the rest, so that the bytes a reply brings do not wake it one burst
// at a time; only WaitFor wakes on arriving data. A stop request ends any wait.
class SleepingPump : public QtEventPump {
public:
    explicit SleepingPump(std::function<bool()> stopRequested);

    void DelayWithMessages(int ms) override;
    void ProcessMessages() override;
    bool WaitFor(int ms, const std::function<bool()>& ready) override;

private:
    void Check() const;

    std::function<bool()> stopRequested_;
};

// The instrument announces itself with "!": waits for it for ever or until the
// time limit. A burst is judged whole, once the line has fallen silent.
bool AwaitHandshake(SerialLine& line, EventPump& pump, std::optional<double> timeoutSeconds);

// Loads the program file; says on standard error why it cannot.
bool LoadOrSay(ProgramImages& images, const std::filesystem::path& file);

// Opens the port and throws away what was waiting in the device from before,
// so that an old "!" cannot start the run.
bool OpenAndPurge(QtSerialLine& line, const QString& device);
