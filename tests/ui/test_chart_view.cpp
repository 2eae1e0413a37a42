// The chart view: any range draws, units that fit are used as given, units that do not are
// thinned to legible multiples of themselves, markers go where points are denser than pixels.
#include "runtime/ChartView.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

class ChartView : public testing::Test {
protected:
    void SetUp() override {
        view.resize(1024, 320);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    // Redraws with the given X and Y ranges.
    void Show(int32_t from, int32_t to, double minimum, double maximum) {
        view.BeginUpdate();
        TChartPane& pane = view.Panes[0];
        pane.Range.RangeFrom = from;
        pane.Range.RangeTo = to;
        pane.Series[0].Minimum = minimum;
        pane.Series[0].Maximum = maximum;
        pane.XGrid.Visible = true;
        pane.YGrid.Visible = true;
        view.EndUpdate();
    }

    static bool IsMultiple(double step, double unit) {
        const double ratio = step / unit;
        return ratio >= 1.0 - 1e-9 && std::abs(ratio - std::round(ratio)) < 1e-9;
    }

    QApplication& app = UiApp();
    TChartView view{nullptr, 2};
};

TEST_F(ChartView, OffersOnePaneWithItsSeriesAndTheDesignedSettings) {
    ASSERT_EQ(view.Panes.Count(), 1);
    TChartPane& pane = view.Panes[0];
    EXPECT_EQ(pane.Name, "ChartPane 0");
    ASSERT_EQ(pane.Series.Count(), 2);
    EXPECT_EQ(pane.Series[0].Color, QColor(255, 85, 0));
    EXPECT_EQ(pane.Series[0].LineColor, QColor(255, 85, 0));
    EXPECT_EQ(pane.Series[0].MarkerSize, 2);
    EXPECT_EQ(pane.Series[0].LegendText, "Curva 1");
    EXPECT_EQ(pane.Series[1].LegendText, "Curva 2");
    EXPECT_EQ(pane.XAxisCaption, "Seconds");
    EXPECT_EQ(pane.XMajorUnit, 10.0);
    EXPECT_EQ(pane.YMajorUnit, 1.0);
    EXPECT_EQ(pane.YAxisWidth, 40);
    EXPECT_EQ(pane.YTickColor, QColor(255, 0, 0));
}

TEST_F(ChartView, ChangesBetweenBeginAndEndUpdateAreDrawnOnceAtTheEnd) {
    const int before = view.DrawCount();
    view.BeginUpdate();
    view.BeginUpdate();
    for (int i = 0; i < 500; ++i)
        view.Panes[0].Series[0].AddSingleXYPoint(i, i % 7);
    view.EndUpdate();
    EXPECT_EQ(view.DrawCount(), before);
    view.EndUpdate();
    EXPECT_EQ(view.DrawCount(), before + 1);
    EXPECT_EQ(view.Panes[0].Series[0].PointCount(), 500);
    EXPECT_EQ(view.Panes[0].Series[0].PointY(13), 6.0);

    // Hidden: nothing is drawn until it is shown again.
    view.hide();
    view.BeginUpdate();
    view.Panes[0].Series[0].ClearPoints();
    view.EndUpdate();
    EXPECT_EQ(view.DrawCount(), before + 1);
    EXPECT_EQ(view.Panes[0].Series[0].PointCount(), 0);
    view.show();
    EXPECT_EQ(view.DrawCount(), before + 2);
}

TEST_F(ChartView, AnyRangeDrawsWithRangeFromOnTheLeft) {
    struct Case {
        int32_t from, to;
        double left, right;
    };
    const int32_t lowest = std::numeric_limits<int32_t>::min();
    const int32_t highest = std::numeric_limits<int32_t>::max();
    const Case cases[] = {
        {0, 120, 0, 120},             // as designed
        {120, 0, 120, 0},             // inverted: runs backwards
        {-120, 240, -120, 240},       // negative
        {-500, -300, -500, -300},     // wholly before the data
        {90000, 90120, 90000, 90120}, // wholly after it
        {60, 60, 59.5, 60.5},         // empty: one unit around it
        {lowest, highest, lowest, highest},
        {highest, lowest, highest, lowest},
    };
    for (int i = 0; i < 300; ++i)
        view.Panes[0].Series[0].AddSingleXYPoint(i, i % 50);
    for (const Case& c : cases) {
        Show(c.from, c.to, 0, 50);
        EXPECT_EQ(view.DrawnLeft(), c.left) << c.from << ".." << c.to;
        EXPECT_EQ(view.DrawnRight(), c.right) << c.from << ".." << c.to;
        EXPECT_FALSE(view.grab().isNull());
    }
    // The Y range likewise, inverted or empty.
    Show(0, 120, 50, 0);
    EXPECT_EQ(view.DrawnBottom(), 50.0);
    EXPECT_EQ(view.DrawnTop(), 0.0);
    Show(0, 120, 0, 0);
    EXPECT_EQ(view.DrawnBottom(), -0.5);
    EXPECT_EQ(view.DrawnTop(), 0.5);
    Show(0, 120, 0, std::numeric_limits<double>::quiet_NaN());
    EXPECT_FALSE(view.grab().isNull());
}

TEST_F(ChartView, UnitsThatFitAreUsedAsGivenOthersAreThinnedToMultiples) {
    // The newest two minutes with a full scale of 10: ticks every 10 s, every 1 on Y; the grid
    // every 2 with minor lines every 1.
    Show(0, 120, 0, 10);
    EXPECT_EQ(view.XTickStep(), 10.0);
    EXPECT_EQ(view.YTickStep(), 1.0);
    EXPECT_EQ(view.YGridStep(), 2.0);
    EXPECT_EQ(view.YMinorGridStep(), 1.0);

    // The whole day on a full scale of 60000: far too many for the pixels at the listed units.
    Show(0, 86400, 0, 60000);
    const double xStep = view.XTickStep();
    const double yStep = view.YTickStep();
    EXPECT_TRUE(IsMultiple(xStep, 10.0)) << xStep;
    EXPECT_TRUE(IsMultiple(yStep, 1.0)) << yStep;
    EXPECT_TRUE(IsMultiple(view.YGridStep(), 2.0)) << view.YGridStep();
    EXPECT_LE(86400 / xStep, 1024 / 50.0) << xStep; // at least 50 px apart
    EXPECT_GE(86400 / xStep, 5.0) << xStep;         // and still a scale to read
    EXPECT_LE(60000 / yStep, 320 / 18.0) << yStep;
    EXPECT_GE(60000 / yStep, 3.0) << yStep;
    EXPECT_LE(60000 / view.YGridStep(), 320 / 9.0);
    // Minor lines in between, on the minor unit, dividing the grid step, legibly apart.
    const double minor = view.YMinorGridStep();
    EXPECT_GT(minor, 0.0);
    EXPECT_TRUE(IsMultiple(minor, 1.0)) << minor;
    EXPECT_TRUE(IsMultiple(view.YGridStep(), minor)) << view.YGridStep() << " / " << minor;
    EXPECT_LT(minor, view.YGridStep());
    EXPECT_LE(60000 / minor, 320 / 5.0) << minor;
}

TEST_F(ChartView, MarkersAreLeftOutWherePointsAreDenserThanPixels) {
    TChartSeries& series = view.Panes[0].Series[0];
    for (int i = 0; i < 86400; ++i)
        series.AddSingleXYPoint(i, i % 100);
    Show(86279, 86399, 0, 100);
    EXPECT_TRUE(series.MarkersDrawn());
    Show(0, 86400, 0, 100);
    EXPECT_FALSE(series.MarkersDrawn());

    // Zoomed out, a level series is still drawn as a line across the plot, at its level.
    TChartSeries& level = view.Panes[0].Series[1];
    level.LineColor = QColor(0, 0, 255);
    for (int i = 0; i < 86400; ++i)
        level.AddSingleXYPoint(i, 25);
    Show(0, 86400, 0, 100);
    EXPECT_FALSE(level.MarkersDrawn());
    const QImage picture = view.grab().toImage();
    int firstRow = -1;
    int lastRow = -1;
    int widest = 0;
    for (int y = 0; y < picture.height(); ++y) {
        int blue = 0;
        for (int x = 0; x < picture.width(); ++x)
            blue += picture.pixel(x, y) == qRgb(0, 0, 255) ? 1 : 0;
        if (blue > 0) {
            firstRow = firstRow < 0 ? y : firstRow;
            lastRow = y;
            widest = std::max(widest, blue);
        }
    }
    ASSERT_GE(firstRow, 0);
    EXPECT_LE(lastRow - firstRow, 2);
    EXPECT_GT(widest, 900);
    level.ClearPoints();
    // Points cleared, then appended again: the same curve.
    series.ClearPoints();
    EXPECT_EQ(series.PointCount(), 0);
    series.AddSingleXYPoint(0, 1.5);
    EXPECT_EQ(series.PointCount(), 1);
    EXPECT_EQ(series.PointY(0), 1.5);
}

} // namespace

namespace {

// The ticks are worked out before the plot is laid out: the first drawing at a new size must
// not keep the ticks of the old one (a recovered recording is drawn once, and stays so).
TEST(ChartViewLayout, TheFirstDrawingAtANewSizeHasTheTicksOfThatSize) {
    UiApp();
    for (const QSize first : {QSize(120, 60), QSize(1024, 320)}) {
        TChartView view;
        view.resize(first);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        view.BeginUpdate();
        TChartPane& pane = view.Panes[0];
        pane.Range = {0, 120};
        pane.Series[0].Minimum = 0;
        pane.Series[0].Maximum = 1000;
        pane.XGrid.Visible = true;
        pane.YGrid.Visible = true;
        view.EndUpdate();
        view.resize(1024, 320);
        QCoreApplication::processEvents();
        // 120 s across some 950 pixels: a tick every 10 s; 0..1000 on some 260 pixels: every 100.
        EXPECT_EQ(view.XTickStep(), 10.0) << "first drawn at " << first.width();
        EXPECT_EQ(view.YTickStep(), 100.0) << "first drawn at " << first.width();
    }
}

} // namespace
