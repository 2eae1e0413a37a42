// The port search over real pseudo-terminals: the order of the ports tried, what is saved, the
// progress shown, and stopping the poller at a new search or at shutdown.
#include "SensorSim.h"
#include "link/PortSearch.h"
#include "platform/IniFile.h"
#include "support/QtTestApp.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <memory>
#include <optional>

namespace {

class PortSearchTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        settings = std::filesystem::path(folder.path().toStdString()) / "vextor-config.INI";
        PortNameContext names;
        names.DeviceDir = folder.path().toStdString(); // no real serial devices in the list
        names.SysTtyDir = folder.path().toStdString();
        names.SettingsFile = settings;
        comm.SetPortNameContext(names);
        comm.OnRxChar = [this](TThreadComm*, uint32_t count) {
            ReceiveWaitingBytes(tables, search->ComThread(), count);
        };
        TPortSearch::Hooks hooks;
        hooks.ArmProbeTimer = [this] { ++probes; };
        hooks.EnableDisplayTimer = [this] { ++displayEnabled; };
        hooks.SetProgress = [this](int p) { progress.push_back(p); };
        search = std::make_unique<TPortSearch>(tables, comm, settings, nullptr, hooks);
    }
    void TearDown() override {
        search.reset(); // the poller stops before the port closes
        comm.Close();
    }

    // Settings with the saved port (none: no PortComm key) and COMn mapped to the given devices;
    // every other COMn maps to a device that does not exist.
    void WriteSettings(const std::optional<std::string>& saved,
                       const std::map<int, std::string>& ports) {
        std::string text = "[Vextor]\r\n";
        if (saved)
            text += "PortComm=" + *saved + "\r\n";
        text += "[Ports]\r\n";
        for (int n = 1; n <= 10; ++n) {
            auto it = ports.find(n);
            text += "COM" + std::to_string(n) + "=" +
                    (it != ports.end() ? it->second : folder.path().toStdString() + "/none") +
                    "\r\n";
        }
        std::ofstream(settings, std::ios::binary) << text;
    }
    std::unique_ptr<SensorSimulator> Sim(bool silent = false) {
        SensorSimulator::Options o;
        o.Faults.Silent = silent;
        if (getenv("SIM_LOG"))
            o.Log = [](const std::string& t) { fprintf(stderr, "sim: %s\n", t.c_str()); };
        return std::make_unique<SensorSimulator>(o);
    }

    // Runs the search to its end, as the timers would, and returns the ports opened in turn.
    std::vector<std::string> RunSearch() {
        std::vector<std::string> tried;
        search->Start();
        for (int tick = 0; tick < 100 && search->SearchStep != 0; ++tick) {
            if (search->SearchStep == 2)
                tried.push_back(comm.DeviceName());
            if (search->SearchStep == 3) {
                // Waits for an answer as the 2000 ms probe timer would.
                if (!SpinUntil([&] { return tables.RxSeen == 1; }, 2000))
                    search->ProbeTimeout();
            }
            search->SearchTick();
        }
        return tried;
    }

    QTemporaryDir folder;
    std::filesystem::path settings;
    SensorTables tables;
    TComm comm;
    std::unique_ptr<TPortSearch> search;
    int probes = 0;
    int displayEnabled = 0;
    std::vector<int> progress;
};

TEST_F(PortSearchTest, SavedPortFirstThenTheListUntilTheSensorAnswers) {
    auto sim = Sim();
    WriteSettings("COM1", {{5, sim->SlavePath()}});
    const auto tried = RunSearch();
    EXPECT_EQ(tried, (std::vector<std::string>{"COM1", "COM1", "COM2", "COM3", "COM4", "COM5"}));
    EXPECT_EQ(IniFile(settings).ReadString("Vextor", "PortComm", ""), "COM5");
    EXPECT_EQ(progress.back(), 5);
    EXPECT_EQ(tables.LinkActive, 1);
    ASSERT_NE(search->ComThread(), nullptr);
    EXPECT_EQ(search->ComThread()->RequestFlags.load() & (ReqReadSetup | ReqReadInfo),
              unsigned(ReqReadSetup | ReqReadInfo));
    EXPECT_EQ(displayEnabled, 1);
    EXPECT_STREQ(search->LinkStateText(), "On-Line");
    // The first reads follow: the parameter block arrives.
    EXPECT_TRUE(SpinUntil([&] { return tables.SetupReceived == 1; }, 10000));
}

TEST_F(PortSearchTest, ASavedPortThatAnswersAtOnceIsTheOnlyOneTried) {
    auto sim = Sim();
    WriteSettings(sim->SlavePath(), {});
    EXPECT_EQ(RunSearch(), (std::vector<std::string>{sim->SlavePath()}));
    EXPECT_EQ(IniFile(settings).ReadString("Vextor", "PortComm", ""), sim->SlavePath());
    EXPECT_EQ(progress, (std::vector<int>{0}));
    EXPECT_EQ(probes, 1);
}

TEST_F(PortSearchTest, ASilentPortIsClosedAfterTheProbeWaitAndTheSearchGoesOn) {
    auto silent = Sim(/*silent=*/true);
    auto sensor = Sim();
    WriteSettings("COM2", {{2, silent->SlavePath()}, {3, sensor->SlavePath()}});
    EXPECT_EQ(RunSearch(), (std::vector<std::string>{"COM2", "COM1", "COM2", "COM3"}));
    EXPECT_EQ(IniFile(settings).ReadString("Vextor", "PortComm", ""), "COM3");
    EXPECT_EQ(probes, 3);
}

TEST_F(PortSearchTest, NoSensorAnywhereEndsOffLineAfterElevenAttempts) {
    WriteSettings(std::nullopt, {}); // no PortComm: "COM1" first
    const auto tried = RunSearch();
    ASSERT_EQ(tried.size(), 11u);
    EXPECT_EQ(tried[0], "COM1");
    EXPECT_EQ(tried[1], "COM1");
    EXPECT_EQ(tried[10], "COM10");
    EXPECT_EQ(search->SearchStep, 0);
    EXPECT_EQ(progress.back(), 10);
    EXPECT_EQ(tables.LinkActive, 0);
    EXPECT_STREQ(search->LinkStateText(), "Off-Line");
    EXPECT_EQ(search->ComThread(), nullptr);
}

TEST_F(PortSearchTest, WithoutASettingsFileTheSearchStartsAtCom1) {
    std::vector<std::string> tried = RunSearch();
    ASSERT_EQ(tried.size(), 11u);
    EXPECT_EQ(tried[0], "COM1");
    EXPECT_EQ(tried[1], "COM1");
    EXPECT_EQ(tried[10], "COM10");
    EXPECT_FALSE(std::filesystem::exists(settings)) << "nothing is written without an answer";
}

TEST_F(PortSearchTest, ALostLinkStaysDownUntilANewSearchStopsTheOldPoller) {
    auto sim = Sim();
    WriteSettings(sim->SlavePath(), {});
    RunSearch();
    ASSERT_TRUE(SpinUntil([&] { return tables.SetupReceived == 1; }, 10000));
    SimFaults f;
    f.Silent = true;
    sim->SetFaults(f);
    ASSERT_TRUE(SpinUntil([&] { return search->ComThread()->LinkCounters.LinksLost == 1; }, 10000));
    EXPECT_STREQ(search->LinkStateText(), "Off-Line");
    EXPECT_FALSE(comm.Enabled());
    const TComThread* old = search->ComThread();
    ASSERT_NE(old, nullptr) << "the poller lives on after the loss";
    sim->SetFaults({});
    EXPECT_EQ(RunSearch(), (std::vector<std::string>{sim->SlavePath()})); // "Connetti"
    EXPECT_EQ(tables.LinkActive, 1);
    EXPECT_EQ(search->ComThread()->LinkCounters.LinksLost, 0) << "a new poller counts afresh";
}

TEST_F(PortSearchTest, ANewSearchWhileThePortIsStillOpenStartsFromAClosedPort) {
    auto sim = Sim();
    WriteSettings(sim->SlavePath(), {});
    RunSearch();
    ASSERT_TRUE(comm.Enabled());
    // "Connetti" pressed in the moment after a success: the search closes the port first
    // instead of failing every Open with "Port already assigned".
    EXPECT_EQ(RunSearch(), (std::vector<std::string>{sim->SlavePath()}));
    EXPECT_EQ(tables.LinkActive, 1);
}

// Shutdown while the poller polls, after it lost the link (it lives on, the port is closed) and
// after a search that found nothing (there is no poller): each ends with no poller, and a port
// that is still open is closed only after the poller has gone.
TEST_F(PortSearchTest, ShutdownStopsThePollerBeforeThePortClosesConnectedOrNot) {
    enum class At { Polling, LinkLost, NeverConnected };
    for (const At at : {At::Polling, At::LinkLost, At::NeverConnected}) {
        SCOPED_TRACE(static_cast<int>(at));
        auto sim = Sim();
        WriteSettings(at == At::NeverConnected ? std::nullopt : std::optional(sim->SlavePath()),
                      {});
        RunSearch();
        if (at == At::NeverConnected) {
            ASSERT_EQ(search->ComThread(), nullptr);
            ASSERT_EQ(tables.LinkActive, 0);
        } else {
            ASSERT_TRUE(SpinUntil([&] { return sim->RequestCount(0x50) >= 1; }, 10000));
        }
        if (at == At::LinkLost) {
            SimFaults f;
            f.Silent = true;
            sim->SetFaults(f);
            ASSERT_TRUE(
                SpinUntil([&] { return search->ComThread()->LinkCounters.LinksLost == 1; }, 10000));
            ASSERT_FALSE(comm.Enabled());
            ASSERT_NE(search->ComThread(), nullptr);
        }
        search->StopPoller(); // polling and handing off, waiting for a link, or nothing at all
        EXPECT_EQ(search->ComThread(), nullptr);
        EXPECT_EQ(comm.Enabled(), at == At::Polling)
            << "the poller is gone before the port is closed";
        comm.Close();
        EXPECT_FALSE(comm.Enabled());
        const uint64_t requests = sim->Counters().Requests[0x50];
        EXPECT_FALSE(SpinUntil([&] { return sim->Counters().Requests[0x50] != requests; },
                               2 * TComThread::IdlePollMs))
            << "nothing polls after the shutdown";
    }
}

} // namespace
