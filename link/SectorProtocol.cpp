#include "SectorProtocol.h"

#include <algorithm>
#include <cmath>

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

void SectorProtocol::PutHeader(std::uint8_t command, int s) {
    SectorPacket[0] = command;
    SectorPacket[1] = static_cast<std::uint8_t>(s & 0xFF);
    SectorPacket[2] = static_cast<std::uint8_t>((s >> 8) & 0xFF);
}

void SectorProtocol::AwaitReply(int ms, std::size_t waiting) {
    if (pace_ == Pace::Standard) {
        pump_.DelayWithMessages(ms);
        return;
    }
    // Fast: wake for the reply's first byte, then look again only when the
    // missing bytes can have come at the line's speed.
    const double start = pump_.NowMs();
    pump_.WaitFor(ms, [this] { return line_.BytesWaiting() > 0; });
    for (;;) {
        const std::size_t have = line_.BytesWaiting();
        const double left = ms - (pump_.NowMs() - start);
        if (have >= waiting || left <= 0) {
            return;
        }
        const double step = std::min(left, (waiting - have) * wire::ByteTimeMs);
        pump_.DelayWithMessages(std::max(1, static_cast<int>(std::ceil(step))));
    }
}

int SectorProtocol::ReadSectorInto(int s, std::span<std::uint8_t, SectorSize> dest) {
    PutHeader(wire::ReadCommand, s);
    SectorPacket[wire::RequestChecksumOffset] =
        PacketChecksum(static_cast<int>(wire::HeaderLength));
    line_.WriteBytes(SectorPacket.data(), wire::ReadRequestLength);
    AwaitReply(wire::ReadReplyWait, wire::PacketLength);

    // A reply of any other length stays in the receive queue.
    if (line_.BytesWaiting() != wire::PacketLength) {
        return 1;
    }
    line_.ReadBytes(SectorPacket.data(), wire::PacketLength);
    if (PacketChecksum(static_cast<int>(wire::PacketLength)) != 0) {
        return 2;
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
    line_.WriteBytes(SectorPacket.data(), wire::PacketLength);
    AwaitReply(wire::WriteReplyWait, 1);

    LastReply = line_.ReadText();
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
