#pragma once
// What the widget tests share. The QApplication is the program's own TApplication, created by
// ui_test_main.cpp on the offscreen platform before any test runs. Clicks, double-clicks and keys
// are QtTest's: they go through the application's notify(), so an exception escaping a handler
// reaches the central error report as it does in the program.
#include "app/Application.h"

#include <QApplication>
#include <QString>
#include <QTest>
#include <QWidget>

#include <ostream>
#include <vector>

inline QApplication& UiApp() {
    return *static_cast<QApplication*>(QCoreApplication::instance());
}

// Runs the event loop until pred() is true or timeoutMs passes; returns pred().
template <typename Pred> bool SpinUntil(Pred pred, int timeoutMs = 10000) {
    return QTest::qWaitFor(pred, timeoutMs);
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

// A click as the user makes it: press and release with the left button in the middle.
inline void Click(QWidget& widget) {
    QTest::mouseClick(&widget, Qt::LeftButton);
}

inline void DoubleClick(QWidget& widget) {
    QTest::mouseDClick(&widget, Qt::LeftButton);
}

// Types the text character by character, each as a key press and release.
inline void TypeText(QWidget& target, const QString& text) {
    QTest::keyClicks(&target, text);
}

// One key press and its release, with the text it carries.
inline void SendKey(QWidget& target, int key, const QString& text = {}) {
    QTest::sendKeyEvent(QTest::Press, &target, static_cast<Qt::Key>(key), text, Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Release, &target, static_cast<Qt::Key>(key), text, Qt::NoModifier);
}
