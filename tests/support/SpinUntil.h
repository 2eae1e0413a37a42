#pragma once
// Turns the calling thread's event loop until a condition holds or a deadline passes. The loop
// sleeps between events (the condition is looked at every few milliseconds), so waiting costs no
// CPU and never starves the threads under test.
#include <QEventLoop>
#include <QObject>
#include <QTimer>

template <typename Pred> bool WaitOnEventLoop(Pred pred, int timeoutMs) {
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
