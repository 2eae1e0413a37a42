// main() of the widget tests: one application object on the offscreen platform around all tests,
// the same class the program uses, so errors escaping event handlers are reported as they are in
// the program.
#include "app/Application.h"
#include "platform/Thread.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    app.SetTitle("Wpx731dk");
    TThread::InstallHandOff();
    const int result = RUN_ALL_TESTS();
    TThread::WaitForSelfOwnedThreads(5000); // port watchers end before the application goes
    return result;
}
