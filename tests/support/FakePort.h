#pragma once
// A serial port stand-in for unit tests of the poller's state machine and the receiver: it
// records every write and serves reads from a queue of bytes.
#include "link/SerialPort.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <vector>

class FakePort : public SerialPort {
public:
    using Bytes = std::vector<uint8_t>;
    std::vector<Bytes> writes;
    std::vector<int> readSizes; // count asked for by each Read
    std::deque<uint8_t> incoming;
    int closes = 0;
    bool open = true;

    int Write(const void* buffer, int count) override {
        if (!open)
            return -1;
        const auto* p = static_cast<const uint8_t*>(buffer);
        writes.emplace_back(p, p + count);
        return count;
    }
    int Read(void* buffer, int count) override {
        readSizes.push_back(count);
        if (!open)
            return -1;
        const int n = std::min<int>(count, static_cast<int>(incoming.size()));
        auto* p = static_cast<uint8_t*>(buffer);
        for (int i = 0; i < n; ++i) {
            p[i] = incoming.front();
            incoming.pop_front();
        }
        return n;
    }
    void Close() override {
        open = false;
        ++closes;
    }
    bool Enabled() const override { return open; }

    // Command bytes of the requests written so far.
    std::vector<int> Commands() const {
        std::vector<int> c;
        for (const Bytes& w : writes)
            c.push_back(w.size() > 3 ? w[3] : -1);
        return c;
    }
};

// A 38-byte reply with the given words and a correct checksum, or a 6-byte acknowledgement.
inline std::vector<uint8_t> MakeReply(uint8_t command, int length = 38,
                                      std::initializer_list<std::pair<int, uint16_t>> words = {}) {
    std::vector<uint8_t> f(static_cast<size_t>(length), 0);
    f[0] = 0x02;
    f[1] = static_cast<uint8_t>(length);
    f[2] = 0x01;
    f[3] = command;
    for (auto [k, w] : words) {
        f[static_cast<size_t>(4 + 2 * k)] = static_cast<uint8_t>(w & 0xFF);
        f[static_cast<size_t>(5 + 2 * k)] = static_cast<uint8_t>(w >> 8);
    }
    uint8_t x = 0;
    for (int i = 1; i <= length - 3; ++i)
        x ^= f[static_cast<size_t>(i)];
    f[static_cast<size_t>(length - 2)] = x;
    f[static_cast<size_t>(length - 1)] = 0x03;
    return f;
}
