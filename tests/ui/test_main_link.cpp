// The main window against the simulated sensor: the port search finds it, the display shows its
// values, a user's choice is written to it, a lost link comes back with "Connetti", a port held
// by another program is explained.
#include "MainFormFixture.h"
#include "SensorSim.h"
#include "model/Format.h"
#include "platform/Regional.h"

#include <QKeyEvent>
#include <QWheelEvent>

namespace {

class MainWindowLink : public MainFormWithSensorTest {
protected:
    void SetUp() override {
        MainFormWithSensorTest::SetUp();
        form->TimerConnect.start(); // the real supervision this time
    }
    bool ShowsLiveData() const {
        return form->Label1.text() == "On-Line" && form->StatusBoxes[2]->text() != "----" &&
               !form->ParamBoxes[9]->text().isEmpty() && form->Edit3.text() != "-----";
    }
};

TEST_F(MainWindowLink, FindsTheSensorShowsItAndWritesTheUsersChoice) {
    const ScopedRegionalOverride point('.');
    TMainForm& f = *form;
    f.FormShow();
    ASSERT_TRUE(SpinUntil([&] { return ShowsLiveData(); }, 30000));
    EXPECT_EQ(f.Label3.text(), QString::fromStdString(link));
    EXPECT_EQ(f.ShapeBOARD.BrushColor(), VextorColors::Lime);
    EXPECT_TRUE(f.SpeedButton9.isHidden());
    EXPECT_TRUE(f.ProgressBarCOM.isHidden());
    const SensorSimulator::Block params = sim->WorkingParams();
    EXPECT_EQ(f.ParamBoxes[9]->text(), QString::fromStdString(FormatScaled(params[9], 3)));
    EXPECT_EQ(f.ComboBox1.currentIndex(), params[4]);
    EXPECT_EQ(f.Edit2.text(), "23.456/07");
    EXPECT_EQ(f.Edit3.text(), "1234");
    EXPECT_NE(ReadSettings().find("PortComm=" + link), std::string::npos);

    // The user picks the next output type: the whole image goes to the sensor at once.
    const uint64_t writes = sim->RequestCount(0x20);
    const int picked = (f.ComboBox1.currentIndex() + 1) % 4;
    f.ComboBox1.setCurrentIndex(picked == 0 ? 1 : picked - 1);
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(&f.ComboBox1, &down);
    const int chosen = f.ComboBox1.currentIndex();
    // The poller hands off to this thread: keep the event loop turning while it writes.
    ASSERT_TRUE(SpinUntil([&] { return sim->RequestCount(0x20) > writes; }, 10000));
    EXPECT_EQ(sim->WorkingParams()[4], chosen);
}

// A wheel turned over a choice box that does not have the focus (the user scrolls the window)
// leaves the choice and the sensor alone; with the focus a wheel step is a choice as before.
TEST_F(MainWindowLink, AWheelOverAnUnfocusedChoiceBoxWritesNothing) {
    TMainForm& f = *form;
    f.show();
    f.FormShow();
    ASSERT_TRUE(SpinUntil([&] { return ShowsLiveData(); }, 30000));
    const auto wheel = [](QComboBox& box, int steps) {
        const QPointF at(box.width() / 2.0, box.height() / 2.0);
        QWheelEvent event(at, box.mapToGlobal(at), QPoint(), QPoint(0, -120 * steps), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&box, &event);
    };
    f.ParamBoxes[6]->setFocus();
    for (QComboBox* box : {&f.ComboBox1, &f.ComboBox2}) {
        const int writes = static_cast<int>(sim->RequestCount(0x20));
        const int index = box->currentIndex();
        wheel(*box, 1);
        EXPECT_EQ(box->currentIndex(), index) << box->objectName().toStdString();
        EXPECT_FALSE(box->hasFocus()) << "the wheel gave it the focus";
        const uint64_t polls = sim->RequestCount(0x50);
        ASSERT_TRUE(SpinUntil([&] { return sim->RequestCount(0x50) >= polls + 2; }, 10000));
        EXPECT_EQ(static_cast<int>(sim->RequestCount(0x20)), writes)
            << box->objectName().toStdString();
    }

    // With the focus the wheel picks the next output type, and it goes to the sensor.
    f.activateWindow();
    f.ComboBox1.setFocus();
    ASSERT_TRUE(f.ComboBox1.hasFocus());
    const uint64_t writes = sim->RequestCount(0x20);
    const int index = f.ComboBox1.currentIndex();
    wheel(f.ComboBox1, index < 3 ? 1 : -1);
    EXPECT_NE(f.ComboBox1.currentIndex(), index);
    ASSERT_TRUE(SpinUntil([&] { return sim->RequestCount(0x20) > writes; }, 10000));
    EXPECT_EQ(sim->WorkingParams()[4], f.ComboBox1.currentIndex());
}

// The saved port is silent and only COM3 answers: the real probe timer ends each silent wait,
// the port strip names the ports in the order tried, the bar counts them, COM3 is saved.
TEST_F(MainWindowLink, ASilentSavedPortThenTheListUntilCom3Answers) {
    SensorSimulator::Options silentOptions;
    silentOptions.LinkPath = (Folder() / "silent").string();
    silentOptions.Faults.Silent = true;
    SensorSimulator silent(silentOptions);
    std::string settings = "[Vextor]\r\nPortComm=COM2\r\n[Ports]\r\n";
    for (int n = 1; n <= 10; ++n) {
        const std::string device = n == 2   ? silentOptions.LinkPath
                                   : n == 3 ? link
                                            : (Folder() / "none").string();
        settings += "COM" + std::to_string(n) + "=" + device + "\r\n";
    }
    WriteSettings(settings);
    TMainForm& f = *form;
    f.FormShow();
    QStringList shown; // Label3 while the search runs, each change once
    std::vector<int> positions;
    const bool linked = SpinUntil(
        [&] {
            if (f.Search.SearchStep != 0 || f.Tables.LinkActive == 1) {
                if (shown.isEmpty() || shown.back() != f.Label3.text())
                    shown.push_back(f.Label3.text());
                const int position = f.ProgressBarCOM.Position();
                if (positions.empty() || positions.back() != position)
                    positions.push_back(position);
            }
            return f.Tables.LinkActive == 1;
        },
        30000);
    ASSERT_TRUE(linked) << shown.join(", ").toStdString();
    shown.removeAll(QStringLiteral("----"));  // before the first step
    shown.removeAll(QStringLiteral("-----")); // the caption before the first tick
    EXPECT_EQ(shown, QStringList({"COM2", "COM1", "COM2", "COM3"}));
    EXPECT_EQ(positions, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_NE(ReadSettings().find("PortComm=COM3\r\n"), std::string::npos) << ReadSettings();
    EXPECT_EQ(silent.Counters().Requests[0x10], 2u) << "one probe on each visit of COM2";
    ASSERT_TRUE(SpinUntil([&] { return ShowsLiveData(); }, 30000));
    EXPECT_EQ(f.Label3.text(), "COM3");
}

TEST_F(MainWindowLink, ALostLinkStaysDownUntilConnetti) {
    TMainForm& f = *form;
    f.FormShow();
    ASSERT_TRUE(SpinUntil([&] { return ShowsLiveData(); }, 30000));

    SimFaults silent;
    silent.Silent = true;
    sim->SetFaults(silent);
    ASSERT_TRUE(SpinUntil([&] { return f.Label1.text() == "Off-Line"; }, 15000));
    EXPECT_FALSE(f.SpeedButton9.isHidden());
    EXPECT_EQ(f.StatusBoxes[2]->text(), "----");
    EXPECT_EQ(f.Search.SearchStep, 0); // nothing searches by itself
    // Not later either (AutoConnect is off): longer than the automatic retry would wait.
    EXPECT_FALSE(SpinUntil([&] { return f.Search.SearchStep != 0; }, 6500));

    sim->SetFaults({});
    f.SpeedButton9.click();
    ASSERT_TRUE(SpinUntil([&] { return f.Label1.text() == "Search-Line"; }, 10000));
    ASSERT_TRUE(SpinUntil([&] { return ShowsLiveData(); }, 30000));
}

// AutoConnect=1: a pulled and re-plugged adapter comes back without a click, with a fresh
// poller that reads the parameters and the identification first.
TEST_F(MainWindowLink, WithAutoConnectALostLinkComesBackByItself) {
    WriteSettings("[Vextor]\r\nPortComm=" + link + "\r\nAutoConnect=1\r\n");
    TMainForm& f = *form;
    f.FormShow();
    EXPECT_TRUE(f.AutoConnect1.isChecked());
    ASSERT_TRUE(SpinUntil([&] { return ShowsLiveData(); }, 30000));

    sim->Unplug();
    ASSERT_TRUE(SpinUntil([&] { return f.Tables.LinkActive == 0; }, 15000));
    ASSERT_EQ(f.Search.ComThread()->LinkCounters.LinksLost, 1);
    const uint64_t setupReads = sim->RequestCount(0x10);
    const uint64_t infoReads = sim->RequestCount(0x15);
    sim->Replug();
    // Within 5 s of the loss a search starts; the sensor answers it.
    ASSERT_TRUE(SpinUntil([&] { return f.Search.SearchStep != 0; }, 15000));
    EXPECT_EQ(f.Label1.text(), "Search-Line");
    ASSERT_TRUE(SpinUntil([&] { return f.Tables.LinkActive == 1; }, 30000));
    EXPECT_EQ(f.Search.ComThread()->LinkCounters.LinksLost, 0) << "a fresh poller";
    ASSERT_TRUE(SpinUntil(
        [&] { return sim->RequestCount(0x10) > setupReads && sim->RequestCount(0x15) > infoReads; },
        15000));
}

// The menu item writes the key before it changes anything.
TEST_F(MainWindowLink, TheAutoConnectMenuItemWritesTheSetting) {
    TMainForm& f = *form;
    f.FormShow();
    EXPECT_FALSE(f.AutoConnect1.isChecked());
    f.AutoConnect1.trigger();
    EXPECT_TRUE(f.AutoConnect1.isChecked());
    EXPECT_TRUE(f.Search.AutoReconnect);
    EXPECT_NE(ReadSettings().find("AutoConnect=1"), std::string::npos);
    f.AutoConnect1.trigger();
    EXPECT_FALSE(f.AutoConnect1.isChecked());
    EXPECT_NE(ReadSettings().find("AutoConnect=0"), std::string::npos);

    // A settings file that cannot be written: the error is shown, nothing changes.
    ErrorReports reports;
    std::filesystem::remove(SettingsFile());
    std::filesystem::create_directory(SettingsFile());
    f.AutoConnect1.trigger();
    EXPECT_EQ(reports.messages.size(), 1u);
    EXPECT_FALSE(f.AutoConnect1.isChecked());
    EXPECT_FALSE(f.Search.AutoReconnect);
    std::filesystem::remove(SettingsFile());
}

TEST_F(MainWindowLink, APortInUseIsExplainedOnThePortLabel) {
    TComm other; // another program holds the sensor's port
    other.SetDeviceName(link);
    other.SetBaudRate(br38400);
    other.Open();
    ASSERT_TRUE(other.Enabled());
    TMainForm& f = *form;
    f.TimerConnect.stop();
    f.Search.Start();
    f.TimerConnectTimer(); // start: the saved port
    f.TimerConnectTimer(); // cannot open it
    f.TimerVisualTimer();
    EXPECT_EQ(f.Label1.text(), "Search-Line");
    EXPECT_NE(f.Label3.toolTip().indexOf(QString::fromStdString(link) + ": in use"), -1)
        << f.Label3.toolTip().toStdString();
    other.Close();
}

} // namespace
