#pragma once
// The link's time base: a 32-bit millisecond tick from a monotonic clock. It wraps after about
// 49.7 days; TickElapsed stays right across the wrap because it subtracts in 32-bit unsigned
// arithmetic. Every link time limit is a strict greater-than test on TickElapsed.
#include <cstdint>

// A clock that tests can put in place of the monotonic one.
class TickSource {
public:
    virtual ~TickSource() = default;
    virtual uint32_t Now() const = 0;
};

uint32_t TickNow();
uint32_t TickElapsed(uint32_t stamp);
constexpr uint32_t TickElapsed(uint32_t now, uint32_t stamp) {
    return now - stamp;
}

// Replaces the clock behind TickNow (nullptr restores the monotonic clock). The source must
// outlive its use; ScopedTickSource takes care of that in tests.
void SetTickSource(const TickSource* source);

class ScopedTickSource {
public:
    explicit ScopedTickSource(const TickSource& source) { SetTickSource(&source); }
    ~ScopedTickSource() { SetTickSource(nullptr); }
    ScopedTickSource(const ScopedTickSource&) = delete;
    ScopedTickSource& operator=(const ScopedTickSource&) = delete;
};
