#pragma once
// The built-in help: HTML pages kept in the program's resources, one folder per language
// (:/help/it/, :/help/en/, the same file names in both), shown in a window of its own with
// contents, back and forward. Not modal; the help viewer keeps one instance.
#include <QPushButton>
#include <QString>
#include <QTextBrowser>
#include <QUrl>
#include <QWidget>

class THelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit THelpWindow(QWidget* parent = nullptr);

    // Shows `page` ("index.html", "main-window.html") in the given language ("it" or "en"),
    // titles the window and its buttons in that language and brings it to the front.
    void ShowPage(const QString& language, const QString& page);
    // The language of the page shown ("it" until a page has been shown).
    const QString& Language() const { return language_; }

    static constexpr const char* ContentsPage = "index.html";
    // The page of a help context number; 0 and numbers without a page of their own give the
    // contents.
    static QString PageOfContext(int context);
    // The built-in language that stands for a help file: "en" for the English file
    // (VextorHelpENG.chm), "it" for anything else.
    static QString LanguageOfHelpFile(const QString& file);
    // qrc:/help/<language>/<page>
    static QUrl PageUrl(const QString& language, const QString& page);
    // The resource folder of a language's pages.
    static QString PageFolder(const QString& language);

    QPushButton ContentsButton{this};
    QPushButton BackButton{this};
    QPushButton ForwardButton{this};
    QTextBrowser Browser{this};

private:
    void Retitle();
    QString language_ = QStringLiteral("it");
};
