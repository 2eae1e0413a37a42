#pragma once
// The widget tests' QApplication: created by ui_test_main.cpp on the offscreen platform before
// any test runs and destroyed when main returns (never in the exit handlers, where Qt's own
// per-thread data is already gone). And a wait that keeps the event loop turning until a
// condition holds.
#include "support/SpinUntil.h"
#include <QApplication>

#include <QEventLoop>
#include <QString>
#include <QTimer>

#include <chrono>
#include <ostream>

inline QApplication& UiApp() {
    return *static_cast<QApplication*>(QCoreApplication::instance());
}

// Runs the event loop until pred() is true or timeoutMs passes; returns pred().
template <typename Pred> bool SpinUntil(Pred pred, int timeoutMs = 10000) {
    return WaitOnEventLoop(pred, timeoutMs);
}

// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
