#pragma once
// The application object. Qt does not let exceptions cross its event loop, so every event is
// delivered inside a guard here: an exception that escapes an event handler (a timer tick, a
// click) is shown in a message box captioned with the application title, and the application goes
// on. This is the one place where such errors are caught.
#include <QApplication>
#include <QString>

#include <exception>
#include <functional>
#include <type_traits>
#include <utility>

class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);

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

// The text shown for an exception: its message for the toolkit's exception class and for any
// standard exception, empty for anything else.
QString ExceptionMessage(std::exception_ptr error);

// Shows an exception in the application's message box (or the installed reporter).
void ReportException(std::exception_ptr error);

// Wraps a handler connected to a signal (a click, a menu choice, a selection) so that an error it
// raises is reported right there and never unwinds through the toolkit's own code, which is not
// written for exceptions. TApplication::notify stays the net for everything else.
template <typename F> auto Guarded(F handler) {
    return [handler = std::move(handler)](auto&&... args) {
        try {
            // Qt hands a functor every argument of the signal it can take; the handler takes
            // what it needs (a click handler ignores the checked state).
            if constexpr (std::is_invocable_v<const F&, decltype(args)...>)
                handler(std::forward<decltype(args)>(args)...);
            else
                handler();
        } catch (...) {
            ReportException(std::current_exception());
        }
    };
}
