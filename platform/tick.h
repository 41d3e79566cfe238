#pragma once
// Millisecond tick count for deadlines and rates. 32 bits wide, so it wraps
// after about 49.7 days; compare ticks with TickReached, never with "<".
#include <cstdint>

namespace platform {

using Tick = std::uint32_t;

// Milliseconds of a monotonic clock, cut to 32 bits.
Tick TickCount();

// True once `now` has reached `deadline`, also across the wrap: the deadline
// counts as reached when it lies at most 2^31 - 1 ms in the past.
constexpr bool TickReached(Tick now, Tick deadline) {
    return static_cast<std::int32_t>(now - deadline) >= 0;
}

// now + ms, never 0: callers use 0 for "no deadline".
constexpr Tick TickDeadline(Tick now, std::uint32_t ms) {
    const Tick deadline = now + ms;
    return deadline == 0 ? 1 : deadline;
}

// Moves every later TickCount by `delta` ms; lets tests run code across the wrap.
void ShiftTickCount(std::uint32_t delta);

// Blocks the calling thread for `ms` milliseconds.
void Sleep(std::uint32_t ms);

}  // namespace platform
