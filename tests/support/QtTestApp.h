#pragma once
// One QCoreApplication for a test binary, created on the test's main thread, with the hand-off
// installed; and a wait that keeps the event loop turning until a condition holds.
#include "platform/Thread.h"

#include "support/SpinUntil.h"
#include <QCoreApplication>

#include <QEventLoop>
#include <QTimer>

#include <chrono>
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
    return WaitOnEventLoop(pred, timeoutMs);
}
