// The whole link over a real pseudo-terminal: our serial component, the poller and the receiver
// against the simulated sensor, fault switches included.
#include "SensorSim.h"
#include "link/Comm.h"
#include "link/Comthread.h"
#include "support/QtTestApp.h"

#include <gtest/gtest.h>

#include <QLoggingCategory>
#include <QTimer>

#include <chrono>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

namespace {

using Block = SensorSimulator::Block;

class LinkTest : public testing::Test {
protected:
    void SetUp() override {
        TestApp();
        comm.SetDeviceName(sim.SlavePath());
        comm.SetBaudRate(br38400);
        comm.OnRxChar = [this](TThreadComm*, uint32_t count) {
            ++deliveries;
            ReceiveWaitingBytes(tables, poller.get(), count);
        };
        comm.Open();
        ASSERT_TRUE(comm.Enabled());
    }
    void TearDown() override {
        poller.reset(); // stopped and joined before the port closes
        comm.Close();
    }
    // Creates the poller as the port search does on a successful probe.
    void Connect() {
        poller = std::make_unique<TComThread>(tables, comm);
        poller->RaiseRequest(ReqReadSetup | ReqReadInfo);
        tables.LinkActive = 1;
    }
    // Connects and waits for the first measurement reply.
    void ConnectAndPoll() {
        Connect();
        ASSERT_TRUE(SpinUntil([&] { return tables.StatusWords[15] == 105; }, 15000));
    }
    int Good() const { return poller->LinkCounters.RepliesGood; }

    SensorSimulator sim;
    TComm comm;
    SensorTables tables;
    std::unique_ptr<TComThread> poller;
    int deliveries = 0; // receive events handed to the UI thread
};

TEST_F(LinkTest, ComesUpWithSetupAndInfoThenPollsMeasurements) {
    Connect();
    ASSERT_TRUE(SpinUntil([&] { return sim.RequestCount(0x50) >= 2 && Good() >= 4; }, 15000));
    std::vector<int> order;
    for (const LoggedRequest& r : sim.RecentRequests())
        order.push_back(r.Bytes.at(3));
    ASSERT_GE(order.size(), 4u);
    EXPECT_EQ(std::vector<int>(order.begin(), order.begin() + 4),
              (std::vector<int>{0x10, 0x15, 0x50, 0x50}));
    const Block params = sim.WorkingParams();
    for (int k = 2; k < 16; ++k)
        EXPECT_EQ(tables.SetupWords[k], params[k]) << k;
    EXPECT_EQ(tables.SetupWords[0], static_cast<int16_t>(params[0]));
    EXPECT_EQ(tables.InfoWords[3], sim.Info()[3]);
    EXPECT_EQ(tables.SetupReceived, 1);
    EXPECT_EQ(tables.InfoReceived, 1);
    EXPECT_EQ(tables.StatusWords[15], 105);
    EXPECT_EQ(poller->LinkCounters.ChecksumErrors, 0);
    EXPECT_EQ(poller->LinkCounters.Timeouts, 0);
    EXPECT_EQ(tables.LinkActive, 1);
}

TEST_F(LinkTest, WriteStoreAndReadBackLeaveTheValuesInTheEeprom) {
    ConnectAndPoll();
    tables.SetupWords[0] = -1000;
    tables.SetupWords[5] = 17;   // bytes 0x11 ...
    tables.SetupWords[6] = 4883; // ... 0x13 0x13 and 0x0D in the payload
    tables.SetupWords[7] = 0x0D0A;
    poller->RaiseRequest(ReqWriteSetup | ReqStoreEeprom);
    poller->RaiseRequest(ReqReadBack);
    ASSERT_TRUE(SpinUntil([&] { return sim.RequestCount(0x11) >= 1 && Good() >= 6; }, 15000));
    ASSERT_TRUE(SpinUntil([&] { return tables.SetupWords[16 + 6] == 4883; }, 5000));
    const Block eeprom = sim.EepromParams();
    EXPECT_EQ(eeprom[0], 0xFC18);
    EXPECT_EQ(eeprom[5], 17);
    EXPECT_EQ(eeprom[6], 4883);
    EXPECT_EQ(eeprom[7], 0x0D0A);
    EXPECT_EQ(tables.SetupWords[16], -1000);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(tables.SetupWords[16 + k], tables.SetupWords[k]) << k;
}

TEST_F(LinkTest, AStoreThatDoesNotReachTheEepromReadsBackTheOldValues) {
    ConnectAndPoll();
    const Block before = sim.EepromParams();
    SimFaults f;
    f.StoreLost = true;
    sim.SetFaults(f);
    tables.SetupWords[6] = before[6] + 100;
    poller->RaiseRequest(ReqWriteSetup | ReqStoreEeprom | ReqReadBack);
    ASSERT_TRUE(SpinUntil([&] { return sim.RequestCount(0x11) >= 1 && Good() >= 6; }, 15000));
    ASSERT_TRUE(SpinUntil([&] { return tables.SetupWords[16 + 4] != 0; }, 5000));
    EXPECT_EQ(sim.EepromParams(), before);
    EXPECT_EQ(tables.SetupWords[16 + 6], before[6]);
    EXPECT_NE(tables.SetupWords[16 + 6], tables.SetupWords[6]);
    EXPECT_EQ(tables.LinkActive, 1);
}

// A UI handler that keeps the UI thread busy longer than the reply wait (a big replot, a loaded
// machine): the reply waits in the port until the handler ends, and that is no time-out. Two
// rounds, so the busy spell meets the poller in different phases of its cycle.
TEST_F(LinkTest, AUiThreadBusyLongerThanTheReplyWaitKeepsTheLink) {
    ConnectAndPoll();
    for (int round = 0; round < 2; ++round) {
        bool busyOver = false;
        QTimer::singleShot(round * 170, [&] {
            const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(2500);
            while (std::chrono::steady_clock::now() < until) {
            }
            busyOver = true;
        });
        const int good = Good();
        ASSERT_TRUE(SpinUntil(
            [&] { return (busyOver && Good() >= good + 2) || tables.LinkActive == 0; }, 20000));
        EXPECT_EQ(tables.LinkActive, 1) << "round " << round;
        EXPECT_EQ(poller->LinkCounters.Timeouts, 0) << "round " << round;
        EXPECT_EQ(poller->LinkCounters.LinksLost, 0) << "round " << round;
        if (tables.LinkActive == 0)
            break;
    }
}

struct FaultCase {
    const char* name;
    SimFaults faults;
    bool linkSurvives;
};

SimFaults Faults(std::function<void(SimFaults&)> set) {
    SimFaults f;
    set(f);
    return f;
}

class LinkFaults : public LinkTest, public testing::WithParamInterface<FaultCase> {};

TEST_P(LinkFaults, EndAsTheLinkRulesSay) {
    ConnectAndPoll();
    const int goodBefore = Good();
    sim.SetFaults(GetParam().faults);
    if (GetParam().linkSurvives) {
        ASSERT_TRUE(SpinUntil([&] { return Good() >= goodBefore + 3; }, 20000));
        EXPECT_EQ(tables.LinkActive, 1);
        EXPECT_EQ(poller->LinkCounters.Timeouts, 0);
        EXPECT_EQ(poller->LinkCounters.LinksLost, 0);
    } else {
        // The loss is complete once it is counted (after LinkActive 0 and the close).
        ASSERT_TRUE(SpinUntil([&] { return poller->LinkCounters.LinksLost == 1; }, 20000));
        EXPECT_EQ(tables.LinkActive, 0);
        EXPECT_EQ(poller->LinkCounters.Timeouts, 1);
        EXPECT_FALSE(comm.Enabled()) << "the poller closes the port on a loss";
        const int32_t sent = poller->LinkCounters.FramesSent.Get();
        // Nothing more goes out once the link is down (wait a full reply time to see it).
        ASSERT_FALSE(
            SpinUntil([&] { return poller->LinkCounters.FramesSent.Get() != sent; }, 2500));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sim, LinkFaults,
    testing::Values(
        FaultCase{"Silent", Faults([](SimFaults& f) { f.Silent = true; }), false},
        FaultCase{"BadChecksum", Faults([](SimFaults& f) { f.BadChecksum = true; }), false},
        FaultCase{"EchoOfTheRequest", Faults([](SimFaults& f) { f.EchoRequest = true; }), false},
        FaultCase{"DelayBeyondTheReplyWait", Faults([](SimFaults& f) { f.ReplyDelayMs = 2600; }),
                  false},
        FaultCase{"NoiseBeforeEachReply", Faults([](SimFaults& f) { f.NoiseBytes = 7; }), true},
        FaultCase{"ReplyInPieces", Faults([](SimFaults& f) { f.Split = ReplySplit::Pieces; }),
                  true},
        FaultCase{"ReplyTrickled", Faults([](SimFaults& f) {
                      f.Split = ReplySplit::Trickle;
                      f.SplitGapMs = 2;
                  }),
                  true},
        FaultCase{"DelayWithinTheReplyWait", Faults([](SimFaults& f) { f.ReplyDelayMs = 1200; }),
                  true}),
    [](const testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

TEST_F(LinkTest, UnpluggedSensorEndsTheLinkWithoutSpinning) {
    ConnectAndPoll();
    sim.Unplug();
    ASSERT_TRUE(SpinUntil([&] { return poller->LinkCounters.LinksLost == 1; }, 20000));
    EXPECT_EQ(tables.LinkActive, 0);
    EXPECT_FALSE(comm.Enabled());
    // The UI thread keeps turning for longer than two poll cycles: nothing is sent, nothing is
    // delivered, the loss is counted once and the poller lives on, waiting for a new link.
    const int32_t sent = poller->LinkCounters.FramesSent.Get();
    const int delivered = deliveries;
    EXPECT_FALSE(SpinUntil(
        [&] {
            return poller->LinkCounters.FramesSent.Get() != sent || deliveries != delivered ||
                   poller->LinkCounters.LinksLost != 1 || tables.LinkActive != 0;
        },
        2 * (TComThread::IdlePollMs + TComThread::PauseMs) + 200));
    EXPECT_EQ(poller->LinkCounters.FramesSent.Get(), sent);
    EXPECT_EQ(deliveries, delivered);
    EXPECT_EQ(poller->LinkCounters.LinksLost, 1);
    EXPECT_FALSE(poller->Finished());
}

// Collects the messages of the link's log while it lives, with the log switched on as
// QT_LOGGING_RULES="vextor.link.debug=true" does.
class LinkLogLines {
public:
    LinkLogLines() {
        QLoggingCategory::setFilterRules(QStringLiteral("vextor.link.debug=true"));
        {
            std::lock_guard lock(Mutex());
            Lines().clear();
        }
        previous_ = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext& context, const QString& message) {
                if (context.category && std::string(context.category) == "vextor.link") {
                    std::lock_guard lock(Mutex());
                    Lines().push_back(message.toStdString());
                }
            });
    }
    ~LinkLogLines() {
        qInstallMessageHandler(previous_);
        QLoggingCategory::setFilterRules(QString());
    }
    LinkLogLines(const LinkLogLines&) = delete;
    LinkLogLines& operator=(const LinkLogLines&) = delete;

    // The lines that contain text.
    std::vector<std::string> With(const std::string& text) const {
        std::lock_guard lock(Mutex());
        std::vector<std::string> found;
        for (const std::string& line : Lines())
            if (line.find(text) != std::string::npos)
                found.push_back(line);
        return found;
    }

private:
    static std::vector<std::string>& Lines() {
        static std::vector<std::string> lines;
        return lines;
    }
    static std::mutex& Mutex() {
        static std::mutex mutex;
        return mutex;
    }
    QtMessageHandler previous_;
};

// A technician who switches the log on sees why the link dropped, in one line.
TEST_F(LinkTest, TheLogNamesTheCauseOfALinkLoss) {
    {
        LinkLogLines log;
        ConnectAndPoll();
        SimFaults silent;
        silent.Silent = true;
        sim.SetFaults(silent);
        ASSERT_TRUE(SpinUntil([&] { return poller->LinkCounters.LinksLost == 1; }, 20000));
        const auto lost = log.With("link lost");
        ASSERT_EQ(lost.size(), 1u);
        EXPECT_NE(lost[0].find("no good reply to 0x50 within 2000 ms"), std::string::npos)
            << lost[0];
    }
    // Unplugged: the port itself says why its transfers stopped.
    poller.reset();
    sim.SetFaults({});
    sim.Replug();
    comm.Open();
    ASSERT_TRUE(comm.Enabled());
    LinkLogLines log;
    ConnectAndPoll();
    sim.Unplug();
    ASSERT_TRUE(SpinUntil([&] { return poller->LinkCounters.LinksLost == 1; }, 20000));
    const auto lost = log.With("link lost");
    ASSERT_EQ(lost.size(), 1u);
    EXPECT_NE(lost[0].find("hang-up"), std::string::npos) << lost[0];
    EXPECT_EQ(comm.LastIoFault(), PortFault::HangUp);
}

TEST_F(LinkTest, StoppingThePollerWhileItsHandOffIsPendingReturnsPromptly) {
    std::mt19937 rng(3);
    for (int round = 0; round < 20; ++round) {
        Connect();
        // Let it run a little, then stop it without turning the event loop: its hand-off is
        // pending and must be released (or served by the wait).
        SpinUntil([] { return false; }, static_cast<int>(rng() % 30));
        poller.reset(); // a deadlock here would hang the test until ctest's time-out
        tables.LinkActive = 0;
    }
}

} // namespace
