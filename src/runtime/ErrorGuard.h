#pragma once
// The error net of every window. Qt does not let exceptions cross its event loop: the
// application object catches what escapes an event handler, and handlers connected to signals
// are wrapped in Guarded(), so an error is reported where it was raised and the program goes on.
#include <QString>

#include <exception>
#include <functional>
#include <type_traits>
#include <utility>

// The text shown for an exception: its message for the toolkit's exception class and for any
// standard exception, empty for anything else.
QString ExceptionMessage(std::exception_ptr error);

// Where reported errors go: the application object installs its message box here at start.
// Without a sink an error is written to the standard error stream.
using ExceptionSink = std::function<void(const QString& message)>;
void SetExceptionSink(ExceptionSink sink);

// Shows an exception in the application's message box.
void ReportException(std::exception_ptr error);

// Wraps a handler connected to a signal (a click, a menu choice, a selection) so that an error it
// raises is reported right there and never unwinds through the toolkit's own code, which is not
// written for exceptions.
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
