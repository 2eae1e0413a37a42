#pragma once
// A main window whose settings file lives in a temporary folder, with the exit question and the
// end of the message loop recorded instead of shown and run.
#include "SensorSim.h"
#include "app/Main.h"
#include "platform/AppPaths.h"
#include "runtime/Translation.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

class MainFormTest : public testing::Test {
protected:
    void SetUp() override {
        UiApp();
        Translation().SetLanguage(1); // the windows are created in Italian
        ASSERT_TRUE(folder.isValid());
        SetExecutablePathOverride(Folder() / "vextor-config");
        form = MakeForm();
    }
    void TearDown() override {
        form.reset();
        SetExecutablePathOverride({});
        Translation().SetLanguage(1);
    }

    std::unique_ptr<TMainForm> MakeForm() {
        auto f = std::make_unique<TMainForm>();
        connectTimerWasRunning = f->TimerConnect.isActive();
        if (driveSearchByHand)
            f->TimerConnect.stop();
        f->AskExit = [this](const QString& text) {
            questions.push_back(text);
            return exitAnswer;
        };
        f->Terminate = [this] { ++terminations; };
        return f;
    }

    std::filesystem::path Folder() const { return folder.path().toStdString(); }
    std::filesystem::path SettingsFile() const { return Folder() / "vextor-config.INI"; }
    void WriteSettings(const std::string& text) const {
        std::ofstream(SettingsFile(), std::ios::binary) << text;
    }
    std::string ReadSettings() const {
        std::ifstream in(SettingsFile(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // Without a sensor the tests drive the port search themselves; with one the connection timer
    // runs as the window started it.
    bool driveSearchByHand = true;
    QTemporaryDir folder;
    std::unique_ptr<TMainForm> form;
    bool connectTimerWasRunning = false;
    QStringList questions;
    bool exitAnswer = false;
    int terminations = 0;
};

// Waits until the search under way (started by the window's first showing or by "Connetti") has
// found the sensor at the ticks of the window's own connection timer and the parameters are on
// screen. One search must do it: a search that ends Off-Line, or a link lost before the
// parameters came, fails, with the step and port where it ended.
inline testing::AssertionResult WaitForSensorParameters(TMainForm& f) {
    if (!f.TimerConnect.isActive())
        return testing::AssertionFailure() << "the connection timer is not running";
    const auto down = [&] { return f.Tables.LinkActive != 1 && f.Search.SearchStep == 0; };
    if (down())
        return testing::AssertionFailure() << "no search under way";
    const bool ended = SpinUntil(
        [&] {
            return down() || (f.Tables.LinkActive == 1 && f.Tables.SetupReceived == 0 &&
                              !f.ParamBoxes[9]->text().isEmpty());
        },
        30000);
    if (!ended)
        return testing::AssertionFailure()
               << "no end to the search in 30 s: step " << f.Search.SearchStep << ", port "
               << f.Comm1.DeviceName() << ", link " << int(f.Tables.LinkActive);
    if (down())
        return testing::AssertionFailure()
               << "the search ended Off-Line (last port tried " << f.Comm1.DeviceName()
               << ", port index " << f.Search.PortIndex << ")";
    return testing::AssertionSuccess();
}

// The main window with a simulated sensor on a link in the test's folder, saved as the port to
// try first, and the connection timer running as in the program: the search runs at its own
// ticks once the window is shown. The window (poller, port) goes before the sensor.
class MainFormWithSensorTest : public MainFormTest {
protected:
    MainFormWithSensorTest() { driveSearchByHand = false; }
    void SetUp() override {
        MainFormTest::SetUp();
        link = (Folder() / "sensor").string();
        SensorSimulator::Options options;
        options.LinkPath = link;
        sim = std::make_unique<SensorSimulator>(options);
        WriteSettings("[Vextor]\r\nPortComm=" + link + "\r\n");
    }
    void TearDown() override {
        MainFormTest::TearDown();
        sim.reset();
    }

    std::string link;
    std::unique_ptr<SensorSimulator> sim;
};
