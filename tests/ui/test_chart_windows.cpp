// The chart windows in the application's window set: opened from the main window, fed by the
// main window's tables and by the sensor's 0x70 sample frames.
#include "SensorSim.h"
#include "WindowSetFixture.h"
#include "app/Main.h"
#include "app/Windows.h"
#include "charts/Debug.h"
#include "charts/Grafico.h"
#include "platform/AppPaths.h"
#include "runtime/Translation.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

class ChartWindowSet : public WindowSetTest {
protected:
};

TEST_F(ChartWindowSet, GraficoOpensTheAcquisitionWindowAndDebugTheDebugWindow) {
    WriteSettings("[Vextor]\r\nDebug=0\r\n");
    CreateWindows();
    ASSERT_NE(GraficoForm, nullptr);
    ASSERT_NE(DebugForm, nullptr);
    MainForm->TimerConnect.stop();
    MainForm->FormShow();
    EXPECT_TRUE(GraficoForm->isHidden());
    EXPECT_TRUE(DebugForm->isHidden());
    EXPECT_EQ(GraficoForm->pos(), MainForm->pos());

    Click(MainForm->SpeedButton6); // "Grafico"
    EXPECT_TRUE(GraficoForm->isVisible());
    // The top chart's title is the main window's output type.
    EXPECT_EQ(GraficoForm->AdvGDIPChartView1.Panes[0].Title, MainForm->ComboBox1.currentText());
    GraficoForm->Timer1Timer();
    ASSERT_TRUE(GraficoForm->SpeedButton10.isVisible());
    Click(GraficoForm->SpeedButton10); // "DEBUG"
    EXPECT_TRUE(DebugForm->isVisible());
    Click(DebugForm->SpeedButton1);
    Click(GraficoForm->SpeedButton1);
    EXPECT_TRUE(DebugForm->isHidden());
    EXPECT_TRUE(GraficoForm->isHidden());

    // The language switch of the main window reaches the acquisition window.
    MainForm->Inglese1Click();
    EXPECT_EQ(GraficoForm->windowTitle(), "Graphics");
    EXPECT_EQ(GraficoForm->AdvGDIPChartView1.Panes[0].Title, MainForm->ComboBox1.currentText());
    EXPECT_EQ(DebugForm->windowTitle(), "DebugForm");
}

TEST_F(ChartWindowSet, TheDebugSettingHidesTheDebugButton) {
    WriteSettings("[Vextor]\r\nDebug=1\r\n");
    CreateWindows();
    MainForm->TimerConnect.stop();
    MainForm->FormShow();
    GraficoForm->show();
    GraficoForm->Timer1Timer();
    EXPECT_FALSE(GraficoForm->SpeedButton10.isVisible());
}

TEST_F(ChartWindowSet, SampleFramesFromTheSensorReachTheAcquisitionWindow) {
    PlugSensor();
    sensor->SetSampleInterval(150);
    CreateWindows();
    MainForm->FormShow();
    ASSERT_TRUE(SpinUntil([] { return MainForm->Tables.LinkActive == 1; }, 30000));

    // Outside an acquisition a frame only updates SampleWords (word 3 counts the frames).
    ASSERT_TRUE(SpinUntil([] { return GraficoForm->SampleWords[3] >= 2; }, 20000));
    EXPECT_EQ(GraficoForm->SampleCount(), 0);

    // During one every frame adds its first two words as a sample.
    Click(GraficoForm->SpeedButton2);
    GraficoForm->Timer2.stop(); // only the frames add samples here
    const int32_t first = GraficoForm->SampleWords[3];
    ASSERT_TRUE(SpinUntil([&] { return GraficoForm->SampleWords[3] >= first + 3; }, 20000));
    const int32_t count = GraficoForm->SampleCount();
    EXPECT_GE(count, 3);
    EXPECT_LE(count, GraficoForm->SampleWords[3] - first);
    EXPECT_EQ(GraficoForm->PrimarySample(count - 1), GraficoForm->SampleWords[0]);
    EXPECT_EQ(GraficoForm->SecondarySample(count - 1), GraficoForm->SampleWords[1]);
    EXPECT_EQ(DebugForm->SampleCount(), 0); // the debug window takes no frames
}

} // namespace
