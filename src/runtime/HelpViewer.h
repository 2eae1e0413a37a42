#pragma once
// Compiled HTML help: the help files sit beside the executable and are opened with the desktop's
// viewer for .chm files. A missing file or a desktop without a viewer is reported in a message,
// and the application goes on.
#include <QString>

class QWidget;

class HelpViewer {
public:
    // The current help file name ("VextorHelpITA.chm" / "VextorHelpENG.chm"), without a folder.
    void SetHelpFile(const QString& name) { file_ = name; }
    const QString& HelpFile() const { return file_; }
    // The table of contents of the current file.
    bool ShowContents(QWidget* parent);
    // A topic by its context number. Viewers for .chm files on Linux open the file at its
    // start page; the context is passed on where the viewer understands it.
    bool ShowTopic(QWidget* parent, int context);
    // Full path of the current help file beside the executable.
    QString HelpFilePath() const;

    // Tests replace what opens the file and what reports a failure.
    using Opener = bool (*)(const QString& path, int context);
    using Reporter = void (*)(QWidget* parent, const QString& message);
    static void SetOpener(Opener opener);
    static void SetReporter(Reporter reporter);

private:
    bool Open(QWidget* parent, int context);
    QString file_;
};
