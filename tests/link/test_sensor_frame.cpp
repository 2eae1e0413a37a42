#include "link/SensorFrame.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Encode(uint8_t command, const SensorTables& tables) {
    SensorFrame::Buffer out{};
    const int n = SensorFrame::EncodeRequest(command, tables, out.data());
    return Bytes(out.begin(), out.begin() + n);
}

// The checksum as the frame table gives it: 0 XOR every byte from the length byte (index 1) up to
// the last one before the checksum (index L-3). Written out here, not taken from the code.
uint8_t XorOfBytes1ToLMinus3(const Bytes& f) {
    uint8_t x = 0;
    for (size_t i = 1; i + 2 < f.size(); ++i)
        x = static_cast<uint8_t>(x ^ f[i]);
    return x;
}

// A 38-byte reply for a command with the given payload words and a correct checksum.
Bytes Reply(uint8_t command, std::initializer_list<std::pair<int, uint16_t>> words) {
    Bytes f(38, 0);
    f[0] = 0x02;
    f[1] = 38;
    f[2] = 0x01;
    f[3] = command;
    for (auto [k, w] : words) {
        f[4 + 2 * k] = static_cast<uint8_t>(w & 0xFF);
        f[5 + 2 * k] = static_cast<uint8_t>(w >> 8);
    }
    f[36] = XorOfBytes1ToLMinus3(f);
    f[37] = 0x03;
    return f;
}

struct Hooks : ReplyHooks {
    bool visible = false;
    std::array<int32_t, 4> samples{};
    std::vector<std::pair<int32_t, int32_t>> added;
    bool SerialNumberWindowVisible() const override { return visible; }
    std::array<int32_t, 4>& SampleWords() override { return samples; }
    void AddSample(int32_t p, int32_t s) override { added.emplace_back(p, s); }
};

struct ShortRequest {
    uint8_t command;
    Bytes bytes;
};

class ShortRequests : public testing::TestWithParam<ShortRequest> {};

TEST_P(ShortRequests, EncodeToTheExactBytes) {
    SensorTables t;
    EXPECT_EQ(Encode(GetParam().command, t), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Commands, ShortRequests,
                         testing::Values(ShortRequest{0x10, {0x02, 0x06, 0x01, 0x10, 0x17, 0x03}},
                                         ShortRequest{0x11, {0x02, 0x06, 0x01, 0x11, 0x16, 0x03}},
                                         ShortRequest{0x15, {0x02, 0x06, 0x01, 0x15, 0x12, 0x03}},
                                         ShortRequest{0x50, {0x02, 0x06, 0x01, 0x50, 0x57, 0x03}},
                                         ShortRequest{0x80, {0x02, 0x06, 0x01, 0x80, 0x87, 0x03}},
                                         ShortRequest{0x90, {0x02, 0x06, 0x01, 0x90, 0x97, 0x03}}));

TEST(SensorFrameEncode, WritesWithAllZeroEntries) {
    SensorTables t;
    Bytes expected = {0x02, 0x26, 0x01, 0x20};
    expected.insert(expected.end(), 32, 0x00);
    expected.insert(expected.end(), {0x07, 0x03});
    EXPECT_EQ(Encode(0x20, t), expected);
    expected[3] = 0x25;
    expected[36] = 0x02;
    EXPECT_EQ(Encode(0x25, t), expected);
}

TEST(SensorFrameEncode, WritesTakeTheLow16BitsOfEachEntryLowByteFirst) {
    SensorTables t;
    t.SetupWords[3] = 70000;
    t.SetupWords[0] = -2;
    t.SetupWords[15] = -1000;
    t.SetupWords[16] = 1234; // the read-back image is never sent
    t.InfoWords[3] = 65535;
    const Bytes setup = Encode(0x20, t);
    ASSERT_EQ(setup.size(), 38u);
    EXPECT_EQ(setup[10], 0x70);
    EXPECT_EQ(setup[11], 0x11);
    EXPECT_EQ(setup[4], 0xFE);
    EXPECT_EQ(setup[5], 0xFF);
    EXPECT_EQ(setup[34], 0x18);
    EXPECT_EQ(setup[35], 0xFC);
    EXPECT_TRUE(SensorFrame::ChecksumOk(setup.data(), 38));
    const Bytes info = Encode(0x25, t);
    EXPECT_EQ(info[10], 0xFF);
    EXPECT_EQ(info[11], 0xFF);
    EXPECT_EQ(info[4], 0x00);
}

TEST(SensorFrameEncode, PayloadIsReadAtTheMomentOfEncoding) {
    SensorTables t;
    t.SetupWords[5] = 1;
    const Bytes before = Encode(0x20, t);
    t.SetupWords[5] = 2;
    EXPECT_EQ(Encode(0x20, t)[14], 2);
    EXPECT_EQ(before[14], 1);
}

TEST(SensorFrameLengths, RequestAndReplyLengthsPerCommand) {
    struct Row {
        uint8_t command;
        int request, reply;
    };
    for (const Row r : {Row{0x10, 6, 38}, Row{0x11, 6, 38}, Row{0x15, 6, 38}, Row{0x20, 38, 6},
                        Row{0x25, 38, 6}, Row{0x50, 6, 38}, Row{0x80, 6, 6}, Row{0x90, 6, 6}}) {
        EXPECT_EQ(SensorFrame::RequestLength(r.command), r.request) << int(r.command);
        EXPECT_EQ(SensorFrame::ReplyLength(r.command), r.reply) << int(r.command);
    }
}

TEST(SensorFrameCheck, OnlyTheChecksumCounts) {
    Bytes f = Reply(0x50, {{0, 0x0302}, {15, 0x0203}}); // 0x02 and 0x03 inside the payload
    EXPECT_TRUE(SensorFrame::ChecksumOk(f.data(), 38));
    f[1] = 0x99;  // wrong length byte ...
    f[2] = 0x07;  // ... wrong address ...
    f[37] = 0x55; // ... and wrong end byte, checksum repaired over the changed bytes
    f[36] = XorOfBytes1ToLMinus3(f);
    EXPECT_EQ(SensorFrame::Checksum(f.data(), 38), f[36]);
    EXPECT_TRUE(SensorFrame::ChecksumOk(f.data(), 38));
    f[20] ^= 0x01;
    EXPECT_FALSE(SensorFrame::ChecksumOk(f.data(), 38));
}

// Which bytes the checksum covers: every byte from 1 to L-3 changes it, the start byte, the
// checksum byte and the end byte do not; a frame whose stored checksum is one bit off fails.
TEST(SensorFrameCheck, TheChecksumCoversBytes1ToLMinus3) {
    for (const size_t length : {size_t{6}, size_t{38}}) {
        SCOPED_TRACE(length);
        Bytes f(length, 0);
        for (size_t i = 0; i < length; ++i)
            f[i] = static_cast<uint8_t>(0x5A + 17 * i);
        f[length - 2] = XorOfBytes1ToLMinus3(f);
        EXPECT_EQ(SensorFrame::Checksum(f.data(), static_cast<int>(length)), f[length - 2]);
        EXPECT_TRUE(SensorFrame::ChecksumOk(f.data(), static_cast<int>(length)));
        for (size_t i = 0; i < length; ++i) {
            Bytes g = f;
            g[i] ^= 0x40;
            const bool covered = i >= 1 && i <= length - 3;
            EXPECT_EQ(SensorFrame::ChecksumOk(g.data(), static_cast<int>(length)),
                      !covered && i != length - 2)
                << "byte " << i;
        }
    }
}

TEST(SensorFrameDecode, ReadSetupWidensWords0And1Signed) {
    SensorTables t;
    Hooks h;
    const Bytes f = Reply(0x10, {{0, 0xFFFF}, {1, 0xFC18}, {2, 0xFFFF}, {3, 0xFC18}, {15, 0x8000}});
    SensorFrame::DecodeReply(f.data(), 38, t, &h);
    EXPECT_EQ(t.SetupWords[0], -1);
    EXPECT_EQ(t.SetupWords[1], -1000);
    EXPECT_EQ(t.SetupWords[2], 65535);
    EXPECT_EQ(t.SetupWords[3], 64536);
    EXPECT_EQ(t.SetupWords[15], 32768);
    EXPECT_EQ(t.SetupWords[16], 0);
    EXPECT_EQ(t.SetupReceived, 1);
}

TEST(SensorFrameDecode, ReadBackFillsTheUpperHalfWithTheSameWidening) {
    SensorTables t;
    t.SetupWords[0] = -1000; // as written from a recalled configuration
    const Bytes f = Reply(0x11, {{0, 0xFC18}, {2, 0xFC18}});
    SensorFrame::DecodeReply(f.data(), 38, t, nullptr);
    EXPECT_EQ(t.SetupWords[16], -1000);
    EXPECT_EQ(t.SetupWords[16], t.SetupWords[0]);
    EXPECT_EQ(t.SetupWords[18], 64536);
    EXPECT_EQ(t.SetupReceived, 0);
}

TEST(SensorFrameDecode, StatusWords10And11AreSigned) {
    SensorTables t;
    const Bytes f = Reply(0x50, {{9, 0x8000}, {10, 0x8000}, {11, 0xFFFF}, {2, 253}});
    SensorFrame::DecodeReply(f.data(), 38, t, nullptr);
    EXPECT_EQ(t.StatusWords[9], 32768);
    EXPECT_EQ(t.StatusWords[10], -32768);
    EXPECT_EQ(t.StatusWords[11], -1);
    EXPECT_EQ(t.StatusWords[2], 253);
    EXPECT_EQ(t.SetupReceived, 0);
    EXPECT_EQ(t.InfoReceived, 0);
}

TEST(SensorFrameDecode, InfoIsUnsignedAndFlagsOnlyWhileTheSerialWindowIsHidden) {
    SensorTables t;
    Hooks h;
    const Bytes f = Reply(0x15, {{0, 0xFFFF}, {3, 12345}});
    h.visible = true;
    SensorFrame::DecodeReply(f.data(), 38, t, &h);
    EXPECT_EQ(t.InfoWords[0], 65535);
    EXPECT_EQ(t.InfoWords[3], 12345);
    EXPECT_EQ(t.InfoReceived, 0);
    h.visible = false;
    SensorFrame::DecodeReply(f.data(), 38, t, &h);
    EXPECT_EQ(t.InfoReceived, 1);
}

TEST(SensorFrameDecode, SampleFrameFillsSampleWordsAndAddsASample) {
    SensorTables t;
    Hooks h;
    const Bytes f = Reply(0x70, {{0, 500}, {1, 0xFFFF}, {2, 7}, {3, 8}, {4, 9}});
    SensorFrame::DecodeReply(f.data(), 38, t, &h);
    EXPECT_EQ(h.samples, (std::array<int32_t, 4>{500, 65535, 7, 8}));
    ASSERT_EQ(h.added.size(), 1u);
    EXPECT_EQ(h.added[0], std::make_pair(500, 65535));
}

TEST(SensorFrameDecode, AcknowledgementsAndUnknownCodesChangeNothing) {
    for (uint8_t code : {0x20, 0x25, 0x80, 0x90, 0x00, 0x12, 0xFF}) {
        SensorTables t;
        Hooks h;
        const Bytes f = Reply(code, {{0, 1}, {1, 2}, {5, 3}});
        SensorFrame::DecodeReply(f.data(), 38, t, &h);
        int sum = 0;
        for (auto& w : t.SetupWords)
            sum |= w;
        for (auto& w : t.InfoWords)
            sum |= w;
        for (auto& w : t.StatusWords)
            sum |= w;
        EXPECT_EQ(sum, 0) << int(code);
        EXPECT_EQ(t.SetupReceived + t.InfoReceived + t.DataModified, 0) << int(code);
        EXPECT_TRUE(h.added.empty()) << int(code);
    }
}

TEST(SensorFrameDecode, ShortFrameCarryingADataCodeStoresNothing) {
    // A 6-byte frame with code 0x10 has no payload: nothing may be read past its end.
    SensorTables t;
    const uint8_t f[6] = {0x02, 0x06, 0x01, 0x10, 0x17, 0x03};
    SensorFrame::DecodeReply(f, 6, t, nullptr);
    EXPECT_EQ(t.SetupReceived, 0);
}

} // namespace
