// Errors that escape an event handler are reported centrally and the application goes on.
#include "app/Application.h"
#include "platform/Exception.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <vector>

namespace {

class ApplicationErrors : public testing::Test {
protected:
    void SetUp() override {
        app = TApplication::Instance();
        ASSERT_NE(app, nullptr);
        app->SetExceptionReporter([this](const QString& title, const QString& message) {
            reports.emplace_back(title, message);
        });
    }
    void TearDown() override { app->SetExceptionReporter({}); }

    TApplication* app = nullptr;
    std::vector<std::pair<QString, QString>> reports;
};

TEST_F(ApplicationErrors, ATimerTickThatRaisesIsReportedAndTheLoopGoesOn) {
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        if (ticks == 1)
            throw EConvertError("'2.5.1' is not a valid floating point value");
    });
    timer.start(1);
    ASSERT_TRUE(SpinUntil([&] { return ticks >= 3; }));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].first, "Wpx731dk");
    EXPECT_EQ(reports[0].second, "'2.5.1' is not a valid floating point value");
}

TEST_F(ApplicationErrors, AClickThatRaisesIsReportedWhereItIsHandled) {
    QPushButton button;
    QObject::connect(&button, &QPushButton::clicked,
                     Guarded([] { throw EIniFileException("Unable to write to /nowhere/x.INI"); }));
    button.resize(80, 30);
    button.show();
    Click(button);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].second, "Unable to write to /nowhere/x.INI");
}

TEST_F(ApplicationErrors, SomethingThatIsNotAnExceptionClassShowsAnEmptyMessage) {
    QTimer::singleShot(0, [] { throw 42; });
    ASSERT_TRUE(SpinUntil([&] { return !reports.empty(); }));
    EXPECT_EQ(reports[0].second, "");
}

} // namespace
