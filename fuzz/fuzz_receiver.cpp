// The frame receiver on arbitrary bytes: fed whole and fed in arbitrary pieces it must find the
// same frames, leave the same tables and counters, and never touch memory outside its buffers.
//
// Input layout: byte 0 chooses the expected reply length (0, 6, 38 or, rarely, a value no
// request uses), byte 1 seeds where the stream is cut, the rest is the stream.
#include "link/Comthread.h"
#include "support/FakePort.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Hooks : ReplyHooks {
    std::array<int32_t, 4> samples{};
    std::vector<std::pair<int32_t, int32_t>> added;
    bool SerialNumberWindowVisible() const override { return false; }
    std::array<int32_t, 4>& SampleWords() override { return samples; }
    void AddSample(int32_t p, int32_t s) override { added.emplace_back(p, s); }
};

struct Result {
    std::vector<int32_t> words;
    std::vector<std::pair<int32_t, int32_t>> samples;
    int good, bad, ok, state, count, setupReceived, infoReceived;
    bool operator==(const Result&) const = default;
};

int16_t ExpectedFrom(uint8_t selector) {
    switch (selector % 8) {
    case 0:
        return 0;
    case 1:
    case 2:
    case 3:
        return 6;
    case 7:
        return static_cast<int16_t>(selector); // nonsense lengths must be harmless too
    default:
        return 38;
    }
}

Result Feed(int16_t expected, const uint8_t* data, size_t size, uint8_t seed, bool whole) {
    SensorTables tables;
    FakePort port;
    Hooks hooks;
    TComThread rx(tables, port, &hooks, false);
    rx.ExpectedLength = expected;
    if (whole) {
        // Through the port, as the receive event does it.
        tables.LinkActive = 1;
        port.incoming.assign(data, data + size);
        ReceiveWaitingBytes(tables, &rx, static_cast<uint32_t>(size));
    } else {
        unsigned state = seed * 2654435761u + 1;
        size_t at = 0;
        while (at < size) {
            state = state * 1103515245u + 12345u;
            const size_t piece = 1 + (state >> 16) % 41;
            const size_t n = piece < size - at ? piece : size - at;
            // A copy of exactly the piece, so the checker sees any read past it.
            std::vector<uint8_t> copy(data + at, data + at + n);
            rx.FeedBytes(copy.data(), static_cast<int>(n));
            at += n;
        }
    }
    Result r{};
    for (auto& w : tables.SetupWords)
        r.words.push_back(w);
    for (auto& w : tables.InfoWords)
        r.words.push_back(w);
    for (auto& w : tables.StatusWords)
        r.words.push_back(w);
    r.samples = hooks.added;
    r.good = rx.LinkCounters.RepliesGood;
    r.bad = rx.LinkCounters.ChecksumErrors;
    r.ok = rx.ReplyOk;
    r.state = rx.RxState;
    r.count = rx.RxCount;
    r.setupReceived = tables.SetupReceived;
    r.infoReceived = tables.InfoReceived;
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const int16_t expected = ExpectedFrom(data[0]);
    const uint8_t seed = data[1];
    std::vector<uint8_t> stream(data + 2, data + size);
    const Result whole = Feed(expected, stream.data(), stream.size(), seed, true);
    const Result pieces = Feed(expected, stream.data(), stream.size(), seed, false);
    if (!(whole == pieces))
        std::abort();
    if (whole.state == 1 && (whole.count < 1 || whole.count >= SensorFrame::MaxLength))
        std::abort();
    return 0;
}
