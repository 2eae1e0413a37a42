#pragma once
// One QCoreApplication for a test binary, created on the test's main thread, with the hand-off
// installed; and a wait that keeps the event loop turning until a condition holds.
#include "platform/Thread.h"

#include <QCoreApplication>
#include <QEventLoop>

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
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline)
            return pred();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}
