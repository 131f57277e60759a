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
};

// The waiting loop shared by the real pumps: dispatch, then block for what is
// left of the time, until ms have passed on a monotonic clock. It dispatches
// at least once, also for ms of 0 or less, and never spins.
struct WaitHooks {
    std::function<std::int64_t()> nowMs;           // monotonic milliseconds
    std::function<void()> dispatch;                // handle what is pending
    std::function<void(std::int64_t)> blockFor;    // sleep, or wait for an event, up to this long
};

void WaitWithMessages(int ms, const WaitHooks& hooks);
