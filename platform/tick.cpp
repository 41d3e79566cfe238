#include "platform/tick.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <time.h>

namespace platform {

namespace {
std::atomic<std::uint32_t> tickShift{0};
}

Tick TickCount() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const std::uint64_t ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                             static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<Tick>(ms) + tickShift.load(std::memory_order_relaxed);
}

void ShiftTickCount(std::uint32_t delta) {
    tickShift.fetch_add(delta, std::memory_order_relaxed);
}

void Sleep(std::uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace platform
