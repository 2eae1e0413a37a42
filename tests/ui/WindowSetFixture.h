#pragma once
// The application's whole set of windows, created as the program creates them, in a folder of
// the test's own (the settings file beside a pretended executable, the per-user data folder
// with the recordings inside it), with room for a simulated sensor. The windows (poller, port)
// go before the sensor.
#include "SensorSim.h"
#include "app/Windows.h"
#include "platform/AppPaths.h"
#include "runtime/Translation.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

class WindowSetTest : public testing::Test {
protected:
    void SetUp() override {
        UiApp();
        Translation().SetLanguage(1);
        ASSERT_TRUE(dir.isValid());
        SetExecutablePathOverride(Folder() / "vextor-config");
        hadDataHome_ = qEnvironmentVariableIsSet("XDG_DATA_HOME");
        savedDataHome_ = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString((Folder() / "data").string()));
    }
    void TearDown() override {
        DestroyWindows();
        sensor.reset();
        SetExecutablePathOverride({});
        Translation().SetLanguage(1);
        if (hadDataHome_)
            qputenv("XDG_DATA_HOME", savedDataHome_);
        else
            qunsetenv("XDG_DATA_HOME");
    }

    std::filesystem::path Folder() const { return dir.path().toStdString(); }
    void WriteSettings(const std::string& text) const {
        std::ofstream(Folder() / "vextor-config.INI", std::ios::binary) << text;
    }
    // A simulated sensor on a link in the folder, saved as the port the search tries first.
    void PlugSensor() {
        sensor.reset();
        const std::string link = (Folder() / "sensor").string();
        SensorSimulator::Options options;
        options.LinkPath = link;
        sensor = std::make_unique<SensorSimulator>(options);
        WriteSettings("[Vextor]\r\nPortComm=" + link + "\r\n");
    }

    QTemporaryDir dir;
    std::unique_ptr<SensorSimulator> sensor;

private:
    bool hadDataHome_ = false;
    QByteArray savedDataHome_;
};
