#include "PtyInstrument.h"

#include "link/WireConstants.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto ByteTime =
    std::chrono::nanoseconds(1'000'000'000LL * wire::BitsPerByte / wire::BaudRate);

void MakeRaw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) == 0) {
        cfmakeraw(&t);
        tcsetattr(fd, TCSANOW, &t);
    }
}

} // namespace

PtyInstrument::PtyInstrument(InstrumentModel& model, PtyOptions options)
    : model_(model), options_(options) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        throw std::runtime_error("cannot create a pseudo-terminal");
    }
    path_ = ptsname(master_);
    // Holding the far end open keeps the line raw and the master readable
    // before and between the programs that open it.
    slave_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY);
    MakeRaw(slave_);
    MakeRaw(master_);
    // The line keeps its raw settings after the device end is let go.
    if (!options_.holdFarEnd) {
        ::close(slave_);
        slave_ = -1;
    }
    thread_ = std::thread([this] { Serve(); });
}

PtyInstrument::~PtyInstrument() {
    stop_ = true;
    thread_.join();
    Vanish();
}

void PtyInstrument::Vanish() {
    std::lock_guard lock(mutex_);
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
    if (slave_ >= 0) {
        ::close(slave_);
        slave_ = -1;
    }
}

void PtyInstrument::WithModel(const std::function<void(InstrumentModel&)>& f) {
    std::lock_guard lock(mutex_);
    f(model_);
}

std::string PtyInstrument::Received() {
    std::lock_guard lock(mutex_);
    return received_;
}

void PtyInstrument::Send(const std::string& text) {
    SendPaced(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

void PtyInstrument::SendPaced(const std::uint8_t* data, std::size_t count) {
    std::lock_guard sending(sendMutex_);
    // Bytes leave in small groups, each when the line would have carried it.
    // Unpaced, a reply goes out in one piece.
    const std::size_t Group = options_.paceLine ? 8 : count;
    auto due = std::max(Clock::now(), lineFreeAt_);
    for (std::size_t i = 0; i < count; i += Group) {
        const std::size_t n = std::min(Group, count - i);
        if (options_.paceLine) {
            due += ByteTime * n;
            std::this_thread::sleep_until(due);
        }
        std::lock_guard lock(mutex_);
        if (master_ < 0) {
            return;
        }
        for (std::size_t done = 0; done < n;) {
            const ssize_t w = ::write(master_, data + i + done, n - done);
            if (w < 0 && errno != EINTR && errno != EAGAIN) {
                return;
            }
            done += w > 0 ? static_cast<std::size_t>(w) : 0;
        }
    }
    lineFreeAt_ = due;
}

bool PtyInstrument::TrackFarEnd(short revents) {
    const bool open = !(revents & POLLHUP);
    if (open != farEndOpen_) {
        farEndOpen_ = open;
        {
            std::lock_guard lock(mutex_);
            model_.Reset();
        }
        if (onOpenChange) {
            onOpenChange(open);
        }
        if (open && options_.powerOnWhenOpened) {
            powerOnAt_ = Clock::now() + std::chrono::milliseconds(options_.powerOnDelayMs);
        }
    }
    if (!open) {
        powerOnAt_.reset();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return open;
}

void PtyInstrument::Serve() {
    std::uint8_t buffer[512];
    // When the last byte of a packet would have arrived over a real line.
    auto arrival = Clock::now();
    while (!stop_) {
        if (powerOnAt_ && Clock::now() >= *powerOnAt_) {
            powerOnAt_.reset();
            PowerOn();
        }
        int fd;
        {
            std::lock_guard lock(mutex_);
            fd = master_;
        }
        if (fd < 0) {
            return;
        }
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, 10);
        if (!options_.holdFarEnd && !TrackFarEnd(ready > 0 ? p.revents : 0)) {
            continue;
        }
        if (ready <= 0 || !(p.revents & POLLIN)) {
            continue;
        }
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            continue;
        }
        arrival = std::max(arrival, Clock::now());
        for (ssize_t i = 0; i < n; ++i) {
            if (options_.paceLine) {
                arrival += ByteTime;
            }
            std::optional<Reply> reply;
            char command = 0;
            int sector = 0;
            {
                std::lock_guard lock(mutex_);
                received_.push_back(static_cast<char>(buffer[i]));
                const int before = model_.readRequests + model_.writePackets;
                reply = model_.Receive(buffer[i]);
                if (model_.readRequests + model_.writePackets != before) {
                    command = model_.lastCommand;
                    sector = model_.lastSector;
                }
            }
            if (command != 0 && onPacket) {
                onPacket(command, sector);
            }
            if (reply) {
                const auto latency = std::chrono::duration_cast<Clock::duration>(
                    std::chrono::duration<double, std::milli>(reply->latencyMs));
                std::this_thread::sleep_until(arrival + latency);
                const auto& bytes = reply->bytes;
                const std::size_t first = reply->pauseMs > 0 ? 1 : bytes.size();
                SendPaced(bytes.data(), first);
                if (first < bytes.size()) {
                    std::this_thread::sleep_for(
                        std::chrono::duration<double, std::milli>(reply->pauseMs));
                    SendPaced(bytes.data() + first, bytes.size() - first);
                }
            }
        }
    }
}

} // namespace sim
