#include "EventPump.h"

void WaitWithMessages(int ms, const WaitHooks& hooks) {
    const std::int64_t start = hooks.nowMs();
    for (;;) {
        hooks.dispatch();
        const std::int64_t left = ms - (hooks.nowMs() - start);
        if (left <= 0) {
            return;
        }
        hooks.blockFor(left);
    }
}
