// The link statistics window against a poller that is not running, and in the application on
// the main window's link to the simulated sensor.
#include "WindowSetFixture.h"
#include "app/Main.h"
#include "app/Windows.h"
#include "diag/Diagnose.h"
#include "link/Comthread.h"
#include "runtime/Translation.h"
#include "support/FakePort.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class DiagnoseWindow : public testing::Test {
protected:
    void SetUp() override { Translation().SetLanguage(1); }
    void TearDown() override { Translation().SetLanguage(1); }

    // A new connection: a fresh poller with its own counters.
    void Connect() {
        poller = std::make_unique<TComThread>(tables, port, nullptr, /*start=*/false);
        tables.LinkActive = 1;
    }
    void SetCounters(int sent, int good, int xorErrors, int timeouts, int lost) {
        poller->LinkCounters.FramesSent = sent;
        poller->LinkCounters.RepliesGood = good;
        poller->LinkCounters.ChecksumErrors = xorErrors;
        poller->LinkCounters.Timeouts = timeouts;
        poller->LinkCounters.LinksLost = lost;
    }
    QStringList Shown() const {
        return {form.Edit1.text(), form.Edit2.text(), form.Edit3.text(), form.Edit4.text(),
                form.Edit5.text()};
    }

    QApplication& app = UiApp(); // before any widget
    SensorTables tables;
    FakePort port;
    std::unique_ptr<TComThread> poller;
    TDiagnoseForm form{tables, [this] { return static_cast<const TComThread*>(poller.get()); }};
};

TEST_F(DiagnoseWindow, IsLaidOutAsDesigned) {
    EXPECT_EQ(form.objectName(), "DiagnoseForm");
    EXPECT_EQ(form.windowTitle(), "DIagnostica seriale");
    EXPECT_EQ(form.size(), QSize(237, 290));
    EXPECT_EQ(form.pos(), QPoint(0, 0));
    EXPECT_TRUE(form.isHidden());
    EXPECT_EQ(form.font().family(), BaseFont().family());
    EXPECT_EQ(form.Label1.text(), "Frame trasmessi");
    EXPECT_EQ(form.Label5.text(), "Frame perduti ( fine dei tentativi )");
    EXPECT_EQ(form.Label3.pos(), QPoint(56, 125));
    EXPECT_EQ(form.Edit2.geometry(), QRect(56, 96, 121, 21));
    EXPECT_EQ(form.Edit5.geometry(), QRect(56, 240, 121, 21));
    EXPECT_TRUE(form.Timer1.isActive());
    EXPECT_EQ(form.Timer1.interval(), 1000);
}

TEST_F(DiagnoseWindow, ShowsTheDesignTextsBeforeAnyLink) {
    form.show();
    form.Timer1Timer();
    EXPECT_EQ(Shown(), QStringList({"Edit1", "Edit2", "Edit3", "Edit4", "Edit5"}));
}

TEST_F(DiagnoseWindow, ShowsTheCountersWhileTheLinkIsUpAndKeepsThemAfter) {
    Connect();
    SetCounters(12, 10, 1, 0, 0);
    form.Timer1Timer();
    EXPECT_EQ(Shown(), QStringList({"12", "10", "1", "0", "0"}));

    // The link is lost: the poller counts it, the window stops refreshing.
    SetCounters(13, 10, 1, 1, 1);
    tables.LinkActive = 0;
    form.Timer1Timer();
    EXPECT_EQ(Shown(), QStringList({"12", "10", "1", "0", "0"}));

    // A new connection starts from 0 again.
    Connect();
    SetCounters(2147483647, 0, 0, 0, 0);
    form.Timer1Timer();
    EXPECT_EQ(Shown(), QStringList({"2147483647", "0", "0", "0", "0"}));
}

TEST_F(DiagnoseWindow, LinkFlagWithoutAPollerChangesNothing) {
    tables.LinkActive = 1;
    form.Timer1Timer();
    EXPECT_EQ(Shown(), QStringList({"Edit1", "Edit2", "Edit3", "Edit4", "Edit5"}));
}

TEST_F(DiagnoseWindow, TimerRefreshesWhileHidden) {
    Connect();
    SetCounters(7, 6, 0, 0, 0);
    EXPECT_TRUE(SpinUntil([&] { return form.Edit1.text() == "7"; }, 5000));
    EXPECT_EQ(form.Edit2.text(), "6");
}

TEST_F(DiagnoseWindow, FollowsTheLanguage) {
    Translation().SetLanguage(2);
    EXPECT_EQ(form.windowTitle(), "Serial test");
    EXPECT_EQ(form.Label1.text(), "Trasmitted frame");
    EXPECT_EQ(form.Label3.text(), "Error XOR");
    EXPECT_EQ(form.Edit1.text(), "Edit1"); // the boxes are not in the table
    // A window created while English is active starts in English.
    TDiagnoseForm later(tables, [] { return nullptr; });
    EXPECT_EQ(later.Label2.text(), "Number rx ok");
    Translation().SetLanguage(1);
    EXPECT_EQ(form.Label1.text(), "Frame trasmessi");
    EXPECT_EQ(form.windowTitle(), "DIagnostica seriale");
}

// The window as the program makes it, refreshed by its own timer from the main window's current
// poller. The sensor answers the measurement poll with a wrong checksum once: "XOR" shows it
// within 2 s (a refresh a second), the time-out that follows ends the link, and the counts of the
// next connection start from 0.
class DiagnoseLive : public WindowSetTest {};

TEST_F(DiagnoseLive, ABadChecksumShowsInXorAndTheNextConnectionCountsFromZero) {
    PlugSensor();
    CreateWindows();
    TMainForm& f = *MainForm;
    TDiagnoseForm& d = *DiagnoseForm;
    f.show(); // the first showing starts the search at the connection timer's ticks
    d.show();
    const auto polls = [&] {
        const TComThread* poller = f.Search.ComThread();
        return poller != nullptr ? int(poller->LinkCounters.FramesSent) : 0;
    };
    ASSERT_TRUE(SpinUntil(
        [&] { return f.Tables.LinkActive == 1 && polls() >= 6 && d.Edit1.text().toInt() >= 6; },
        30000));
    EXPECT_EQ(d.Edit3.text(), "0");
    EXPECT_EQ(d.Edit5.text(), "0");
    const int sentBefore = d.Edit1.text().toInt();

    SimFaults bad;
    bad.BadChecksum = true;
    bad.OnlyCommands = {0x50};
    sensor->SetFaults(bad);
    const TComThread& poller = *f.Search.ComThread();
    ASSERT_TRUE(SpinUntil([&] { return poller.LinkCounters.ChecksumErrors >= 1; }, 10000));
    EXPECT_TRUE(SpinUntil([&] { return d.Edit3.text() == "1"; }, 2000))
        << "XOR shows " << d.Edit3.text().toStdString();

    // The time-out ends the link; the window keeps what it showed last.
    ASSERT_TRUE(SpinUntil([&] { return f.Tables.LinkActive == 0; }, 10000));
    EXPECT_EQ(poller.LinkCounters.LinksLost, 1);
    int refreshes = 0;
    QObject context;
    QObject::connect(&d.Timer1, &QTimer::timeout, &context, [&] { ++refreshes; });
    ASSERT_TRUE(SpinUntil([&] { return refreshes >= 2; }, 10000));
    EXPECT_EQ(d.Edit3.text(), "1");
    EXPECT_EQ(d.Edit5.text(), "0");

    // "Connetti": a new poller, and the window counts from 0 again.
    sensor->SetFaults({});
    f.SpeedButton9.click();
    ASSERT_TRUE(
        SpinUntil([&] { return f.Tables.LinkActive == 1 && d.Edit3.text() == "0"; }, 30000));
    EXPECT_LT(d.Edit1.text().toInt(), sentBefore);
    EXPECT_EQ(d.Edit4.text(), "0");
    EXPECT_EQ(d.Edit5.text(), "0");
}

} // namespace
