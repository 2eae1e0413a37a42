// The About window: texts and placement beside the main window.
#include "app/About.h"
#include "runtime/Translation.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(AboutWindow, ShowsTheProductAndItsVersion) {
    UiApp();
    TInfoForm about(nullptr);
    EXPECT_EQ(about.objectName(), "InfoForm");
    EXPECT_EQ(about.windowTitle(), "About");
    EXPECT_EQ(about.size(), QSize(291, 368));
    EXPECT_EQ(about.Label1.text(), "Configuratore Vextor ");
    EXPECT_EQ(about.Label2.text(), "Versione 01.00.01");
    EXPECT_EQ(about.Image1.geometry(), QRect(8, 8, 275, 105));
    EXPECT_EQ(about.Button1.geometry(), QRect(96, 319, 99, 41));
    EXPECT_EQ(about.Button1.text(), "OK");
    // Not translated.
    Translation().SetLanguage(2);
    EXPECT_EQ(about.Label1.text(), "Configuratore Vextor ");
    EXPECT_EQ(about.windowTitle(), "About");
    Translation().SetLanguage(1);
}

TEST(AboutWindow, OpensBesideTheMainWindowAndOkHidesIt) {
    UiApp();
    QWidget mainWindow;
    mainWindow.resize(400, 300);
    mainWindow.move(100, 50);
    mainWindow.show();
    TInfoForm about(&mainWindow);

    about.show();
    EXPECT_EQ(about.pos(), QPoint(120, 70));
    about.Button1.click();
    EXPECT_TRUE(about.isHidden());

    // Every showing follows the main window.
    mainWindow.move(300, 200);
    about.show();
    EXPECT_EQ(about.pos(), QPoint(320, 220));
    EXPECT_FALSE(about.close()); // closing only hides it
    EXPECT_TRUE(about.isHidden());
}

} // namespace
