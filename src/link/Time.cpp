#include "link/Time.h"

#include <atomic>
#include <ctime>

namespace {
std::atomic<const TickSource*> g_source{nullptr};

uint32_t MonotonicMilliseconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms =
        static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms); // keeps the low 32 bits: the tick wraps like the system's
}
} // namespace

uint32_t TickNow() {
    const TickSource* source = g_source.load(std::memory_order_acquire);
    return source ? source->Now() : MonotonicMilliseconds();
}

uint32_t TickElapsed(uint32_t stamp) {
    return TickElapsed(TickNow(), stamp);
}

void SetTickSource(const TickSource* source) {
    g_source.store(source, std::memory_order_release);
}
