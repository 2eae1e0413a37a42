// Reading the chart windows with the mouse: the wheel zooms the time axis about the pointer,
// a drag with the left button pans it, both on every chart of the window and only while no
// acquisition runs; hovering shows the sample under the pointer. Events go to the plot widget
// as the toolkit delivers them.
#include "ChartTestWindows.h"
#include "charts/Debug.h"
#include "charts/Grafico.h"
#include "model/SensorTables.h"
#include "platform/Regional.h"
#include "runtime/Translation.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <QHelpEvent>
#include <QMouseEvent>
#include <QToolTip>
#include <QWheelEvent>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

namespace {

constexpr int32_t Lowest = std::numeric_limits<int32_t>::min();
constexpr int32_t Highest = std::numeric_limits<int32_t>::max();

// Sixty tenths of a notch in at the narrowest width, then one notch out.
std::vector<int> AtTheFloorThenOut() {
    std::vector<int> angles(60, 12);
    angles.push_back(-120);
    return angles;
}

class ChartMouse : public testing::Test, protected ChartTestWindows {
protected:
    ChartMouse() : ChartTestWindows(1700000000250) {}
    void SetUp() override {
        Translation().SetLanguage(1);
        for (TChartForm* form : Forms()) {
            form->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
            form->Replot();
        }
    }
    void TearDown() override { Translation().SetLanguage(1); }

    std::vector<TChartForm*> Forms() { return {&grafico, &debugForm}; }
    std::vector<TChartView*> Views(TChartForm& form) {
        if (&form == &debugForm)
            return {&debugForm.AdvGDIPChartView1};
        return {&grafico.AdvGDIPChartView1, &grafico.AdvGDIPChartView2};
    }

    static QWidget& Plot(TChartView& view) {
        auto* plot = view.findChild<QWidget*>(QStringLiteral("Plot"));
        EXPECT_NE(plot, nullptr);
        return *plot;
    }
    static std::pair<int32_t, int32_t> Range(const TChartView& view) {
        return {view.Panes[0].Range.RangeFrom, view.Panes[0].Range.RangeTo};
    }
    // Shows from..to on every view of the window, as the buttons would leave it.
    void SetRange(TChartForm& form, int32_t from, int32_t to) {
        for (TChartView* view : Views(form)) {
            view->BeginUpdate();
            view->Panes[0].Range = {from, to};
            view->EndUpdate();
        }
    }
    // A point in the middle row of the plot area at the given fraction of its width.
    static QPoint PlotPoint(TChartView& view, double fraction) {
        int left = 0;
        while (left < view.width() && !view.InPlotArea(QPoint(left, view.height() / 2)))
            ++left;
        int right = left;
        while (right + 1 < view.width() && view.InPlotArea(QPoint(right + 1, view.height() / 2)))
            ++right;
        EXPECT_LT(left, right) << "no plot area";
        return {left + static_cast<int>(std::lround(fraction * (right - left))), view.height() / 2};
    }
    // The column of a key on the axis as drawn.
    static QPoint KeyPoint(TChartView& view, double key) {
        const double x0 = view.KeyAt(0);
        const double perPixel = view.KeyAt(100) - x0;
        return {static_cast<int>(std::lround((key - x0) / perPixel * 100.0)), view.height() / 2};
    }

    static void Wheel(TChartView& view, QPoint at, int angle) {
        QWidget& plot = Plot(view);
        QWheelEvent event(QPointF(at), QPointF(plot.mapToGlobal(at)), QPoint(), QPoint(0, angle),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&plot, &event);
    }
    static void Mouse(TChartView& view, QEvent::Type type, QPoint at, Qt::MouseButton button,
                      Qt::MouseButtons buttons) {
        QWidget& plot = Plot(view);
        QMouseEvent event(type, QPointF(at), QPointF(plot.mapToGlobal(at)), button, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(&plot, &event);
    }
    // Press at `from`, move through `to`, release at the last point.
    static void Drag(TChartView& view, QPoint from, const std::vector<QPoint>& to,
                     Qt::MouseButton button = Qt::LeftButton) {
        Mouse(view, QEvent::MouseButtonPress, from, button, button);
        for (QPoint p : to)
            Mouse(view, QEvent::MouseMove, p, Qt::NoButton, button);
        Mouse(view, QEvent::MouseButtonRelease, to.empty() ? from : to.back(), button,
              Qt::NoButton);
    }

    // Every view of the window shows the same range.
    void ExpectTogether(TChartForm& form) {
        const std::vector<TChartView*> views = Views(form);
        for (TChartView* view : views) {
            EXPECT_EQ(Range(*view), Range(*views.front())) << view->objectName().toStdString();
            EXPECT_EQ(view->DrawnLeft(), view->Panes[0].Range.RangeFrom);
            EXPECT_EQ(view->DrawnRight(), view->Panes[0].Range.RangeTo);
        }
    }

    // Records the pairs with one second between them, the first at nowMs.
    void Record(const std::vector<std::pair<int32_t, int32_t>>& samples) {
        grafico.SpeedButton2Click();
        debugForm.SpeedButton2Click();
        for (const auto& [primary, secondary] : samples) {
            tables.StatusWords[0] = primary;
            tables.StatusWords[1] = primary;
            tables.StatusWords[2] = secondary;
            tables.StatusWords[9] = secondary; // the debug window stores it times 1200 / 4000
            grafico.Timer2Timer();
            debugForm.Timer2Timer();
            nowMs += 1000;
        }
        grafico.SpeedButton3Click();
        debugForm.SpeedButton3Click();
    }
};

TEST_F(ChartMouse, TheWheelZoomsAboutThePointerOnEveryChartOfTheWindow) {
    struct Case {
        int32_t from, to;
        double at;     // where across the plot the pointer is
        int angle;     // the wheel's turn, 120 a notch
        int32_t width; // RangeTo - RangeFrom afterwards
    };
    const Case cases[] = {
        {0, 120, 0.25, 120, 96},          // a notch in: 1.25x
        {0, 120, 0.25, -120, 150},        // a notch out: 0.8x
        {1000, 4600, 0.9, 240, 2304},     // two notches at once
        {1000, 4600, 0.1, -360, 7031},    // three out
        {0, 120, 0.5, 12, 117},           // a tenth of a notch from a touchpad
        {120, 0, 0.75, 120, -96},         // a range the buttons turned backwards stays so
        {-5000, -4000, 0.0, 120, 800},    // at the left edge
        {50000, 86400, 1.0, -120, 45500}, // at the right edge
    };
    for (TChartForm* form : Forms()) {
        const std::vector<TChartView*> views = Views(*form);
        for (size_t v = 0; v < views.size(); ++v) {
            TChartView& view = *views[v];
            for (const Case& c : cases) {
                SCOPED_TRACE(testing::Message()
                             << form->objectName().toStdString() << " view " << v << " " << c.from
                             << ".." << c.to << " at " << c.at << " turn " << c.angle);
                SetRange(*form, c.from, c.to);
                const QPoint at = PlotPoint(view, c.at);
                const double key = view.KeyAt(at.x());
                Wheel(view, at, c.angle);
                const auto [from, to] = Range(view);
                EXPECT_EQ(to - from, c.width);
                EXPECT_NEAR(view.KeyAt(at.x()), key, 0.5); // the sample under the pointer stays
                ExpectTogether(*form);
            }
        }
    }
}

TEST_F(ChartMouse, ZoomingStopsAtItsLimitsAndNeverOverflows) {
    struct Case {
        const char* name;
        int32_t from, to;
        double at;
        std::vector<int> angles; // one wheel event each
        int32_t expectFrom, expectTo;
    };
    const Case cases[] = {
        {"in stops at ten seconds", 0, 120, 0.0, std::vector<int>(30, 120), 0, 10},
        {"out stops a little over a day", 0, 120, 0.0, std::vector<int>(40, -120), 0, 95040},
        {"in does not widen a narrower range", 0, 5, 0.5, {120}, 0, 5},
        {"out opens an empty range", 50, 50, 0.5, {-120}, 45, 55},
        {"a tenth of a notch alone changes nothing", 0, 20, 0.5, {-12}, 0, 20},
        {"tenths add up to a second", 0, 20, 0.0, {-12, -12}, 0, 21},
        {"at the floor nothing is saved up", 0, 10, 0.5, std::vector<int>(60, 12), 0, 10},
        {"so one notch back leaves the floor", 0, 10, 0.0, AtTheFloorThenOut(), 0, 13},
        {"out at the top end", Highest - 100, Highest, 1.0, {-120}, Highest - 125, Highest},
        {"out at the bottom end", Lowest, Lowest + 100, 0.0, {-120}, Lowest, Lowest + 125},
        {"out beyond the top", Highest - 100, Highest, 0.0, std::vector<int>(40, -120),
         Highest - 95040, Highest},
    };
    for (TChartForm* form : Forms()) {
        TChartView& view = *Views(*form).back();
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << form->objectName().toStdString() << ": " << c.name);
            SetRange(*form, c.from, c.to);
            for (int angle : c.angles)
                Wheel(view, PlotPoint(view, c.at), angle);
            EXPECT_EQ(Range(view), std::make_pair(c.expectFrom, c.expectTo));
            ExpectTogether(*form);
        }
    }
}

TEST_F(ChartMouse, ADragWithTheLeftButtonPansSoTheGrabbedPointFollowsThePointer) {
    struct Case {
        const char* name;
        int32_t from, to;
        double press;
        std::vector<double> moves; // pointer positions across the plot, in turn
        Qt::MouseButton button;
        int32_t expectFrom, expectTo; // after the release
    };
    const Case cases[] = {
        {"half the plot to the left", 1000, 1120, 0.75, {0.5, 0.25}, Qt::LeftButton, 1060, 1180},
        {"to the left and back a bit", 0, 3600, 0.5, {0.1, 0.2}, Qt::LeftButton, 1080, 4680},
        {"a backwards range", 120, 0, 0.2, {0.7}, Qt::LeftButton, 180, 60},
        {"not past the bottom end",
         Lowest,
         Lowest + 100,
         0.2,
         {0.8},
         Qt::LeftButton,
         Lowest,
         Lowest + 100},
        {"not past the top end",
         Highest - 100,
         Highest,
         0.8,
         {0.2},
         Qt::LeftButton,
         Highest - 100,
         Highest},
        {"the right button is not a drag", 0, 120, 0.2, {0.8}, Qt::RightButton, 0, 120},
    };
    for (TChartForm* form : Forms()) {
        const std::vector<TChartView*> views = Views(*form);
        for (size_t v = 0; v < views.size(); ++v) {
            TChartView& view = *views[v];
            for (const Case& c : cases) {
                SCOPED_TRACE(testing::Message() << form->objectName().toStdString() << " view " << v
                                                << ": " << c.name);
                SetRange(*form, c.from, c.to);
                const QPoint press = PlotPoint(view, c.press);
                const double grabbed = view.KeyAt(press.x());
                Mouse(view, QEvent::MouseButtonPress, press, c.button, c.button);
                QPoint last = press;
                for (double m : c.moves) {
                    last = PlotPoint(view, m);
                    Mouse(view, QEvent::MouseMove, last, Qt::NoButton, c.button);
                    if (c.button == Qt::LeftButton && c.from > Lowest && c.to < Highest) {
                        EXPECT_NEAR(view.KeyAt(last.x()), grabbed, 0.5);
                    }
                    EXPECT_EQ(std::abs(Range(view).second - Range(view).first),
                              std::abs(c.to - c.from));
                    ExpectTogether(*form);
                }
                Mouse(view, QEvent::MouseButtonRelease, last, c.button, Qt::NoButton);
                // Within a second of the dragged amount (the pointer moves by whole pixels).
                const auto after = Range(view);
                EXPECT_NEAR(after.first, c.expectFrom, std::abs(view.KeyAt(1) - view.KeyAt(0)));
                EXPECT_EQ(after.second - after.first, c.to - c.from);
                // Moving on after the release pans no more.
                Mouse(view, QEvent::MouseMove, PlotPoint(view, 0.5), Qt::NoButton, Qt::NoButton);
                EXPECT_EQ(Range(view), after);
                ExpectTogether(*form);
            }
        }
    }
}

TEST_F(ChartMouse, WheelAndDragDoNothingWhileAcquiring) {
    for (TChartForm* form : Forms()) {
        SCOPED_TRACE(form->objectName().toStdString());
        TChartView& view = *Views(*form).front();
        struct Gesture {
            const char* name;
            std::function<void()> run;
        };
        const Gesture gestures[] = {
            {"wheel in", [&] { Wheel(view, PlotPoint(view, 0.3), 120); }},
            {"wheel out", [&] { Wheel(view, PlotPoint(view, 0.3), -120); }},
            {"drag", [&] { Drag(view, PlotPoint(view, 0.8), {PlotPoint(view, 0.2)}); }},
        };
        for (const Gesture& g : gestures) {
            SCOPED_TRACE(g.name);
            SetRange(*form, 0, 120);
            Click(form->SpeedButton2); // "Start ADQ"
            g.run();
            EXPECT_EQ(Range(view), std::make_pair(0, 120));
            // A drag begun while acquiring stays ignored after the stop, until a new press.
            Mouse(view, QEvent::MouseButtonPress, PlotPoint(view, 0.8), Qt::LeftButton,
                  Qt::LeftButton);
            Click(form->SpeedButton3); // "Stop ADQ"
            Mouse(view, QEvent::MouseMove, PlotPoint(view, 0.2), Qt::NoButton, Qt::LeftButton);
            Mouse(view, QEvent::MouseButtonRelease, PlotPoint(view, 0.2), Qt::LeftButton,
                  Qt::NoButton);
            EXPECT_EQ(Range(view), std::make_pair(0, 120));
            // Stopped, the same gesture moves the view.
            g.run();
            EXPECT_NE(Range(view), std::make_pair(0, 120));
            ExpectTogether(*form);
        }
    }
}

TEST_F(ChartMouse, TheToolTipShowsTheSampleUnderThePointerAsTheChartsDrawIt) {
    // Sample 2: 1234 and 305 (the debug window keeps 305 * 1200 / 4000 = 91).
    Record({{500, 250}, {7, 0}, {1234, 305}, {65535, 2000}});
    const QString when = QDateTime::fromMSecsSinceEpoch(1700000002250)
                             .toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    struct Case {
        int language;
        char separator;
        int output; // 0 velocity, else a flow
        const char* title;
        const char* grafico; // the lines after the time
        const char* debug;
    };
    const Case cases[] = {
        {1, ',', 0, "Velocità Flusso [mt/sec]",
         "Velocità Flusso [mt/sec]: 12,34\nTemperatura: 30,5 °C",
         "Velocità Flusso [mt/sec]: 12,34\nDiagnostica: 0,91"},
        {1, '.', 0, "Velocità Flusso [mt/sec]",
         "Velocità Flusso [mt/sec]: 12.34\nTemperatura: 30.5 °C",
         "Velocità Flusso [mt/sec]: 12.34\nDiagnostica: 0.91"},
        {2, '.', 3, "Mass Flow [Kg/h]", "Mass Flow [Kg/h]: 1234\nTemperature: 30.5 °C",
         "Mass Flow [Kg/h]: 1234\nDiagnostic: 910"},
        {2, ',', 0, "Flow Velocity [mt/sec]", "Flow Velocity [mt/sec]: 12,34\nTemperature: 30,5 °C",
         "Flow Velocity [mt/sec]: 12,34\nDiagnostic: 0,91"},
        {1, ',', 1, "", "Valore: 1234\nTemperatura: 30,5 °C", "Valore: 1234\nDiagnostica: 910"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "language " << c.language << " '" << c.separator
                                        << "' output " << c.output);
        const ScopedRegionalOverride regional(c.separator);
        Translation().SetLanguage(c.language);
        outputIndex = c.output;
        outputText = QString::fromUtf8(c.title);
        const QString head = c.language == 1 ? "Campione: 2\nData e ora: " + when + "\n"
                                             : "Sample: 2\nDate and time: " + when + "\n";
        for (TChartForm* form : Forms()) {
            form->Replot(); // the titles of the output type now in use
            const QString values = QString::fromUtf8(form == &grafico ? c.grafico : c.debug);
            for (TChartView* view : Views(*form)) {
                SCOPED_TRACE(view->objectName().toStdString());
                // Anywhere nearer to sample 2 than to its neighbours.
                for (double key : {1.6, 2.0, 2.4})
                    EXPECT_EQ(view->ToolTipAt(KeyPoint(*view, key)), head + values) << key;
            }
        }
    }
}

TEST_F(ChartMouse, ThePointerShowsTheToolTipOnlyOverRecordedSamplesInThePlot) {
    TChartView& view = grafico.AdvGDIPChartView1;
    // Nothing recorded: no tip anywhere.
    EXPECT_EQ(view.ToolTipAt(KeyPoint(view, 0.0)), "");
    Record({{100, 200}, {101, 201}, {102, 202}});
    SetRange(grafico, -10, 10); // room on both sides of the samples
    struct Case {
        const char* name;
        QPoint at;
        bool shown;
    };
    const QPoint sample1 = KeyPoint(view, 1.0);
    const Case cases[] = {
        {"on a sample", sample1, true},
        {"on the first", KeyPoint(view, 0.0), true},
        {"on the last", KeyPoint(view, 2.0), true},
        {"nearer to the first than to nothing", KeyPoint(view, -0.4), true},
        {"nearer to the last than to nothing", KeyPoint(view, 2.4), true},
        {"before the first", KeyPoint(view, -0.7), false},
        {"after the last", KeyPoint(view, 2.7), false},
        {"far after the last", KeyPoint(view, 8.0), false},
        {"above the plot, in the title", {sample1.x(), 3}, false},
        {"below the plot, on the axis caption", {sample1.x(), view.height() - 3}, false},
        {"over the Y axis labels", {5, sample1.y()}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(!view.ToolTipAt(c.at).isEmpty(), c.shown);
        // The toolkit's tool tip event on the plot shows the same (a tip goes after a delay).
        QToolTip::hideText();
        ASSERT_TRUE(SpinUntil([] { return !QToolTip::isVisible(); }));
        QWidget& plot = Plot(view);
        QHelpEvent help(QEvent::ToolTip, c.at, plot.mapToGlobal(c.at));
        QApplication::sendEvent(&plot, &help);
        EXPECT_EQ(QToolTip::isVisible(), c.shown);
        if (c.shown) {
            EXPECT_EQ(QToolTip::text(), view.ToolTipAt(c.at));
        }
    }
    QToolTip::hideText();
}

} // namespace
