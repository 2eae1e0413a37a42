#pragma once
// The widget tests' QApplication: created by ui_test_main.cpp on the offscreen platform before
// any test runs and destroyed when main returns (never in the exit handlers, where Qt's own
// per-thread data is already gone). And a wait that keeps the event loop turning until a
// condition holds.
#include "app/Application.h"
#include "support/SpinUntil.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>

#include <QEventLoop>
#include <QString>
#include <QTimer>

#include <chrono>
#include <ostream>
#include <vector>

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

// Records what the central error report would show while it lives.
class ErrorReports {
public:
    ErrorReports() {
        TApplication::Instance()->SetExceptionReporter(
            [this](const QString&, const QString& message) { messages.push_back(message); });
    }
    ~ErrorReports() { TApplication::Instance()->SetExceptionReporter({}); }
    ErrorReports(const ErrorReports&) = delete;
    ErrorReports& operator=(const ErrorReports&) = delete;

    std::vector<QString> messages;
};

// A real click: the press and release go through the application's event delivery.
inline void ClickThroughApplication(QPushButton& button) {
    const QPointF at(button.width() / 2.0, button.height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, button.mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, button.mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&button, &press);
    QApplication::sendEvent(&button, &release);
}
