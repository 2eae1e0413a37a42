#include "platform/LinkLog.h"

#include <stdexcept>

// Debug messages only, and those are off unless the logging rules switch them on.
Q_LOGGING_CATEGORY(lcLink, "vextor.link", QtInfoMsg)

const char* LogText(const std::exception_ptr& error) noexcept {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown exception";
    }
}
