// The window base, the fonts, the smooth progress bar and the shape.
#include "runtime/Form.h"
#include "runtime/Shape.h"
#include "runtime/SmoothProgressBar.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>

#include <vector>

namespace {

TEST(Form, ClosingOnlyHidesTheWindow) {
    UiApp();
    TForm form("TSomeForm");
    EXPECT_EQ(form.objectName(), "SomeForm");
    EXPECT_STREQ(form.ClassName(), "TSomeForm");
    form.SetClientSize(237, 290);
    form.show();
    EXPECT_FALSE(form.close());   // refused ...
    EXPECT_TRUE(form.isHidden()); // ... but hidden
    EXPECT_EQ(form.size(), QSize(237, 290));
    form.show();
    EXPECT_TRUE(form.isVisible());
}

TEST(Fonts, CellHeightIsTheLargestThatFits) {
    UiApp();
    for (const char* family : {"Tahoma", "DejaVu Sans"}) {
        for (int px : {13, 14, 18, 24, 32}) {
            const QFont font = FontOfCellHeight(family, px);
            EXPECT_LE(QFontMetrics(font).height(), px) << family << " " << px;
            QFont bigger = font;
            bigger.setPixelSize(font.pixelSize() + 1);
            EXPECT_GT(QFontMetrics(bigger).height(), px) << family << " " << px;
        }
    }
}

TEST(Fonts, PointsAreTakenAt96Dpi) {
    UiApp();
    EXPECT_EQ(FontOfPoints("Tahoma", 8).pixelSize(), 11);
    EXPECT_EQ(BaseFont().pixelSize(), 11);
    EXPECT_EQ(VclFont("Tahoma", -11).pixelSize(), 11);
    EXPECT_EQ(VclFont("Tahoma", 14).pixelSize(), FontOfCellHeight("Tahoma", 14).pixelSize());
    EXPECT_EQ(FontFamily("No Such Family"), "DejaVu Sans");
}

TEST(Fonts, TahomaIsRegisteredWhenWineFontsAreInstalled) {
    UiApp();
    if (!QFileInfo::exists("/usr/share/wine/fonts/tahoma.ttf"))
        GTEST_SKIP() << "fonts-wine not installed";
    EXPECT_TRUE(RegisterApplicationFonts());
    EXPECT_EQ(BaseFont().family(), "Tahoma");
}

TEST(SmoothProgressBar, FillIsClampedToTheRange) {
    UiApp();
    struct Case {
        int maximum;
        int position;
        double fraction;
    };
    const std::vector<Case> cases = {
        {10, 0, 0.0}, {10, 5, 0.5}, {10, 10, 1.0}, {10, 11, 1.0},
        {4, 3, 0.75}, {4, -2, 0.0}, {0, 3, 0.0},   {-5, 3, 0.0},
    };
    TSmoothProgressBar bar;
    for (const Case& c : cases) {
        bar.SetMaximum(c.maximum);
        bar.SetPosition(c.position);
        EXPECT_EQ(bar.Position(), c.position); // kept as set
        EXPECT_DOUBLE_EQ(bar.FilledFraction(), c.fraction) << c.maximum << "/" << c.position;
    }
}

TEST(SmoothProgressBar, StepItAddsTheStep) {
    UiApp();
    TSmoothProgressBar bar;
    bar.SetMaximum(10);
    bar.SetStep(3);
    bar.StepIt();
    bar.StepIt();
    EXPECT_EQ(bar.Position(), 6);
}

TEST(SmoothProgressBar, PositionBeyondMaximumDrawsAsFull) {
    UiApp();
    TSmoothProgressBar bar;
    bar.resize(402, 33);
    bar.SetMaximum(10);
    auto picture = [&](int position) {
        bar.SetPosition(position);
        return bar.grab().toImage();
    };
    const QImage empty = picture(0);
    const QImage half = picture(5);
    const QImage full = picture(10);
    EXPECT_NE(empty, half);
    EXPECT_NE(half, full);
    EXPECT_EQ(picture(11), full);
    EXPECT_EQ(picture(-1), empty);
}

TEST(Shape, AnyMouseButtonEmitsMouseDown) {
    UiApp();
    TShape lamp;
    lamp.resize(15, 15);
    lamp.SetBrushColor(QColor(192, 192, 192));
    EXPECT_EQ(lamp.BrushColor(), QColor(192, 192, 192));
    std::vector<Qt::MouseButton> pressed;
    QObject::connect(&lamp, &TShape::MouseDown, &lamp,
                     [&](Qt::MouseButton b) { pressed.push_back(b); });
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(7, 7), QPointF(7, 7), button, button,
                          Qt::NoModifier);
        QApplication::sendEvent(&lamp, &press);
    }
    EXPECT_EQ(pressed,
              (std::vector<Qt::MouseButton>{Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}));
    // The lamp's colour is painted at its centre.
    EXPECT_EQ(lamp.grab().toImage().pixelColor(7, 7), QColor(192, 192, 192));
}

} // namespace
