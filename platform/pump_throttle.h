// How often the message pump asks the window system for messages.
//
// The engine pumps after every record: tens of thousands of times in an
// installation, most of them with nothing waiting. Asking the queue is a
// round trip to the window system (under Wine a call to its server, 50 to
// 200 us on a busy machine, a third of an installation's time), so the
// pump asks at most once every kPumpIntervalMs and returns at once in
// between. A click or a repaint then waits at most that long, far below
// what a user sees.
#pragma once

#include <cstdint>

constexpr uint32_t kPumpIntervalMs = 10;

struct PumpThrottle {
    int32_t started = 0;   // 1 once the pump has asked for messages
    uint32_t last_ms = 0;  // the clock when it last asked

    // 1 when a pump at `now_ms` (a millisecond clock that wraps around at
    // 2^32) is to ask for messages: the first time, and whenever
    // kPumpIntervalMs have passed since it last asked, which is then noted;
    // else 0.
    int due(uint32_t now_ms);
};
