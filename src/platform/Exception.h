#pragma once
// The toolkit's general exception class and the kinds the rest of the system raises. The
// application shows the message of one that escapes an event handler in a message box.
#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// A typed number that does not convert: "'2.5.1' is not a valid floating point value".
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// A settings or configuration file that cannot be written: "Unable to write to <path>".
class EIniFileException : public Exception {
public:
    using Exception::Exception;
};
