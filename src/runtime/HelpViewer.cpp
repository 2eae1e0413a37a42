#include "runtime/HelpViewer.h"

#include "platform/AppPaths.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace {

bool DesktopOpen(const QString& path, int /*context*/) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void MessageReport(QWidget* parent, const QString& message) {
    QMessageBox::warning(parent, QCoreApplication::applicationName(), message);
}

HelpViewer::Opener g_opener = DesktopOpen;
HelpViewer::Reporter g_reporter = MessageReport;

} // namespace

void HelpViewer::SetOpener(Opener opener) {
    g_opener = opener ? opener : DesktopOpen;
}
void HelpViewer::SetReporter(Reporter reporter) {
    g_reporter = reporter ? reporter : MessageReport;
}

QString HelpViewer::HelpFilePath() const {
    return QString::fromStdString((ExecutableFolder() / file_.toStdString()).string());
}

bool HelpViewer::ShowContents(QWidget* parent) {
    return Open(parent, 0);
}
bool HelpViewer::ShowTopic(QWidget* parent, int context) {
    return Open(parent, context);
}

bool HelpViewer::Open(QWidget* parent, int context) {
    const QString path = HelpFilePath();
    if (file_.isEmpty() || !QFileInfo(path).isFile()) {
        g_reporter(parent, QStringLiteral("Cannot find the help file %1.").arg(path));
        return false;
    }
    if (!g_opener(path, context)) {
        g_reporter(parent, QStringLiteral("No program to show %1 was found. Install a viewer for "
                                          "compiled HTML help (.chm) files, such as xchm.")
                               .arg(path));
        return false;
    }
    return true;
}
