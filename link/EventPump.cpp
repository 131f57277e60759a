#include "EventPump.h"

std::uint32_t TickMs(double nowMs) {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(nowMs));
}

bool WaitWithMessages(int ms, const WaitHooks& hooks, const std::function<bool()>& ready) {
    const std::uint32_t start = hooks.tickMs();
    hooks.dispatch();
    for (;;) {
        if (ready && ready()) {
            return true;
        }
        const std::uint32_t elapsed = hooks.tickMs() - start;
        const std::int64_t left = std::int64_t{ms} - std::int64_t{elapsed};
        if (left <= 0) {
            return false;
        }
        hooks.blockFor(left);
    }
}

bool EventPump::WaitFor(int ms, const std::function<bool()>& ready) {
    const double start = NowMs();
    for (;;) {
        ProcessMessages();
        if (ready()) {
            return true;
        }
        if (NowMs() - start >= ms) {
            return false;
        }
        DelayWithMessages(1);
    }
}
