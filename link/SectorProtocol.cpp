#include "SectorProtocol.h"

#include <algorithm>
#include <cmath>
#include <vector>

std::uint8_t SectorProtocol::PacketChecksum(int n) const {
    if (n <= 0) {
        return 0;
    }
    std::uint8_t sum = 0;
    for (int i = 0; i < n && i < static_cast<int>(SectorPacket.size()); ++i) {
        sum = static_cast<std::uint8_t>(sum + SectorPacket[static_cast<std::size_t>(i)]);
    }
    return static_cast<std::uint8_t>(256 - sum);
}

bool SectorProtocol::NamesSector(int s) const {
    return SectorPacket[0] == wire::ReadCommand &&
           SectorPacket[1] == static_cast<std::uint8_t>(s & 0xFF) &&
           SectorPacket[2] == static_cast<std::uint8_t>((s >> 8) & 0xFF);
}

void SectorProtocol::PutHeader(std::uint8_t command, int s) {
    SectorPacket[0] = command;
    SectorPacket[1] = static_cast<std::uint8_t>(s & 0xFF);
    SectorPacket[2] = static_cast<std::uint8_t>((s >> 8) & 0xFF);
}

namespace {

// Whole milliseconds to wait for `ms` more, at least one.
int WaitMs(double ms) {
    return std::max(1, static_cast<int>(std::ceil(ms)));
}

// The soonest `bytes` bytes can have crossed the line.
double LineMs(std::size_t bytes) {
    return static_cast<double>(bytes) * wire::FastestByteTimeMs;
}

} // namespace

bool SectorProtocol::Exchange(std::size_t count, int ms, std::size_t answer) {
    if (pace_ == Pace::Standard) {
        line_.WriteBytes(SectorPacket.data(), count);
        pump_.DelayWithMessages(ms);
        return true;
    }
    const double sentMs = pump_.NowMs();
    line_.WriteBytes(SectorPacket.data(), count);
    return AwaitOwnAnswer(sentMs, count, ms, answer);
}

bool SectorProtocol::AwaitOwnAnswer(double sentMs, std::size_t sent, int ms, std::size_t answer) {
    const double limit = sentMs + ms;
    // The request's bytes reach the instrument, then its answer comes back.
    const double firstPossible = sentMs + LineMs(sent + 1);
    // How many bytes of the answer the line can have carried by now.
    auto possible = [&](double now) {
        const double bytes = std::floor((now - sentMs) / wire::FastestByteTimeMs);
        return bytes > static_cast<double>(sent) ? static_cast<std::size_t>(bytes) - sent : 0;
    };
    auto waiting = [this] { return line_.BytesWaiting() > 0; };

    // Whatever is seen before this answer can have begun is an earlier one's.
    for (double now = pump_.NowMs(); now < firstPossible; now = pump_.NowMs()) {
        if (!pump_.WaitFor(WaitMs(firstPossible - now), waiting)) {
            break;
        }
        const std::size_t seen = line_.BytesWaiting();
        if (pump_.NowMs() >= firstPossible) {
            break;
        }
        std::vector<std::uint8_t> stale(seen);
        line_.ReadBytes(stale.data(), seen);
    }
    for (;;) {
        const std::size_t have = line_.BytesWaiting();
        const double now = pump_.NowMs();
        if (have > possible(now)) {
            return false; // more than the line can have carried: not all of it is ours
        }
        if (have >= answer || now >= limit) {
            return true;
        }
        if (have == 0) {
            pump_.WaitFor(WaitMs(limit - now), waiting);
        } else {
            const double missing = static_cast<double>(answer - have) * wire::ByteTimeMs;
            pump_.DelayWithMessages(WaitMs(std::min(limit - now, missing)));
        }
    }
}

int SectorProtocol::ReadSectorInto(int s, std::span<std::uint8_t, SectorSize> dest) {
    PutHeader(wire::ReadCommand, s);
    SectorPacket[wire::RequestChecksumOffset] =
        PacketChecksum(static_cast<int>(wire::HeaderLength));
    if (pace_ == Pace::Fast) {
        line_.Purge(); // nothing older can be this request's reply
    }
    if (!Exchange(wire::ReadRequestLength, wire::ReadReplyWait, wire::PacketLength)) {
        return 1;
    }

    // A reply of any other length stays in the receive queue.
    if (line_.BytesWaiting() != wire::PacketLength) {
        return 1;
    }
    line_.ReadBytes(SectorPacket.data(), wire::PacketLength);
    if (PacketChecksum(static_cast<int>(wire::PacketLength)) != 0) {
        return 2;
    }
    if (pace_ == Pace::Fast && !NamesSector(s)) {
        return 2; // another request's reply, or pieces of two
    }
    std::copy_n(SectorPacket.begin() + wire::HeaderLength, SectorSize, dest.begin());
    return 0;
}

int SectorProtocol::WriteSector(int s) {
    PutHeader(wire::WriteCommand, s);
    const auto data = images_.fileSector(s);
    std::copy(data.begin(), data.end(), SectorPacket.begin() + wire::HeaderLength);
    SectorPacket[wire::ChecksumOffset] = PacketChecksum(static_cast<int>(wire::ChecksumOffset));

    line_.Purge();
    const bool own = Exchange(wire::PacketLength, wire::WriteReplyWait, 1);
    LastReply = line_.ReadText();
    if (!own) {
        return 2;
    }
    if (LastReply.empty()) {
        return 1;
    }
    return LastReply.front() == wire::Acknowledge ? 0 : 2;
}

void SectorProtocol::DrainReceiveQueue() {
    // Bounded: a line that never falls silent gets one reply's worth of patience.
    for (int waited = 0; waited < wire::ReadReplyWait; waited += wire::QuietLineGap) {
        line_.Purge();
        pump_.DelayWithMessages(wire::QuietLineGap);
        if (line_.BytesWaiting() == 0) {
            return;
        }
    }
    line_.Purge();
}
