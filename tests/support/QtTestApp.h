#pragma once
// One QCoreApplication for a test binary of the widget-free core, created on the test's main
// thread with the hand-off installed, and the wait that keeps its event loop turning.
#include "platform/Thread.h"

#include <QCoreApplication>
#include <QTest>

#include <memory>

inline QCoreApplication& TestApp() {
    static int argc = 1;
    static char name[] = "vextor-test";
    static char* argv[] = {name, nullptr};
    static std::unique_ptr<QCoreApplication> app = [] {
        auto a = std::make_unique<QCoreApplication>(argc, argv);
        TThread::InstallHandOff();
        return a;
    }();
    return *app;
}

// Runs the event loop until pred() is true or timeoutMs passes; returns pred().
template <typename Pred> bool SpinUntil(Pred pred, int timeoutMs = 10000) {
    TestApp();
    return QTest::qWaitFor(pred, timeoutMs);
}
