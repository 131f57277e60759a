#pragma once

// The instrument as seen from its serial line: a 131072-byte program memory
// that answers "R" requests and "W" packets, and can be told to misbehave.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

inline constexpr std::size_t MemorySize = 131072;
inline constexpr int MemorySectors = 512;

enum class Fault {
    NoReply,      // the packet is ignored
    ShortReply,   // read reply of 259 bytes
    LongReply,    // read reply of 261 bytes
    BadChecksum,  // read reply whose bytes do not add up to 0
    WrongHeader,  // read reply with other header bytes and a right checksum
    LateReply,    // the reply starts only after the late latency
    BadAck,       // write reply that does not begin with "!"
    AckWithExtra, // "!" followed by more characters
    LostWrite,    // the write is acknowledged but the memory keeps its old bytes
    SplitReply,   // read reply whose first byte comes alone, the rest after a pause
};

// Applies to the packets of one sector (or all), the first `times` of them (or all).
struct FaultRule {
    Fault fault;
    int sector = -1;
    int times = -1;
};

struct Reply {
    std::vector<std::uint8_t> bytes;
    double latencyMs = 0; // from the packet's last byte to the reply's first
    double pauseMs = 0;   // between the reply's first byte and the rest
};

class InstrumentModel {
public:
    InstrumentModel();

    std::array<std::uint8_t, MemorySize> memory;
    std::vector<FaultRule> faults;
    double latencyMs = 1.0;     // how soon the instrument begins to answer
    double lateLatencyMs = 80.; // how soon it answers under LateReply
    double splitPauseMs = 110.; // the pause in a reply under SplitReply

    // Takes one byte from the line; returns the reply once a packet is complete.
    std::optional<Reply> Receive(std::uint8_t byte);
    // Forgets a packet that was cut off.
    void Reset() { pending_.clear(); }
    // What the instrument sends when it is switched on.
    static std::string PowerOnText() { return "!"; }

    int readRequests = 0;
    int writePackets = 0;
    // The last whole packet taken, answered or not.
    char lastCommand = 0;
    int lastSector = -1;

private:
    std::optional<Fault> TakeFault(bool isRead, int sector);
    std::optional<Reply> Answer();
    std::optional<Reply> AnswerRead(int sector);
    std::optional<Reply> AnswerWrite(int sector);

    std::vector<std::uint8_t> pending_;
};

} // namespace sim
