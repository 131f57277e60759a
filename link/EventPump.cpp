#include "EventPump.h"

#include <cmath>

bool WaitWithMessages(int ms, const WaitHooks& hooks, const std::function<bool()>& ready) {
    const double start = hooks.nowMs();
    hooks.dispatch();
    for (;;) {
        if (ready && ready()) {
            return true;
        }
        const double left = ms - (hooks.nowMs() - start);
        if (left <= 0) {
            return false;
        }
        hooks.blockFor(static_cast<std::int64_t>(std::ceil(left)));
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
