#include "pump_throttle.h"

int PumpThrottle::due(uint32_t now_ms)
{
    // Unsigned difference: right across the wrap of the clock.
    if (started && now_ms - last_ms < kPumpIntervalMs)
        return 0;
    started = 1;
    last_ms = now_ms;
    return 1;
}
