#pragma once

// The simulated instrument behind a pseudo-terminal, in real time: a program
// that opens the device path talks to it as to the instrument on a COM port.
// What it sends is paced at the time the bytes take on a 57600-baud 8N1 line.

#include "InstrumentModel.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace sim {

struct PtyOptions {
    bool paceLine = true;           // send at the line's speed, not at once
    bool holdFarEnd = true;         // keep the device end open, so the line never hangs up
    bool powerOnWhenOpened = false; // send "!" by itself each time a program opens the device
    int powerOnDelayMs = 100;       // how long after the open
};

class PtyInstrument {
public:
    explicit PtyInstrument(InstrumentModel& model, PtyOptions options = {});
    ~PtyInstrument();
    PtyInstrument(const PtyInstrument&) = delete;
    PtyInstrument& operator=(const PtyInstrument&) = delete;

    // The path a program opens, such as /dev/pts/7.
    const std::string& DevicePath() const { return path_; }
    // The instrument is switched on: it sends "!".
    void PowerOn() { Send(InstrumentModel::PowerOnText()); }
    // Sends bytes unasked, paced as any reply.
    void Send(const std::string& text);
    // The instrument disappears: the line is cut and stays cut.
    void Vanish();
    // Runs f on the model while the line leaves it alone.
    void WithModel(const std::function<void(InstrumentModel&)>& f);
    // Called for every packet the instrument has answered (or not), from the line's thread.
    std::function<void(char command, int sector)> onPacket;
    // Called from the line's thread when a program opens or closes the device
    // (only without holdFarEnd, which hides both).
    std::function<void(bool opened)> onOpenChange;

    // Every byte that reached the instrument, in order.
    std::string Received();

private:
    void Serve();
    // Without holdFarEnd: notes a program opening or closing the device.
    // Returns false while no program has it open.
    bool TrackFarEnd(short revents);
    void SendPaced(const std::uint8_t* data, std::size_t count);

    InstrumentModel& model_;
    const PtyOptions options_;
    bool farEndOpen_ = false;
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    std::mutex mutex_;     // guards model_, received_ and the descriptors
    std::mutex sendMutex_; // one sender at a time; guards lineFreeAt_
    std::string received_;
    std::atomic<bool> stop_{false};
    std::chrono::steady_clock::time_point lineFreeAt_{};
    std::optional<std::chrono::steady_clock::time_point> powerOnAt_; // line thread only
    std::thread thread_;
};

} // namespace sim
