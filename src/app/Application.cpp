#include "app/Application.h"

#include "platform/Exception.h"

#include <QMessageBox>

#include <exception>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    SetExceptionSink([this](const QString& message) { ShowException(message); });
}

TApplication::~TApplication() {
    SetExceptionSink({});
}

TApplication* TApplication::Instance() {
    return dynamic_cast<TApplication*>(QCoreApplication::instance());
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowException(ExceptionMessage(std::current_exception()));
        return false;
    }
}

void TApplication::ShowException(const QString& message) {
    if (reporter_) {
        reporter_(title_, message);
        return;
    }
    if (reporting_)
        return; // an error while the box of another is open: the first one is on screen
    reporting_ = true;
    QMessageBox box(QMessageBox::Critical, title_, message, QMessageBox::Ok);
    box.exec();
    reporting_ = false;
}
