#pragma once
// One QCoreApplication for a test binary, created on the test's main thread, with the hand-off
// installed; and a wait that keeps the event loop turning until a condition holds.
#include "platform/Thread.h"

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

// Runs the event loop until pred() is true or timeoutMs passes; returns pred(). The loop sleeps
// between events (the condition is looked at every few milliseconds), so waiting costs no CPU.
template <typename Pred> bool SpinUntil(Pred pred, int timeoutMs = 10000) {
    TestApp();
    if (pred())
        return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (pred())
            loop.quit();
    });
    check.start(2);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return pred();
}
