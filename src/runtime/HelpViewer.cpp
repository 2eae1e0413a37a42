#include "runtime/HelpViewer.h"

#include "platform/AppPaths.h"
#include "runtime/HelpWindow.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTextStream>
#include <QUrl>

namespace {

constexpr const char* ChmMimeType = "application/vnd.ms-htmlhelp";

bool DesktopOpen(const QString& path, int /*context*/) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void MessageReport(QWidget* parent, const QString& message) {
    QMessageBox::warning(parent, QCoreApplication::applicationName(), message);
}

HelpViewer::Opener g_opener = DesktopOpen;
HelpViewer::Reporter g_reporter = MessageReport;
HelpViewer::ViewerCheck g_viewerCheck = HelpViewer::DesktopHasChmViewer;

// The desktop files named for the MIME type in one association file (mimeapps.list,
// defaults.list, mimeinfo.cache): "type=a.desktop;b.desktop;" in any of its sections.
QStringList AssociatedApplications(const QString& file, const QString& mimeType) {
    QStringList apps;
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text))
        return apps;
    QTextStream text(&in);
    const QString key = mimeType + QLatin1Char('=');
    while (!text.atEnd()) {
        const QString line = text.readLine().trimmed();
        if (line.startsWith(key))
            apps += line.mid(key.size()).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    }
    return apps;
}

// Whether some desktop file associated with the MIME type exists, looked up as xdg-mime does:
// the mimeapps.list files of the configuration and data folders and the mimeinfo.cache of the
// application folders.
bool HasDefaultApplication(const QString& mimeType) {
    QStringList applicationDirs;
    for (const QString& data :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        applicationDirs += QDir(data).filePath(QStringLiteral("applications"));
    QStringList associationFiles;
    for (const QString& config :
         QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
        associationFiles += QDir(config).filePath(QStringLiteral("mimeapps.list"));
    for (const QString& apps : applicationDirs)
        for (const char* name : {"mimeapps.list", "defaults.list", "mimeinfo.cache"})
            associationFiles += QDir(apps).filePath(QLatin1String(name));
    for (const QString& file : associationFiles)
        for (const QString& desktop : AssociatedApplications(file, mimeType))
            for (const QString& apps : applicationDirs)
                if (QFileInfo(QDir(apps).filePath(desktop)).isFile())
                    return true;
    return false;
}

} // namespace

HelpViewer::HelpViewer() = default;
HelpViewer::~HelpViewer() = default;

void HelpViewer::SetOpener(Opener opener) {
    g_opener = opener ? opener : DesktopOpen;
}
void HelpViewer::SetReporter(Reporter reporter) {
    g_reporter = reporter ? reporter : MessageReport;
}
void HelpViewer::SetViewerCheck(ViewerCheck check) {
    g_viewerCheck = check ? check : DesktopHasChmViewer;
}

bool HelpViewer::DesktopHasChmViewer() {
    for (const char* viewer : {"xchm", "kchmviewer"})
        if (!QStandardPaths::findExecutable(QLatin1String(viewer)).isEmpty())
            return true;
    return HasDefaultApplication(QLatin1String(ChmMimeType));
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
    // The site's own help files first, where the desktop can show them.
    const QString path = HelpFilePath();
    if (!file_.isEmpty() && QFileInfo(path).isFile() && g_viewerCheck() && g_opener(path, context))
        return true;
    return ShowBuiltIn(parent, context);
}

bool HelpViewer::ShowBuiltIn(QWidget* parent, int context) {
    const QString language = THelpWindow::LanguageOfHelpFile(file_);
    const QString page = THelpWindow::PageOfContext(context);
    const QString resource = THelpWindow::PageFolder(language) + QLatin1Char('/') + page;
    if (!QFileInfo(resource).isFile()) {
        g_reporter(parent, QStringLiteral("The help page %1 is missing.").arg(resource));
        return false;
    }
    if (!window_)
        window_ = std::make_unique<THelpWindow>();
    window_->ShowPage(language, page);
    return true;
}
