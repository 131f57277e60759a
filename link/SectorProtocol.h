#pragma once

// One sector exchanged with the instrument: the packet buffer, its checksum and
// the two exchanges that the transfer runs repeat.

#include "EventPump.h"
#include "SerialLine.h"
#include "WireConstants.h"

#include "images/ProgramImages.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

// Standard: every exchange waits its full time, as the instrument expects.
// Fast: each wait is a limit; the exchange goes on as soon as the reply is in.
// Only an answer that can belong to this request counts: nothing older is
// kept, nothing the line could not have carried since the request is taken,
// and a read reply must name the sector asked for.
enum class Pace { Standard, Fast };

class SectorProtocol {
public:
    SectorProtocol(ProgramImages& images, SerialLine& line, EventPump& pump)
        : images_(images), line_(line), pump_(pump) {}

    // Two's complement of the 8-bit sum of the first n bytes of SectorPacket; 0 for n <= 0.
    std::uint8_t PacketChecksum(int n) const;

    // 0 success, 1 reply missing or not exactly 260 bytes, 2 checksum wrong.
    int ReadSector(int s) { return ReadSectorInto(s, images_.deviceSector(s)); }
    // The same exchange, with the sector's data going to dest instead of DeviceImage.
    int ReadSectorInto(int s, std::span<std::uint8_t, SectorSize> dest);

    // 0 acknowledged, 1 no reply, 2 reply does not begin with the acknowledgement.
    int WriteSector(int s);

    // Before a second attempt: throw away what is waiting and what is still
    // arriving, so that a late or partial reply cannot spoil the next one.
    void DrainReceiveQueue();

    void SetPace(Pace pace) { pace_ = pace; }

    std::array<std::uint8_t, wire::PacketLength> SectorPacket{};
    std::string LastReply;
    // How many sectors have needed their second attempt, for the record of a run.
    int SectorsRetried = 0;

    ProgramImages& images() { return images_; }
    SerialLine& line() { return line_; }
    EventPump& pump() { return pump_; }

private:
    void PutHeader(std::uint8_t command, int s);
    // The reply in SectorPacket carries "R" and sector s.
    bool NamesSector(int s) const;
    // Sends a request of `count` bytes from SectorPacket and waits for its
    // answer of `answer` bytes: the whole time at the standard pace. At the
    // fast pace it returns false when what came cannot be this request's.
    bool Exchange(std::size_t count, int ms, std::size_t answer);
    bool AwaitOwnAnswer(double sentMs, std::size_t sent, int ms, std::size_t answer);

    ProgramImages& images_;
    SerialLine& line_;
    EventPump& pump_;
    Pace pace_ = Pace::Standard;
};
