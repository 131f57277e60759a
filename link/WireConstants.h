#pragma once

// Everything that is fixed on the wire between the tool and the instrument.

#include <cstddef>
#include <cstdint>

namespace wire {

inline constexpr int BaudRate = 57600;
inline constexpr int BitsPerByte = 10; // 8 data bits, no parity, 1 start and 1 stop bit

inline constexpr std::size_t PacketLength = 260;
inline constexpr std::size_t ReadRequestLength = 4;
inline constexpr std::size_t HeaderLength = 3;                  // command, sector low, sector high
inline constexpr std::size_t ChecksumOffset = PacketLength - 1; // 259
inline constexpr std::size_t RequestChecksumOffset = HeaderLength; // 3

inline constexpr std::uint8_t ReadCommand = 'R';
inline constexpr std::uint8_t WriteCommand = 'W';
inline constexpr char Acknowledge = '!';
inline constexpr char Handshake = '!';
inline constexpr std::size_t HandshakeMaxLength = 3;

inline constexpr int ReadReplyWait = 100;  // ms from queueing a read request to judging the reply
inline constexpr int WriteReplyWait = 120; // ms from queueing a write packet to judging the reply

// What one byte takes on the line, in milliseconds (about 0.17).
inline constexpr double ByteTimeMs = BitsPerByte * 1000.0 / BaudRate;

// The fast pace judges an answer by whether the line could have carried it
// since the request went out. A real instrument's clock may run a little
// fast, so the soonest time allows the line up to 3 % more speed.
inline constexpr double FastestByteTimeMs = ByteTimeMs * 0.97;

// A retry waits for the line to fall silent for this long before it asks again.
inline constexpr int QuietLineGap = 5; // ms, about 29 byte times

} // namespace wire
