#include "runtime/ErrorGuard.h"

#include <cstdio>

namespace {
ExceptionSink& Sink() {
    static ExceptionSink sink;
    return sink;
}
} // namespace

QString ExceptionMessage(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QString();
    }
}

void SetExceptionSink(ExceptionSink sink) {
    Sink() = std::move(sink);
}

void ReportException(std::exception_ptr error) {
    const QString message = ExceptionMessage(error);
    if (Sink())
        Sink()(message);
    else
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}
