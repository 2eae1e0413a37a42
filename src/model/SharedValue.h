#pragma once
// A single aligned value shared between the UI thread and the poller. Reads and writes are whole
// (never torn) and carry no ordering: the sensor's words and flags need nothing more, and the
// atomics keep the thread checker quiet about the intended lock-free sharing.
#include <atomic>
#include <cstdint>

template <typename T> class SharedValue {
public:
    constexpr SharedValue() noexcept = default;
    constexpr SharedValue(T v) noexcept : value_(v) {}
    SharedValue(const SharedValue&) = delete;
    SharedValue& operator=(const SharedValue&) = delete;

    operator T() const noexcept { return value_.load(std::memory_order_relaxed); }
    T Get() const noexcept { return value_.load(std::memory_order_relaxed); }
    SharedValue& operator=(T v) noexcept {
        value_.store(v, std::memory_order_relaxed);
        return *this;
    }

private:
    static_assert(std::atomic<T>::is_always_lock_free);
    std::atomic<T> value_{};
};

// One slot of a word table: a signed 32-bit integer holding one sensor word.
using Word = SharedValue<int32_t>;
// A 0/1 flag of the main window.
using Flag = SharedValue<uint8_t>;
