#pragma once

// Waiting on Qt's event loop: the windows keep painting and the timer wakes
// the wait, so nothing spins.

#include "link/EventPump.h"

class QtEventPump : public EventPump {
public:
    void DelayWithMessages(int ms) override;
    void ProcessMessages() override;
};
