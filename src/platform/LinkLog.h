#pragma once
// The link's log: link up, link lost with its cause, port errors, and exceptions that a worker
// thread or a hand-off would otherwise swallow. Off by default; a technician switches it on with
//     QT_LOGGING_RULES="vextor.link.debug=true" vextor-config
// and reads it on the standard error stream.
#include <QLoggingCategory>

#include <exception>

Q_DECLARE_LOGGING_CATEGORY(lcLink)

// The message of an exception for the log ("unknown exception" for anything that is not a
// standard exception).
const char* LogText(const std::exception_ptr& error) noexcept;
