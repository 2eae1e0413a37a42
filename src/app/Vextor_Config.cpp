// The entry point: the application object, the windows, the message loop.
#include "app/Application.h"
#include "app/Windows.h"
#include "platform/Thread.h"
#include "runtime/ErrorGuard.h"
#include "runtime/Form.h"

#include <QFont>

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    try {
        TApplication app(argc, argv);
        // The main window carries the taskbar entry: it is the only window shown at start.
        app.SetTitle(QStringLiteral("Wpx731dk"));
        QCoreApplication::setApplicationName(QStringLiteral("Wpx731dk"));
        TThread::InstallHandOff();
        // The windows are designed in Tahoma; without the Windows-metric fonts DejaVu Sans stands
        // in.
        if (!RegisterApplicationFonts())
            QApplication::setFont(QFont(FontFamily(QStringLiteral("Tahoma"))));
        int result = 0;
        try {
            StartApplication();
            app.exec();
        } catch (...) {
            app.ShowException(ExceptionMessage(std::current_exception()));
            result = 1;
        }
        DestroyWindows();
        TThread::WaitForSelfOwnedThreads(5000); // the port watchers end before the application
        return result;
    } catch (...) {
        // No application object to show it with.
        const QString message = ExceptionMessage(std::current_exception());
        std::fprintf(stderr, "Wpx731dk: %s\n", message.toLocal8Bit().constData());
        return 1;
    }
}
