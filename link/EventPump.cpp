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
    for (int waited = 0;; ++waited) {
        ProcessMessages();
        if (ready()) {
            return true;
        }
        if (waited >= ms) {
            return false;
        }
        DelayWithMessages(1);
    }
}
