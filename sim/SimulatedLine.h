#pragma once

// The instrument behind an in-memory serial line with a simulated clock. Every
// byte takes its time on a 57600-baud 8N1 line in each direction, so a whole
// read runs in milliseconds of real time while the clock shows its true length.

#include "InstrumentModel.h"

#include "link/EventPump.h"
#include "link/SerialLine.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

namespace sim {

// Simulated time in nanoseconds.
class SimClock {
public:
    std::int64_t nowNs() const { return now_; }
    double nowMs() const { return static_cast<double>(now_) / 1e6; }
    void advanceNs(std::int64_t ns) { now_ += ns; }

private:
    std::int64_t now_ = 0;
};

// One direction of the line: bytes with the time their stop bit ends.
class LineDirection {
public:
    struct TimedByte {
        std::int64_t arrivalNs;
        std::uint8_t value;
    };
    // Puts bytes on the line, the first starting no earlier than startNs.
    void Send(std::int64_t startNs, const std::uint8_t* data, std::size_t count);
    // Takes back every byte that has not arrived by nowNs.
    void DropAfter(std::int64_t nowNs);
    // When the last byte put on the line has arrived.
    std::int64_t FreeAt() const { return freeAt_; }
    std::deque<TimedByte> bytes;

private:
    std::int64_t burstStart_ = 0;
    std::int64_t burstBytes_ = 0;
    std::int64_t freeAt_ = 0;
};

class SimulatedLine : public SerialLine {
public:
    SimulatedLine(InstrumentModel& instrument, SimClock& clock)
        : instrument_(instrument), clock_(clock) {}

    void WriteBytes(const std::uint8_t* data, std::size_t count) override;
    std::size_t BytesWaiting() override;
    std::size_t ReadBytes(std::uint8_t* data, std::size_t count) override;
    std::string ReadText() override;
    void Purge() override;

    // The instrument is switched on and announces itself.
    void PowerOn();
    // The instrument sends these bytes now, unasked.
    void InstrumentSends(const std::string& text);
    // The cable is pulled: every later operation fails.
    void Unplug() { unplugged_ = true; }

    // Everything that reached each end, in order.
    std::vector<std::uint8_t> hostToInstrument;
    std::vector<std::uint8_t> instrumentToHost;
    int purges = 0;
    // A port's purge takes back what is not on the wire yet; a USB adapter or
    // a pseudo-terminal has passed it on already and sends it all the same.
    bool purgeTakesBackOutput = true;

private:
    void CatchUp(); // lets the instrument take what has reached it by now
    void CheckPlugged() const;
    std::size_t Received();

    InstrumentModel& instrument_;
    SimClock& clock_;
    LineDirection toInstrument_;
    LineDirection toHost_;
    bool unplugged_ = false;
};

// Waiting moves the simulated clock instead of sleeping.
class SimPump : public EventPump {
public:
    explicit SimPump(SimClock& clock) : clock_(clock) {}
    void DelayWithMessages(int ms) override;
    void ProcessMessages() override;
    double NowMs() override { return clock_.nowMs(); }

    int dispatches = 0;
    std::vector<int> delays;
    std::function<void()> onDispatch; // lets a test act in the middle of a run

private:
    SimClock& clock_;
};

} // namespace sim
