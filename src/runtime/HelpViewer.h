#pragma once
// Help for the user. A site that keeps compiled HTML help files beside the executable
// ("VextorHelpITA.chm" / "VextorHelpENG.chm") and has a viewer for them installed gets them opened
// with that viewer. Otherwise the help built into the program opens in its own window, in the
// language of the current help file (ITA: Italian, ENG: English).
#include <QString>

#include <memory>

class QWidget;
class THelpWindow;

class HelpViewer {
public:
    HelpViewer();
    ~HelpViewer();
    HelpViewer(const HelpViewer&) = delete;
    HelpViewer& operator=(const HelpViewer&) = delete;

    // The current help file name ("VextorHelpITA.chm" / "VextorHelpENG.chm"), without a folder.
    void SetHelpFile(const QString& name) { file_ = name; }
    const QString& HelpFile() const { return file_; }
    // The table of contents.
    bool ShowContents(QWidget* parent);
    // A topic by its context number (200: the main window).
    bool ShowTopic(QWidget* parent, int context);
    // Full path of the current help file beside the executable.
    QString HelpFilePath() const;
    // The built-in help window; null until the built-in help has been shown once.
    THelpWindow* Window() const { return window_.get(); }

    // Whether the desktop has a viewer for .chm files: xchm or kchmviewer on the PATH, or a
    // default application for application/vnd.ms-htmlhelp in the desktop's MIME associations.
    static bool DesktopHasChmViewer();

    // Tests replace what opens a .chm file, what reports a failure and what decides whether a
    // viewer for .chm files is installed.
    using Opener = bool (*)(const QString& path, int context);
    using Reporter = void (*)(QWidget* parent, const QString& message);
    using ViewerCheck = bool (*)();
    static void SetOpener(Opener opener);
    static void SetReporter(Reporter reporter);
    static void SetViewerCheck(ViewerCheck check);

private:
    bool Open(QWidget* parent, int context);
    bool ShowBuiltIn(QWidget* parent, int context);
    QString file_;
    std::unique_ptr<THelpWindow> window_;
};
