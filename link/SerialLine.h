#pragma once

// The serial line as the exchanges and runs see it. The desktop's serial port,
// the command-line tool's port and the simulated line all implement it.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

// Raised by a line that fails while it is open (device gone, read error...).
class SerialError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class SerialLine {
public:
    virtual ~SerialLine() = default;
    // Queues the bytes for sending and returns at once.
    virtual void WriteBytes(const std::uint8_t* data, std::size_t count) = 0;
    // How many received bytes have not been read yet; never waits.
    virtual std::size_t BytesWaiting() = 0;
    // Copies at most count of the received bytes, oldest first; never waits.
    virtual std::size_t ReadBytes(std::uint8_t* data, std::size_t count) = 0;
    // Every byte waiting at this moment, whatever its value; empty when none.
    virtual std::string ReadText() = 0;
    // Throws away output not yet sent and every received byte not yet read.
    virtual void Purge() = 0;
};
