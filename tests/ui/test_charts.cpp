// The acquisition and debug chart windows on their own tables: layout, acquisition states,
// the curves against the buffers, zoom and pan, the status strip, the test sample and printing.
#include "PdfRender.h"
#include "charts/Debug.h"
#include "charts/Grafico.h"
#include "model/SensorTables.h"
#include "runtime/Look.h"
#include "runtime/Translation.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QTemporaryDir>

#include <cstdint>
#include <string>

namespace {

class ChartWindows : public testing::Test {
protected:
    void SetUp() override { Translation().SetLanguage(1); }
    void TearDown() override { Translation().SetLanguage(1); }

    ChartSources Sources() {
        ChartSources s;
        s.OutputIndex = [this] { return outputIndex; };
        s.OutputText = [this] { return outputText; };
        s.SearchStep = [this] { return searchStep; };
        s.PortName = [this] { return port; };
        s.DebugSetting = [this] { return debug; };
        s.NowSeconds = [this] { return now; };
        return s;
    }

    // n sampling ticks with the current StatusWords.
    static void Ticks(TChartForm& form, int n) {
        for (int i = 0; i < n; ++i)
            form.Timer2Timer();
    }

    static std::pair<int32_t, int32_t> Range(TChartView& view) {
        return {view.Panes[0].Range.RangeFrom, view.Panes[0].Range.RangeTo};
    }

    // The series holds exactly (i, scale * buffer[i]) for every stored sample.
    static void ExpectCurve(const TChartSeries& series, const TChartForm& form, bool primary,
                            double scale) {
        ASSERT_EQ(series.PointCount(), form.SampleCount());
        for (int32_t i = 0; i < form.SampleCount(); ++i) {
            const int32_t raw = primary ? form.PrimarySample(i) : form.SecondarySample(i);
            ASSERT_EQ(series.PointX(i), i);
            ASSERT_DOUBLE_EQ(series.PointY(i), raw * scale) << "sample " << i;
        }
    }

    QApplication& app = UiApp();
    SensorTables tables;
    int outputIndex = 0;
    QString outputText = QStringLiteral("Velocità Flusso [mt/sec]");
    int32_t searchStep = 0;
    std::string port = "COM3";
    int32_t debug = 0;
    int64_t now = 1700000000;
    TGraficoForm grafico{tables, Sources()};
    TDebugForm debugForm{tables, Sources()};
};

TEST_F(ChartWindows, AreLaidOutAsDesigned) {
    for (TChartForm* form :
         {static_cast<TChartForm*>(&grafico), static_cast<TChartForm*>(&debugForm)}) {
        SCOPED_TRACE(form->objectName().toStdString());
        EXPECT_EQ(form->size(), QSize(1024, 768));
        EXPECT_TRUE(form->isHidden());
        EXPECT_EQ(form->PanelTop.geometry(), QRect(0, 0, 1024, 57));
        EXPECT_EQ(form->PanelTop.palette().color(QPalette::Window), QColor(166, 202, 240));
        EXPECT_EQ(form->PanelBottom.geometry(), QRect(0, 711, 1024, 57));
        EXPECT_EQ(form->PanelBottom.palette().color(QPalette::Window), QColor(166, 202, 240));
        EXPECT_EQ(form->ShapeBOARD.geometry(), QRect(8, 9, 17, 16));
        EXPECT_EQ(form->ShapeBOARD.BrushColor(), QColor(255, 0, 0));
        EXPECT_EQ(form->Label1.pos(), QPoint(31, 12));
        EXPECT_EQ(form->Label1.text(), "------");
        EXPECT_EQ(form->Label4.pos(), QPoint(8, 31));
        EXPECT_EQ(form->PanelOra.geometry(), QRect(785, 5, 225, 35));
        EXPECT_TRUE(form->PanelOra.font().bold());
        const struct {
            QPushButton& button;
            const char* caption;
            QRect place;
        } buttons[] = {
            {form->SpeedButton2, "Start ADQ", {8, 6, 105, 41}},
            {form->SpeedButton3, "Stop ADQ", {119, 6, 98, 41}},
            {form->SpeedButton4, "+", {408, 6, 49, 43}},
            {form->SpeedButton5, "-", {463, 6, 49, 43}},
            {form->SpeedButton6, "<-", {518, 6, 49, 43}},
            {form->SpeedButton7, "->", {573, 6, 49, 43}},
            {form->SpeedButton8, "RES", {628, 6, 49, 43}},
            {form->SpeedButton9, "Print", {683, 6, 102, 43}},
            {form->SpeedButton1, "ESCI", {898, 6, 112, 41}},
        };
        for (const auto& b : buttons) {
            EXPECT_EQ(b.button.text(), b.caption);
            EXPECT_EQ(b.button.geometry(), b.place) << b.caption;
        }
        EXPECT_FALSE(form->SpeedButton9.icon().isNull());
        EXPECT_FALSE(form->SpeedButton1.icon().isNull());
        EXPECT_EQ(form->Label2.text(), "Secondi trascorsi dallo start ADQ");
        EXPECT_EQ(form->Label2.pos(), QPoint(236, 6));
        EXPECT_EQ(form->Edit1.geometry(), QRect(236, 24, 121, 21));
        EXPECT_TRUE(form->Timer1.isActive());
        EXPECT_EQ(form->Timer1.interval(), 1000);
        EXPECT_FALSE(form->Timer2.isActive());
        EXPECT_EQ(form->Timer2.interval(), 1000);
        // Each tick is due a second after the previous one was due, whatever its work took.
        EXPECT_EQ(form->Timer2.timerType(), Qt::PreciseTimer);
        EXPECT_FALSE(form->Acquiring());
        EXPECT_TRUE(form->SpeedButton2.isEnabled());
        EXPECT_EQ(form->RvSystemR.TitleSetup, "Output Options");
        EXPECT_EQ(form->RvSystemR.Orientation, QPageLayout::Landscape);
    }
    EXPECT_EQ(grafico.objectName(), "GraficoForm");
    EXPECT_EQ(grafico.windowTitle(), "Grafico");
    EXPECT_EQ(grafico.palette().color(QPalette::Window), QColor(255, 255, 255));
    EXPECT_EQ(grafico.SpeedButton10.text(), "DEBUG");
    EXPECT_EQ(grafico.SpeedButton10.geometry(), QRect(790, 6, 102, 43));
    EXPECT_EQ(grafico.AdvGDIPChartView1.geometry(), QRect(0, 57, 1024, 320));
    EXPECT_EQ(grafico.AdvGDIPChartView2.geometry(), QRect(0, 377, 1024, 334));
    EXPECT_EQ(grafico.AdvGDIPChartView1.Panes[0].YGrid.MajorDistance, 2.0);
    EXPECT_EQ(grafico.AdvGDIPChartView2.Panes[0].YGrid.MajorDistance, 10.0);
    EXPECT_EQ(grafico.AdvGDIPChartView2.Panes[0].YGrid.MinorDistance, 10.0);
    EXPECT_EQ(debugForm.objectName(), "DebugForm");
    EXPECT_EQ(debugForm.windowTitle(), "DebugForm");
    EXPECT_EQ(debugForm.AdvGDIPChartView1.geometry(), QRect(0, 57, 1024, 654));
    const TChartPane& pane = debugForm.AdvGDIPChartView1.Panes[0];
    ASSERT_EQ(pane.Series.Count(), 2);
    EXPECT_EQ(pane.Series[1].Color, QColor(0, 0, 255));
    EXPECT_EQ(pane.Series[1].LineColor, QColor(0, 130, 207));
}

TEST_F(ChartWindows, TheAcquisitionWindowFollowsTheLanguageTheDebugWindowDoesNot) {
    grafico.show();
    outputText = "Mass Flow [Kg/h]";
    Translation().SetLanguage(2);
    EXPECT_EQ(grafico.windowTitle(), "Graphics");
    EXPECT_EQ(grafico.Label2.text(), "Seconds elapsed from the start ADQ");
    EXPECT_LT(grafico.Label2.geometry().right(), grafico.SpeedButton4.x()); // not under "+"
    EXPECT_EQ(grafico.SpeedButton1.text(), "Exit");
    EXPECT_EQ(grafico.SpeedButton2.text(), "Start ADQ");
    EXPECT_EQ(grafico.SpeedButton9.text(), "Print");
    EXPECT_EQ(grafico.AdvGDIPChartView1.Panes[0].Title, "Mass Flow [Kg/h]");
    EXPECT_EQ(debugForm.windowTitle(), "DebugForm");
    EXPECT_EQ(debugForm.Label2.text(), "Secondi trascorsi dallo start ADQ");
    EXPECT_EQ(debugForm.SpeedButton1.text(), "ESCI");
    // A window created while English is active starts in English.
    TGraficoForm later(tables, Sources());
    EXPECT_EQ(later.SpeedButton1.text(), "Exit");
    Translation().SetLanguage(1);
    EXPECT_EQ(grafico.windowTitle(), "Grafico");
    EXPECT_EQ(grafico.SpeedButton1.text(), "ESCI");
}

TEST_F(ChartWindows, TheNewestSamplesAreInViewWithTheElapsedTime) {
    struct Case {
        int samples;
        int32_t from, to;
        const char* elapsed;
    };
    const Case cases[] = {
        {0, 0, 120, "0:00:00"},   {1, 0, 120, "0:00:01"},   {120, 0, 120, "0:02:00"},
        {121, 0, 120, "0:02:01"}, {122, 1, 121, "0:02:02"}, {3725, 3604, 3724, "1:02:05"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.samples);
        for (TChartForm* form :
             {static_cast<TChartForm*>(&grafico), static_cast<TChartForm*>(&debugForm)}) {
            form->hide(); // recorded while hidden, drawn when shown
            form->SpeedButton2Click();
            Ticks(*form, c.samples);
            EXPECT_EQ(form->SampleCount(), c.samples);
            form->show(); // showing runs Replot
            EXPECT_EQ(form->Edit1.text(), c.elapsed);
        }
        for (TChartView* view : {&grafico.AdvGDIPChartView1, &grafico.AdvGDIPChartView2,
                                 &debugForm.AdvGDIPChartView1}) {
            EXPECT_EQ(Range(*view), std::make_pair(c.from, c.to));
            EXPECT_EQ(view->DrawnLeft(), c.from);
            EXPECT_EQ(view->DrawnRight(), c.to);
            EXPECT_TRUE(view->Panes[0].XGrid.Visible);
            EXPECT_TRUE(view->Panes[0].YGrid.Visible);
        }
    }
    EXPECT_EQ(grafico.AdvGDIPChartView2.Panes[0].Title, "Temperatura [°c]");
    EXPECT_EQ(grafico.AdvGDIPChartView1.Panes[0].Title, "Velocità Flusso [mt/sec]");
}

TEST_F(ChartWindows, ZoomAndPanMoveTheRangeOnlyWhileNotAcquiring) {
    grafico.show();
    grafico.Replot(); // 0 to 120
    struct Case {
        QPushButton TChartForm::*button;
        int32_t from, to;
    };
    const Case cases[] = {
        {&TChartForm::SpeedButton4, 120, 0},    // "+": inverted, still drawn
        {&TChartForm::SpeedButton4, 240, -120}, // again
        {&TChartForm::SpeedButton5, 120, 0},    // "-"
        {&TChartForm::SpeedButton5, 0, 120},    {&TChartForm::SpeedButton5, -120, 240},
        {&TChartForm::SpeedButton6, -240, 120}, // "<-"
        {&TChartForm::SpeedButton7, -120, 240}, // "->"
        {&TChartForm::SpeedButton7, 0, 360},
    };
    for (const Case& c : cases) {
        Click(grafico.*c.button);
        for (TChartView* view : {&grafico.AdvGDIPChartView1, &grafico.AdvGDIPChartView2}) {
            EXPECT_EQ(Range(*view), std::make_pair(c.from, c.to));
            EXPECT_EQ(view->DrawnLeft(), c.from);
            EXPECT_EQ(view->DrawnRight(), c.to);
        }
    }
    EXPECT_FALSE(grafico.grab().isNull());

    // While acquiring the four view buttons do nothing; "RES" redraws at once.
    Click(grafico.SpeedButton2);
    for (QPushButton* b : {&grafico.SpeedButton4, &grafico.SpeedButton5, &grafico.SpeedButton6,
                           &grafico.SpeedButton7})
        Click(*b);
    EXPECT_EQ(Range(grafico.AdvGDIPChartView1), std::make_pair(0, 360));
    Click(grafico.SpeedButton8);
    EXPECT_EQ(Range(grafico.AdvGDIPChartView1), std::make_pair(0, 120));

    // The debug window's one pane the same way.
    debugForm.show();
    debugForm.Replot();
    Click(debugForm.SpeedButton4);
    EXPECT_EQ(Range(debugForm.AdvGDIPChartView1), std::make_pair(120, 0));
    Click(debugForm.SpeedButton5);
    Click(debugForm.SpeedButton5);
    EXPECT_EQ(Range(debugForm.AdvGDIPChartView1), std::make_pair(-120, 240));
}

TEST_F(ChartWindows, AFullDayOfSamplesEndsTheAcquisitionAndKeepsRedrawing) {
    outputIndex = 1;
    tables.StatusWords[1] = 777;
    tables.StatusWords[2] = 215;
    tables.StatusWords[9] = 4000;
    tables.SetupWords[6] = 1000;
    Click(grafico.SpeedButton2);
    debugForm.SpeedButton2Click();
    EXPECT_FALSE(grafico.SpeedButton2.isEnabled());
    // Hidden while it records (closing only hides): nothing is lost meanwhile.
    Ticks(grafico, TChartForm::Capacity - 1);
    Ticks(debugForm, TChartForm::Capacity + 5);
    EXPECT_TRUE(grafico.Acquiring());
    tables.StatusWords[1] = 888;
    Ticks(grafico, 1);
    EXPECT_FALSE(grafico.Acquiring()); // Full
    EXPECT_TRUE(grafico.SpeedButton2.isEnabled());
    EXPECT_TRUE(grafico.Timer2.isActive());
    EXPECT_EQ(grafico.SampleCount(), 86400);
    EXPECT_EQ(grafico.Edit1.text(), "24:00:00");
    EXPECT_EQ(grafico.PrimarySample(86399), 888);
    EXPECT_EQ(debugForm.SampleCount(), 86400);
    EXPECT_EQ(debugForm.Edit1.text(), "24:00:00");

    // Shown: the whole day is there, the newest samples in view, and every tick still redraws.
    grafico.show();
    const int drawn = grafico.AdvGDIPChartView1.DrawCount();
    tables.StatusWords[1] = 999;
    Ticks(grafico, 3);
    EXPECT_EQ(grafico.SampleCount(), 86400);
    EXPECT_EQ(grafico.PrimarySample(86399), 888);
    EXPECT_EQ(grafico.AdvGDIPChartView1.DrawCount(), drawn + 3);
    EXPECT_EQ(Range(grafico.AdvGDIPChartView1), std::make_pair(86279, 86399));
    ExpectCurve(grafico.AdvGDIPChartView1.Panes[0].Series[0], grafico, true, 1.0);
    ExpectCurve(grafico.AdvGDIPChartView2.Panes[0].Series[0], grafico, false, 0.1);
    EXPECT_EQ(grafico.AdvGDIPChartView1.Panes[0].Series[0].Maximum, 1000);
    EXPECT_EQ(grafico.AdvGDIPChartView2.Panes[0].Series[0].Maximum, 200);

    // "Stop ADQ" stops the redrawing; "Start ADQ" drops the day and starts again.
    Click(grafico.SpeedButton3);
    EXPECT_FALSE(grafico.Timer2.isActive());
    Click(grafico.SpeedButton2);
    EXPECT_EQ(grafico.SampleCount(), 0);
    Ticks(grafico, 2);
    EXPECT_EQ(grafico.AdvGDIPChartView1.Panes[0].Series[0].PointCount(), 2);
    EXPECT_EQ(grafico.AdvGDIPChartView1.Panes[0].Series[0].PointY(1), 999);
}

TEST_F(ChartWindows, TheCurvesFollowTheOutputTypeAndTheFullScaleAtEveryReplot) {
    grafico.show();
    debugForm.show();
    outputIndex = 1;
    tables.SetupWords[6] = 1000;
    Click(grafico.SpeedButton2);
    debugForm.SpeedButton2Click();
    for (int i = 0; i < 300; ++i) {
        tables.StatusWords[0] = 400 + i; // velocity, hundredths
        tables.StatusWords[1] = 500 + i; // flow
        tables.StatusWords[2] = 200 + i; // tenths of a degree
        tables.StatusWords[9] = 10 * i;  // diagnostic
        grafico.Timer2Timer();
        debugForm.Timer2Timer();
        if (i == 150)
            outputIndex = 3; // another flow type: the same word, the same scaling
    }
    EXPECT_EQ(grafico.PrimarySample(0), 500);
    ExpectCurve(grafico.AdvGDIPChartView1.Panes[0].Series[0], grafico, true, 1.0);
    ExpectCurve(grafico.AdvGDIPChartView2.Panes[0].Series[0], grafico, false, 0.1);
    ExpectCurve(debugForm.AdvGDIPChartView1.Panes[0].Series[1], debugForm, false, 10.0);
    // The Y axes start at 0, however far above it the curves run.
    const auto expectFloorAtZero = [&] {
        for (TChartView* view : {&grafico.AdvGDIPChartView1, &grafico.AdvGDIPChartView2,
                                 &debugForm.AdvGDIPChartView1}) {
            SCOPED_TRACE((view->window()->objectName() + '.' + view->objectName()).toStdString());
            for (int i = 0; i < view->Panes[0].Series.Count(); ++i)
                EXPECT_EQ(view->Panes[0].Series[i].Minimum, 0) << "series " << i;
            EXPECT_EQ(view->DrawnBottom(), 0);
        }
    };
    expectFloorAtZero();

    // Switched to velocity after recording: the whole top curve is rescaled at the next Replot,
    // with the title and the full scale of that moment.
    outputIndex = 0;
    outputText = "Velocità Flusso [mt/sec]";
    tables.SetupWords[6] = 20;
    Click(grafico.SpeedButton8);
    Click(debugForm.SpeedButton8);
    ExpectCurve(grafico.AdvGDIPChartView1.Panes[0].Series[0], grafico, true, 0.01);
    ExpectCurve(debugForm.AdvGDIPChartView1.Panes[0].Series[0], debugForm, true, 0.01);
    ExpectCurve(debugForm.AdvGDIPChartView1.Panes[0].Series[1], debugForm, false, 0.01);
    EXPECT_EQ(grafico.AdvGDIPChartView1.Panes[0].Title, "Velocità Flusso [mt/sec]");
    EXPECT_EQ(debugForm.AdvGDIPChartView1.Panes[0].Title, "Velocità Flusso [mt/sec]");
    EXPECT_EQ(grafico.AdvGDIPChartView1.Panes[0].Series[0].Maximum, 20);
    EXPECT_EQ(grafico.AdvGDIPChartView1.DrawnTop(), 20);
    EXPECT_EQ(debugForm.AdvGDIPChartView1.Panes[0].Series[1].Maximum, 20);
    expectFloorAtZero();
    // Recording on: velocity samples join the curve already rescaled.
    Ticks(grafico, 5);
    ExpectCurve(grafico.AdvGDIPChartView1.Panes[0].Series[0], grafico, true, 0.01);
    EXPECT_EQ(grafico.PrimarySample(300), 400 + 299);
}

TEST_F(ChartWindows, TheDebugWindowStoresTheDiagnosticWordRescaled) {
    struct Case {
        int32_t word;
        int32_t stored;
        double velocity, flow;
    };
    const Case cases[] = {
        {4000, 1200, 12.00, 12000},     {1, 0, 0, 0}, {3, 0, 0, 0}, {4, 1, 0.01, 10},
        {65535, 19660, 196.60, 196600},
    };
    debugForm.show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        tables.StatusWords[9] = c.word;
        for (int type : {0, 2}) {
            outputIndex = type;
            debugForm.SpeedButton2Click();
            debugForm.Timer2Timer();
            ASSERT_EQ(debugForm.SampleCount(), 1);
            EXPECT_EQ(debugForm.SecondarySample(0), c.stored);
            const TChartSeries& diagnostic = debugForm.AdvGDIPChartView1.Panes[0].Series[1];
            ASSERT_EQ(diagnostic.PointCount(), 1);
            EXPECT_DOUBLE_EQ(diagnostic.PointY(0), type == 0 ? c.velocity : c.flow);
        }
    }
}

TEST_F(ChartWindows, BothWindowsRecordTheirOwnSamples) {
    tables.StatusWords[0] = 123;
    tables.StatusWords[2] = 250;
    tables.StatusWords[9] = 400;
    Click(grafico.SpeedButton2);
    Ticks(grafico, 10);
    debugForm.SpeedButton2Click();
    Ticks(debugForm, 4);
    Ticks(grafico, 5);
    EXPECT_EQ(grafico.SampleCount(), 15);
    EXPECT_EQ(debugForm.SampleCount(), 4);
    EXPECT_EQ(grafico.SecondarySample(3), 250);
    EXPECT_EQ(debugForm.SecondarySample(3), 120);
    EXPECT_EQ(grafico.Edit1.text(), "0:00:15");
    EXPECT_EQ(debugForm.Edit1.text(), "0:00:04");
    EXPECT_NE(grafico.PrimaryStorage(), debugForm.PrimaryStorage());
    debugForm.SpeedButton3Click();
    EXPECT_TRUE(grafico.Acquiring());
}

TEST_F(ChartWindows, ASampleFrameIsStoredOnlyDuringAnAcquisition) {
    grafico.AddSample(5, 6); // the reply dispatch's call outside an acquisition
    EXPECT_EQ(grafico.SampleCount(), 0);
    Click(grafico.SpeedButton2);
    grafico.AddSample(5, 6);
    tables.StatusWords[0] = 70;
    grafico.Timer2Timer();
    EXPECT_EQ(grafico.SampleCount(), 2); // the extra sample counts as a second
    EXPECT_EQ(grafico.PrimarySample(0), 5);
    EXPECT_EQ(grafico.PrimarySample(1), 70);
    EXPECT_EQ(grafico.Edit1.text(), "0:00:02");
}

TEST_F(ChartWindows, ClosingDuringAnAcquisitionLosesNothing) {
    grafico.show();
    Click(grafico.SpeedButton2);
    Ticks(grafico, 5);
    Click(grafico.SpeedButton1); // "ESCI"
    EXPECT_TRUE(grafico.isHidden());
    EXPECT_TRUE(grafico.Timer2.isActive());
    grafico.show();
    grafico.close(); // the close box: hidden as well, not destroyed
    EXPECT_TRUE(grafico.isHidden());
    Ticks(grafico, 7);
    grafico.show();
    EXPECT_TRUE(grafico.Acquiring());
    EXPECT_EQ(grafico.SampleCount(), 12);
    EXPECT_EQ(grafico.AdvGDIPChartView1.Panes[0].Series[0].PointCount(), 12);
    EXPECT_EQ(grafico.Edit1.text(), "0:00:12");
    // The timer itself samples while the window is hidden.
    grafico.hide();
    EXPECT_TRUE(SpinUntil([&] { return grafico.SampleCount() >= 13; }, 5000));
}

TEST_F(ChartWindows, TheStatusStripShowsTheLinkAndTheDebugButtonTheSetting) {
    struct Case {
        uint8_t linkActive;
        int32_t step;
        QColor lamp;
        const char* text;
        const char* port;
    };
    const Case cases[] = {
        {1, 0, QColor(0, 255, 0), "On-Line", "COM3"},
        {0, 0, VextorColors::ButtonFace(), "Off-Line", "----"},
        {0, 3, QColor(0, 255, 255), "Search-Line", "COM3"},
    };
    for (const Case& c : cases) {
        tables.LinkActive = c.linkActive;
        searchStep = c.step;
        for (TChartForm* form :
             {static_cast<TChartForm*>(&grafico), static_cast<TChartForm*>(&debugForm)}) {
            form->Timer1Timer();
            EXPECT_EQ(form->ShapeBOARD.BrushColor(), c.lamp) << c.text;
            EXPECT_EQ(form->Label1.text(), c.text);
            EXPECT_EQ(form->Label4.text(), c.port);
            EXPECT_FALSE(form->PanelOra.text().isEmpty());
        }
    }
    grafico.show();
    debug = 1;
    grafico.Timer1Timer();
    EXPECT_FALSE(grafico.SpeedButton10.isVisible());
    debug = 0;
    grafico.Timer1Timer();
    EXPECT_TRUE(grafico.SpeedButton10.isVisible());
    int shown = 0;
    grafico.ShowDebugWindow = [&] { ++shown; };
    Click(grafico.SpeedButton10);
    EXPECT_EQ(shown, 1);
}

TEST_F(ChartWindows, AClickOnTheBottomBarAddsATestSampleWhileAcquiring) {
    grafico.show();
    debugForm.show();
    const QPoint free(382, 30); // between the elapsed time and "+"
    QTest::mouseClick(&grafico.PanelBottom, Qt::LeftButton, {}, free);
    EXPECT_EQ(grafico.SampleCount(), 0); // not acquiring

    Click(grafico.SpeedButton2);
    grafico.Timer2.stop(); // only the clicks add samples here
    QTest::mouseClick(&grafico.PanelBottom, Qt::LeftButton, {}, free);
    QTest::mouseClick(&grafico.PanelBottom, Qt::LeftButton, {}, free);
    ++now;
    QTest::mouseClick(&grafico.PanelBottom, Qt::LeftButton, {}, QPoint(894, 30));
    ASSERT_EQ(grafico.SampleCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_GE(grafico.PrimarySample(i), 0);
        EXPECT_LT(grafico.PrimarySample(i), 1000);
        EXPECT_EQ(grafico.SecondarySample(i), 300);
    }
    EXPECT_EQ(grafico.PrimarySample(0), grafico.PrimarySample(1)); // the same second
    EXPECT_NE(grafico.PrimarySample(1), grafico.PrimarySample(2));

    // On the label, the elapsed time or a button: no sample.
    Click(grafico.Label2);
    Click(grafico.Edit1);
    Click(grafico.SpeedButton8);
    EXPECT_EQ(grafico.SampleCount(), 3);

    // The debug window's bar does nothing.
    debugForm.SpeedButton2Click();
    debugForm.Timer2.stop();
    QTest::mouseClick(&debugForm.PanelBottom, Qt::LeftButton, {}, free);
    EXPECT_EQ(debugForm.SampleCount(), 0);
}

// ---- Printing ----

bool AllWhite(const QImage& image, const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255))
                return false;
    return true;
}

TEST_F(ChartWindows, PrintingTakesTheWindowWithoutItsBottomBar) {
    grafico.show();
    Click(grafico.SpeedButton2);
    grafico.Timer2.stop();
    tables.SetupWords[6] = 10;
    for (int i = 0; i < 30; ++i) {
        tables.StatusWords[0] = (i % 10) * 100;
        grafico.Timer2Timer();
    }
    std::vector<QImage> pictures;
    int runs = 0;
    grafico.ExecuteReport = [&] {
        ++runs;
        EXPECT_TRUE(grafico.PanelBottom.isHidden());
        ASSERT_NE(grafico.PrintImage(), nullptr);
        const QImage& image = *grafico.PrintImage();
        EXPECT_EQ(image.size(), QSize(1024, 768));
        EXPECT_TRUE(AllWhite(image, QRect(1019, 0, 5, 768)));
        EXPECT_TRUE(AllWhite(image, QRect(0, 688, 1024, 80)));
        EXPECT_EQ(QColor(image.pixel(500, 30)), QColor(166, 202, 240)); // the status strip
        EXPECT_FALSE(AllWhite(image, QRect(60, 420, 940, 250)));        // the bottom chart
        // The charts reach down to the picture's edge: the bottom axis is in it.
        EXPECT_EQ(grafico.AdvGDIPChartView2.geometry().bottom(), 687);
        pictures.push_back(image.copy());

        // The page: the picture stretched from 0.5 to 11.0 inches across, 0.5 to 7.5 down.
        QImage page(1100, 800, QImage::Format_RGB32);
        page.fill(Qt::white);
        {
            QPainter painter(&page);
            TBaseReport report(painter, 100, 100);
            grafico.RvSystemRPrint(report);
        }
        EXPECT_TRUE(AllWhite(page, QRect(0, 0, 1100, 49)));
        EXPECT_TRUE(AllWhite(page, QRect(0, 0, 49, 800)));
        EXPECT_EQ(QColor(page.pixel(600, 60)), QColor(166, 202, 240));
        EXPECT_TRUE(AllWhite(page, QRect(0, 751, 1100, 49)));
    };
    Click(grafico.SpeedButton9);
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(grafico.PanelBottom.isHidden());
    EXPECT_EQ(grafico.PrintImage(), nullptr);
    EXPECT_EQ(grafico.AdvGDIPChartView2.geometry(), QRect(0, 377, 1024, 334));

    // A second print is a new picture of the moment.
    tables.LinkActive = 1;
    grafico.Timer1Timer();
    Click(grafico.SpeedButton9);
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_NE(pictures[0], pictures[1]);
    EXPECT_EQ(grafico.PrintImage(), nullptr);
}

// Through the real report engine to a PDF file: one landscape page with the window's picture in
// the rectangle from 0.5 to 11.0 inches across and 0.5 to 7.5 inches down, white around it.
TEST_F(ChartWindows, PrintingToAPdfFileGivesTheWindowOnALandscapePage) {
    if (!CanRenderPdf())
        GTEST_SKIP() << "pdftoppm (poppler-utils) not installed";
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("chart.pdf"));
    grafico.show();
    grafico.RvSystemR.ChooseOutput = [&] {
        TRvSystem::OutputChoice choice;
        choice.Where = TRvSystem::Destination::File;
        choice.FileName = pdf;
        return std::optional<TRvSystem::OutputChoice>(choice);
    };
    Click(grafico.SpeedButton9);
    EXPECT_FALSE(grafico.PanelBottom.isHidden());
    const QImage page = RenderPdf(pdf, 20); // 20 dots per inch: Letter landscape is 220 x 170
    ASSERT_FALSE(page.isNull());
    EXPECT_GT(page.width(), page.height());
    EXPECT_TRUE(AllWhite(page, QRect(0, 0, page.width(), 9)));    // above 0.5 in
    EXPECT_TRUE(AllWhite(page, QRect(0, 0, 9, page.height())));   // left of 0.5 in
    EXPECT_TRUE(AllWhite(page, QRect(0, 151, page.width(), 19))); // below 7.5 in
    EXPECT_FALSE(AllWhite(page, QRect(10, 10, 200, 140)));        // the picture
    // The status strip (sky blue) at the top of the picture.
    const QColor strip(page.pixel(110, 12));
    EXPECT_NEAR(strip.red(), 166, 12);
    EXPECT_NEAR(strip.blue(), 240, 12);
}

TEST_F(ChartWindows, AFailedOrCancelledReportRunLeavesTheWindowAsBefore) {
    debugForm.show();
    debugForm.ExecuteReport = [] {}; // cancelled: the page handler never runs
    Click(debugForm.SpeedButton9);
    EXPECT_FALSE(debugForm.PanelBottom.isHidden());
    EXPECT_EQ(debugForm.PrintImage(), nullptr);

    ErrorReports errors;
    debugForm.ExecuteReport = [] { throw std::runtime_error("printer gone"); };
    Click(debugForm.SpeedButton9);
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_EQ(errors.messages[0], "printer gone");
    EXPECT_FALSE(debugForm.PanelBottom.isHidden());
    EXPECT_EQ(debugForm.PrintImage(), nullptr);
    EXPECT_EQ(debugForm.AdvGDIPChartView1.geometry(), QRect(0, 57, 1024, 654));
    // The page handler without a picture draws nothing.
    QImage page(100, 100, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    TBaseReport report(painter, 10, 10);
    debugForm.RvSystemRPrint(report);
    painter.end();
    EXPECT_TRUE(AllWhite(page, page.rect()));
}

} // namespace
