#include "SimulatedLine.h"

#include "link/WireConstants.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {
constexpr std::int64_t NsPerSecondTimesBits = 1'000'000'000LL * wire::BitsPerByte;
}

void LineDirection::Send(std::int64_t startNs, const std::uint8_t* data, std::size_t count) {
    if (startNs >= freeAt_) { // the line was idle: a new burst
        burstStart_ = startNs;
        burstBytes_ = 0;
    }
    for (std::size_t i = 0; i < count; ++i) {
        ++burstBytes_;
        freeAt_ = burstStart_ + burstBytes_ * NsPerSecondTimesBits / wire::BaudRate;
        bytes.push_back({freeAt_, data[i]});
    }
}

void LineDirection::DropAfter(std::int64_t nowNs) {
    if (std::erase_if(bytes, [nowNs](const TimedByte& b) { return b.arrivalNs > nowNs; }) > 0) {
        freeAt_ = nowNs;
    }
}

void SimulatedLine::CheckPlugged() const {
    if (unplugged_) {
        throw SerialError("Read error (5), Input/output error");
    }
}

void SimulatedLine::CatchUp() {
    const std::int64_t now = clock_.nowNs();
    while (!toInstrument_.bytes.empty() && toInstrument_.bytes.front().arrivalNs <= now) {
        const auto [arrival, value] = toInstrument_.bytes.front();
        toInstrument_.bytes.pop_front();
        hostToInstrument.push_back(value);
        if (auto reply = instrument_.Receive(value)) {
            // The instrument answers one packet at a time: one that came while
            // it was still answering the last is taken up after it.
            const std::int64_t taken = std::max(arrival, toHost_.FreeAt());
            const auto latency = static_cast<std::int64_t>(std::llround(reply->latencyMs * 1e6));
            const auto& bytes = reply->bytes;
            const std::size_t first = reply->pauseMs > 0 ? 1 : bytes.size();
            toHost_.Send(taken + latency, bytes.data(), first);
            if (first < bytes.size()) {
                const auto pause = static_cast<std::int64_t>(std::llround(reply->pauseMs * 1e6));
                toHost_.Send(toHost_.bytes.back().arrivalNs + pause, bytes.data() + first,
                             bytes.size() - first);
            }
        }
    }
}

std::size_t SimulatedLine::Received() {
    CatchUp();
    const std::int64_t now = clock_.nowNs();
    const auto firstFuture =
        std::find_if(toHost_.bytes.begin(), toHost_.bytes.end(),
                     [now](const LineDirection::TimedByte& b) { return b.arrivalNs > now; });
    return static_cast<std::size_t>(firstFuture - toHost_.bytes.begin());
}

void SimulatedLine::WriteBytes(const std::uint8_t* data, std::size_t count) {
    CheckPlugged();
    CatchUp();
    toInstrument_.Send(clock_.nowNs(), data, count);
}

std::size_t SimulatedLine::BytesWaiting() {
    CheckPlugged();
    return Received();
}

std::size_t SimulatedLine::ReadBytes(std::uint8_t* data, std::size_t count) {
    CheckPlugged();
    const std::size_t n = std::min(count, Received());
    for (std::size_t i = 0; i < n; ++i) {
        data[i] = toHost_.bytes.front().value;
        instrumentToHost.push_back(data[i]);
        toHost_.bytes.pop_front();
    }
    return n;
}

std::string SimulatedLine::ReadText() {
    CheckPlugged();
    std::string text(Received(), '\0');
    ReadBytes(reinterpret_cast<std::uint8_t*>(text.data()), text.size());
    return text;
}

void SimulatedLine::Purge() {
    CheckPlugged();
    ++purges;
    const std::size_t received = Received();
    toHost_.bytes.erase(toHost_.bytes.begin(),
                        toHost_.bytes.begin() + static_cast<std::ptrdiff_t>(received));
    if (purgeTakesBackOutput) {
        toInstrument_.DropAfter(clock_.nowNs());
    }
}

void SimulatedLine::InstrumentSends(const std::string& text) {
    CatchUp();
    toHost_.Send(clock_.nowNs(), reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

void SimulatedLine::PowerOn() {
    InstrumentSends(InstrumentModel::PowerOnText());
}

void SimPump::DelayWithMessages(int ms) {
    delays.push_back(ms);
    ProcessMessages();
    if (ms > 0) {
        clock_.advanceNs(static_cast<std::int64_t>(ms) * 1'000'000);
    }
}

void SimPump::ProcessMessages() {
    ++dispatches;
    if (onDispatch) {
        onDispatch();
    }
}

} // namespace sim
