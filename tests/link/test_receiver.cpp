// The frame assembler and the reply dispatch, fed whole, in pieces and byte by byte.
#include "link/Comthread.h"
#include "support/FakePort.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes WithBadChecksum(Bytes f) {
    f[f.size() - 2] ^= 0x5A;
    return f;
}

struct Outcome {
    int good = 0;
    int bad = 0;
    int replyOk = 0;
    int rxState = 0;
    int status2 = 0; // StatusWords[2]
    bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Outcome& o) {
    return os << "{good " << o.good << ", bad " << o.bad << ", ok " << o.replyOk << ", state "
              << o.rxState << ", status2 " << o.status2 << "}";
}

struct StreamCase {
    const char* name;
    int expectedLength;
    Bytes stream;
    Outcome outcome;
};

const Bytes kAck20 = {0x02, 0x06, 0x01, 0x20, 0x27, 0x03};
const Bytes kStatus = MakeReply(0x50, 38, {{2, 253}, {0, 0x0302}, {7, 0x0203}});
const Bytes kPlainStatus = MakeReply(0x50, 38, {{2, 253}});

std::vector<StreamCase> Cases() {
    return {
        {"ack", 6, kAck20, {1, 0, 1, 0, 0}},
        {"status reply with 02 and 03 in the payload", 38, kStatus, {1, 0, 1, 0, 253}},
        {"leading noise is dropped", 38, Concat({{0x00, 0xFF, 0x55}, kStatus}), {1, 0, 1, 0, 253}},
        {"a good frame then the start of the next",
         38,
         Concat({kStatus, Bytes(kStatus.begin(), kStatus.begin() + 5)}),
         {1, 0, 1, 1, 253}},
        {"bad checksum", 38, WithBadChecksum(kStatus), {0, 1, 0, 0, 0}},
        {"bad checksum then a good frame",
         38,
         Concat({WithBadChecksum(kStatus), kStatus}),
         {1, 1, 1, 0, 253}},
        {"a good frame then a bad one clears ReplyOk",
         6,
         Concat({kAck20, WithBadChecksum(kAck20)}),
         {1, 1, 0, 0, 0}},
        // Cut after 6 bytes: the XOR of 26 01 50 is 77, byte 4 is 00: a checksum error. The
        // rest holds no 0x02 and is dropped.
        {"a long frame while a short one is expected", 6, kPlainStatus, {0, 1, 0, 0, 0}},
        // The same cut, but a 0x02 inside the rest starts a new frame: 02 00 00 00 00 00 is a
        // good 6-byte frame (XOR of bytes 1..3 is 0, equal to byte 4).
        {"a long frame cut short resynchronises on a 0x02 inside it", 6, kStatus, {1, 1, 1, 0, 0}},
        {"nothing is collected before the first request",
         0,
         Concat({kStatus, kAck20}),
         {0, 0, 0, 0, 0}},
    };
}

Outcome Feed(const StreamCase& c, const std::vector<size_t>& cuts) {
    SensorTables tables;
    FakePort port;
    TComThread rx(tables, port, nullptr, false);
    rx.ExpectedLength = static_cast<int16_t>(c.expectedLength);
    size_t at = 0;
    for (size_t cut : cuts) {
        rx.FeedBytes(c.stream.data() + at, static_cast<int>(cut - at));
        at = cut;
    }
    rx.FeedBytes(c.stream.data() + at, static_cast<int>(c.stream.size() - at));
    return {rx.LinkCounters.RepliesGood, rx.LinkCounters.ChecksumErrors, rx.ReplyOk, rx.RxState,
            tables.StatusWords[2]};
}

class AssemblerStreams : public testing::TestWithParam<StreamCase> {};

TEST_P(AssemblerStreams, SameFramesWholeSplitAndByteByByte) {
    const StreamCase& c = GetParam();
    EXPECT_EQ(Feed(c, {}), c.outcome) << "whole";
    std::vector<size_t> bytewise(c.stream.size() - 1);
    std::iota(bytewise.begin(), bytewise.end(), 1);
    EXPECT_EQ(Feed(c, bytewise), c.outcome) << "byte by byte";
    std::mt19937 rng(42);
    for (int trial = 0; trial < 20; ++trial) {
        std::vector<size_t> cuts;
        for (size_t i = 1; i < c.stream.size(); ++i)
            if (rng() % 7 == 0)
                cuts.push_back(i);
        EXPECT_EQ(Feed(c, cuts), c.outcome) << "random pieces, trial " << trial;
    }
}

INSTANTIATE_TEST_SUITE_P(Receiver, AssemblerStreams, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<StreamCase>& info) {
                             std::string n = info.param.name;
                             for (char& ch : n)
                                 if (!isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return n;
                         });

TEST(Receiver, StatusReplyInThreePiecesIsDispatchedOnceAfterTheLast) {
    SensorTables tables;
    FakePort port;
    TComThread rx(tables, port, nullptr, false);
    rx.ExpectedLength = 38;
    rx.FeedBytes(kStatus.data(), 10);
    rx.FeedBytes(kStatus.data() + 10, 10);
    EXPECT_EQ(tables.StatusWords[2], 0);
    EXPECT_EQ(rx.ReplyOk, 0);
    rx.FeedBytes(kStatus.data() + 20, 18);
    EXPECT_EQ(tables.StatusWords[2], 253);
    EXPECT_EQ(rx.LinkCounters.RepliesGood, 1);
}

TEST(Receiver, ExpectedLengthChangeTakesEffectForAFrameBeingCollected) {
    SensorTables tables;
    FakePort port;
    TComThread rx(tables, port, nullptr, false);
    rx.ExpectedLength = 38;
    rx.FeedBytes(kAck20.data(), 3);
    rx.ExpectedLength = 6;
    rx.FeedBytes(kAck20.data() + 3, 3);
    EXPECT_EQ(rx.LinkCounters.RepliesGood, 1);
}

TEST(Receiver, ReadsAnnouncedBytesInPortionsOf1024) {
    SensorTables tables;
    FakePort port;
    TComThread rx(tables, port, nullptr, false);
    rx.ExpectedLength = 38;
    tables.LinkActive = 1;
    port.incoming.assign(3000, 0x00);
    std::copy(kStatus.begin(), kStatus.end(), port.incoming.end() - 38);
    ReceiveWaitingBytes(tables, &rx, 3000);
    EXPECT_EQ(port.readSizes, (std::vector<int>{1024, 1024, 952}));
    EXPECT_EQ(tables.StatusWords[2], 253);
    EXPECT_EQ(tables.RxSeen, 1);
}

TEST(Receiver, AReadThatReturnsNothingEndsTheBatch) {
    SensorTables tables;
    FakePort port;
    TComThread rx(tables, port, nullptr, false);
    tables.LinkActive = 1;
    port.incoming.assign(100, 0x00); // announced 3000, only 100 there
    ReceiveWaitingBytes(tables, &rx, 3000);
    // The short first portion is fed; the second read gets nothing and ends the batch.
    EXPECT_EQ(port.readSizes, (std::vector<int>{1024, 1024}));
    port.open = false;
    port.readSizes.clear();
    ReceiveWaitingBytes(tables, &rx, 50);
    EXPECT_EQ(port.readSizes, (std::vector<int>{50}));
}

TEST(Receiver, WithTheLinkDownBytesStayQueuedUntilItIsUp) {
    SensorTables tables;
    FakePort port;
    TComThread rx(tables, port, nullptr, false);
    rx.ExpectedLength = 38;
    port.incoming.assign(kStatus.begin(), kStatus.end());
    ReceiveWaitingBytes(tables, &rx, 38);
    EXPECT_TRUE(port.readSizes.empty());
    EXPECT_EQ(tables.RxSeen, 1);
    tables.LinkActive = 1;
    ReceiveWaitingBytes(tables, &rx, 38);
    EXPECT_EQ(tables.StatusWords[2], 253);
}

TEST(Receiver, ACountOfZeroDoesNothing) {
    SensorTables tables;
    ReceiveWaitingBytes(tables, nullptr, 0);
    EXPECT_EQ(tables.RxSeen, 0);
    ReceiveWaitingBytes(tables, nullptr, 5); // no poller yet: the search only needs RxSeen
    EXPECT_EQ(tables.RxSeen, 1);
}

struct SerialWindowHooks : ReplyHooks {
    bool visible = true;
    std::array<int32_t, 4> samples{};
    int added = 0;
    bool SerialNumberWindowVisible() const override { return visible; }
    std::array<int32_t, 4>& SampleWords() override { return samples; }
    void AddSample(int32_t, int32_t) override { ++added; }
};

TEST(Receiver, InfoReplyWhileTheSerialWindowIsShownLeavesInfoReceived) {
    SensorTables tables;
    FakePort port;
    SerialWindowHooks hooks;
    TComThread rx(tables, port, &hooks, false);
    rx.ExpectedLength = 38;
    const auto info = MakeReply(0x15, 38, {{3, 777}});
    rx.FeedBytes(info.data(), 38);
    EXPECT_EQ(tables.InfoWords[3], 777);
    EXPECT_EQ(tables.InfoReceived, 0);
    const auto sample = MakeReply(0x70, 38, {{0, 11}, {1, 22}});
    rx.FeedBytes(sample.data(), 38);
    EXPECT_EQ(hooks.samples[1], 22);
    EXPECT_EQ(hooks.added, 1);
}

} // namespace
