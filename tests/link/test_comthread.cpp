// The poller's state machine against an injected clock and a recording port.
#include "link/Comthread.h"
#include "link/Time.h"
#include "support/FakePort.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

struct ManualClock : TickSource {
    uint32_t now = 100000;
    uint32_t Now() const override { return now; }
};

class PollerTest : public testing::Test {
protected:
    void SetUp() override { Create(100000); }
    void Create(uint32_t at) {
        poller.reset();
        clock.now = at;
        tables.LinkActive = 1;
        port = FakePort{};
        poller = std::make_unique<TComThread>(tables, port, nullptr, /*start=*/false);
    }
    void Step(int n = 1) {
        for (int i = 0; i < n; ++i)
            poller->PollStep();
    }
    void Advance(uint32_t ms) { clock.now += ms; }
    // Steps with the clock standing still until a new request has been written.
    void StepUntilSent() {
        const size_t before = port.writes.size();
        for (int i = 0; i < 10 && port.writes.size() == before; ++i)
            Step();
        ASSERT_GT(port.writes.size(), before) << "no request went out";
    }
    void Answer(uint8_t command) {
        const auto reply = MakeReply(command, SensorFrame::ReplyLength(command));
        poller->FeedBytes(reply.data(), static_cast<int>(reply.size()));
        Step(); // AwaitingReply sees ReplyOk
        ASSERT_EQ(poller->PollState, TComThread::State::Pausing);
    }
    // Answers the last request and lets the pause run out.
    void AnswerAndPause(uint8_t command) {
        Answer(command);
        Advance(TComThread::PauseMs + 1);
        Step();
        ASSERT_EQ(poller->PollState, TComThread::State::Selecting);
    }

    ManualClock clock;
    ScopedTickSource useClock{clock};
    SensorTables tables;
    FakePort port;
    std::unique_ptr<TComThread> poller;
};

TEST_F(PollerTest, FirstRequestGoesOutOnlyAfterMoreThan1000ms) {
    poller->RaiseRequest(ReqReadSetup | ReqReadInfo);
    Advance(1000);
    Step(3);
    EXPECT_EQ(poller->PollState, TComThread::State::Starting);
    EXPECT_TRUE(port.writes.empty());
    Advance(1);
    StepUntilSent();
    EXPECT_EQ(port.writes.back(), (FakePort::Bytes{0x02, 0x06, 0x01, 0x10, 0x17, 0x03}));
    EXPECT_EQ(poller->ExpectedLength, 38);
    EXPECT_EQ(poller->LinkCounters.FramesSent, 1);
}

TEST_F(PollerTest, ConnectionReadsSetupThenInfoThenPollsMeasurements) {
    poller->RaiseRequest(ReqReadSetup | ReqReadInfo);
    Advance(1001);
    StepUntilSent();
    Answer(0x10);
    Advance(500);
    Step(3);
    EXPECT_EQ(port.writes.size(), 1u) << "the pause is more than 500 ms";
    Advance(1);
    StepUntilSent();
    AnswerAndPause(0x15);
    StepUntilSent(); // the idle interval has long passed
    EXPECT_EQ(port.Commands(), (std::vector<int>{0x10, 0x15, 0x50}));
    EXPECT_EQ(tables.SetupReceived, 1);
    EXPECT_EQ(tables.InfoReceived, 1);
}

TEST_F(PollerTest, PendingRequestsAreServedInPriorityOrderThenTheIdlePoll) {
    poller->RaiseRequest(ReqWriteInfo | ReqReadInfo | ReqReadBack | ReqStoreEeprom | ReqCmd80 |
                         ReqWriteSetup | ReqReadSetup);
    Advance(1001);
    for (int i = 0; i < 8; ++i) {
        StepUntilSent();
        AnswerAndPause(static_cast<uint8_t>(port.writes.back()[3]));
    }
    EXPECT_EQ(port.Commands(), (std::vector<int>{0x10, 0x20, 0x80, 0x90, 0x11, 0x15, 0x25, 0x50}));
    EXPECT_EQ(port.writes[1].size(), 38u);
    EXPECT_EQ(port.writes[6].size(), 38u);
    EXPECT_EQ(poller->RequestFlags.load(), 0u);
}

TEST_F(PollerTest, ABitRaisedTwiceSendsOneRequest) {
    poller->RaiseRequest(ReqWriteSetup);
    poller->RaiseRequest(ReqWriteSetup);
    Advance(1001);
    StepUntilSent();
    AnswerAndPause(0x20);
    StepUntilSent();
    EXPECT_EQ(port.Commands(), (std::vector<int>{0x20, 0x50}));
}

TEST_F(PollerTest, WritePayloadIsTakenWhenTheRequestIsSent) {
    tables.SetupWords[6] = 1000;
    poller->RaiseRequest(ReqWriteSetup);
    tables.SetupWords[6] = 2000; // changed after the raise, before the send
    Advance(1001);
    StepUntilSent();
    EXPECT_EQ(port.writes[0][16], 2000 & 0xFF);
    EXPECT_EQ(port.writes[0][17], 2000 >> 8);
}

TEST_F(PollerTest, ARequestRaisedWhileWaitingGoesOutAfterThePause) {
    Advance(1001);
    StepUntilSent(); // idle poll
    poller->RaiseRequest(ReqReadBack);
    Answer(0x50);
    poller->RaiseRequest(ReqReadSetup); // during the pause
    Advance(500);
    Step(2);
    EXPECT_EQ(port.writes.size(), 1u);
    Advance(1);
    StepUntilSent();
    AnswerAndPause(0x10);
    StepUntilSent();
    EXPECT_EQ(port.Commands(), (std::vector<int>{0x50, 0x10, 0x11}));
}

TEST_F(PollerTest, AReplyAt1999msKeepsTheLink) {
    Advance(1001);
    StepUntilSent();
    Advance(1999);
    Step();
    EXPECT_EQ(poller->PollState, TComThread::State::AwaitingReply);
    Answer(0x50);
    EXPECT_EQ(tables.LinkActive, 1);
    EXPECT_EQ(poller->LinkCounters.Timeouts, 0);
}

TEST_F(PollerTest, NoReplyWithin2000msLosesTheLink) {
    Advance(1001);
    StepUntilSent();
    Advance(2000);
    Step();
    EXPECT_EQ(poller->LinkCounters.Timeouts, 0) << "2000 ms is not yet more than 2000 ms";
    Advance(1);
    Step();
    EXPECT_EQ(poller->LinkCounters.Timeouts, 1);
    EXPECT_EQ(tables.LinkActive, 1) << "the loss is declared in the next step";
    Step();
    EXPECT_EQ(tables.LinkActive, 0);
    EXPECT_EQ(port.closes, 1);
    EXPECT_EQ(poller->LinkCounters.LinksLost, 1);
    EXPECT_EQ(poller->LinkCounters.FramesSent, 1);
    EXPECT_EQ(poller->PollState, TComThread::State::Selecting);
}

TEST_F(PollerTest, ABadChecksumReplyEndsInTheTimeOut) {
    Advance(1001);
    StepUntilSent();
    auto reply = MakeReply(0x50);
    reply[36] ^= 0xFF;
    poller->FeedBytes(reply.data(), static_cast<int>(reply.size()));
    Advance(2001);
    Step(2);
    EXPECT_EQ(poller->LinkCounters.ChecksumErrors, 1);
    EXPECT_EQ(poller->LinkCounters.Timeouts, 1);
    EXPECT_EQ(tables.LinkActive, 0);
}

TEST_F(PollerTest, ASampleFrameWhileReadingSetupIsTakenAsTheReply) {
    poller->RaiseRequest(ReqReadSetup);
    Advance(1001);
    StepUntilSent();
    const auto sample = MakeReply(0x70);
    poller->FeedBytes(sample.data(), 38);
    Step();
    EXPECT_EQ(poller->PollState, TComThread::State::Pausing);
    EXPECT_EQ(tables.SetupReceived, 0);
}

TEST_F(PollerTest, TimesAreRightAcrossTheTickWrap) {
    Create(0xFFFFFFFFu - 499u); // created 500 ms before the wrap
    poller->RaiseRequest(ReqReadSetup);
    Advance(1000); // 500 ms after the wrap
    Step();
    EXPECT_EQ(poller->PollState, TComThread::State::Starting);
    Advance(1);
    StepUntilSent();
    EXPECT_EQ(port.Commands(), (std::vector<int>{0x10}));
}

TEST_F(PollerTest, CountersStartAtZeroInEveryNewPoller) {
    Advance(1001);
    StepUntilSent();
    Create(clock.now);
    EXPECT_EQ(poller->LinkCounters.FramesSent, 0);
    EXPECT_EQ(poller->PollState, TComThread::State::Starting);
    EXPECT_EQ(poller->ExpectedLength, 0);
}

} // namespace
