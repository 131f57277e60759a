#pragma once

// Waiting on Qt's event loop: the windows keep painting, and a timer or
// arriving data wakes the wait, so nothing spins.

#include "link/EventPump.h"

class QtEventPump : public EventPump {
public:
    void DelayWithMessages(int ms) override;
    void ProcessMessages() override;
    bool WaitFor(int ms, const std::function<bool()>& ready) override;
    double NowMs() override;

private:
    bool Wait(int ms, const std::function<bool()>& ready);
};
