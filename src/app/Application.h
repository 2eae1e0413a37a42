#pragma once
// The application object. Qt does not let exceptions cross its event loop, so every event is
// delivered inside a guard here: an exception that escapes an event handler (a timer tick, a
// click) is shown in a message box captioned with the application title, and the application goes
// on. This is the one place where such errors are caught.
#include "runtime/ErrorGuard.h"

#include <QApplication>
#include <QString>

#include <exception>
#include <functional>
#include <type_traits>
#include <utility>

class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    ~TApplication() override;

    // The caption of the application's own message boxes ("Wpx731dk").
    void SetTitle(const QString& title) { title_ = title; }
    const QString& Title() const { return title_; }

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the message of an exception the way the toolkit's default handler does. Tests
    // replace the message box with a recorder.
    void ShowException(const QString& message);
    using ExceptionReporter = std::function<void(const QString& title, const QString& message)>;
    void SetExceptionReporter(ExceptionReporter reporter) { reporter_ = std::move(reporter); }

    static TApplication* Instance();

private:
    QString title_;
    ExceptionReporter reporter_;
    bool reporting_ = false;
};
