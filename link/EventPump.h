#pragma once

// How the exchanges wait. The desktop dispatches its window messages while it
// waits; the command-line tool sleeps on the port; the tests advance a clock.

#include <cstdint>
#include <functional>

class EventPump {
public:
    virtual ~EventPump() = default;
    // Waits ms milliseconds, dispatching pending messages at least once.
    virtual void DelayWithMessages(int ms) = 0;
    // Dispatches whatever messages are pending, without waiting.
    virtual void ProcessMessages() = 0;
    // The pump's monotonic clock, in milliseconds with fractions.
    virtual double NowMs() = 0;
    // Waits at most ms milliseconds of the pump's clock, dispatching, until
    // ready() holds; returns whether it does. This version looks again after
    // each wait of one millisecond; a pump that can wake on arriving data does better.
    virtual bool WaitFor(int ms, const std::function<bool()>& ready);
};

// The waiting loop shared by the real pumps: dispatch once, then block
// (handling whatever comes) for what is left of the time, until ms have passed
// on a 32-bit millisecond tick counter. It dispatches at least once, also for
// ms of 0 or less, and never spins. Time is the counter's difference modulo
// 2^32, so neither its wrap nor its passing 2^31 ends a wait early.
struct WaitHooks {
    std::function<std::uint32_t()> tickMs;      // the millisecond tick counter
    std::function<void()> dispatch;             // handle what is pending
    std::function<void(std::int64_t)> blockFor; // sleep, or wait for an event, up to this long
};

// A 32-bit millisecond tick counter read off a pump's clock.
std::uint32_t TickMs(double nowMs);

// With ready, the wait ends as soon as it holds after a dispatch; the result
// says whether it did.
bool WaitWithMessages(int ms, const WaitHooks& hooks, const std::function<bool()>& ready = {});
