// The help: the built-in pages in both languages (complete, linked, no broken link), the help
// window opened by "Help" and F1 in the active language, and a site's own .chm files opened with
// the desktop's viewer where one is installed.
#include "MainFormFixture.h"
#include "runtime/HelpViewer.h"
#include "runtime/HelpWindow.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <cstdlib>
#include <map>
#include <vector>

namespace {

const QStringList Languages{QStringLiteral("it"), QStringLiteral("en")};

QStringList PagesOf(const QString& language) {
    QStringList pages = QDir(THelpWindow::PageFolder(language))
                            .entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
    return pages;
}

QString ReadPage(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QStringList Captures(const QString& text, const QString& pattern) {
    QStringList found;
    auto it = QRegularExpression(pattern).globalMatch(text);
    while (it.hasNext())
        found += it.next().captured(1);
    return found;
}

// ---- The pages ----

TEST(HelpPages, BothLanguagesHaveTheSamePagesWithContentsAndMainWindowTopic) {
    const QStringList italian = PagesOf(QStringLiteral("it"));
    EXPECT_EQ(italian, PagesOf(QStringLiteral("en")));
    EXPECT_GE(italian.size(), 10);
    EXPECT_TRUE(italian.contains(QLatin1String(THelpWindow::ContentsPage)));
    EXPECT_TRUE(italian.contains(THelpWindow::PageOfContext(200)));
    EXPECT_NE(THelpWindow::PageOfContext(200), QLatin1String(THelpWindow::ContentsPage));
    EXPECT_EQ(THelpWindow::PageOfContext(0), QLatin1String(THelpWindow::ContentsPage));
    EXPECT_EQ(THelpWindow::PageOfContext(12345), QLatin1String(THelpWindow::ContentsPage));
}

TEST(HelpPages, NoLinkIsBrokenAndTheContentsReachEveryPage) {
    for (const QString& language : Languages) {
        SCOPED_TRACE(language.toStdString());
        const QStringList pages = PagesOf(language);
        ASSERT_FALSE(pages.isEmpty());
        std::map<QString, QSet<QString>> anchors; // resource path -> anchor names
        std::map<QString, QString> texts;
        for (const QString& page : pages) {
            const QString path = THelpWindow::PageFolder(language) + QLatin1Char('/') + page;
            texts[path] = ReadPage(path);
            const QStringList names =
                Captures(texts[path], QStringLiteral(R"re((?:name|id)="([^"]+)")re"));
            anchors[path] = QSet<QString>(names.begin(), names.end());
        }
        QSet<QString> linkedFromContents;
        for (const QString& page : pages) {
            SCOPED_TRACE(page.toStdString());
            const QUrl base = THelpWindow::PageUrl(language, page);
            const QString text = texts[THelpWindow::PageFolder(language) + QLatin1Char('/') + page];
            EXPECT_TRUE(text.contains(QLatin1String("<title>")));
            EXPECT_TRUE(text.contains(QLatin1String("<h1>")));
            const QStringList hrefs = Captures(text, QStringLiteral(R"re(href="([^"]*)")re"));
            for (const QString& href : hrefs) {
                SCOPED_TRACE(href.toStdString());
                const QUrl link(href);
                EXPECT_TRUE(link.isRelative()); // pages link only to pages of the help
                const QUrl target = base.resolved(link);
                const QString resource = QLatin1Char(':') + target.path();
                ASSERT_TRUE(QFileInfo(resource).isFile());
                if (link.hasFragment()) {
                    ASSERT_TRUE(anchors.count(resource));
                    EXPECT_TRUE(anchors[resource].contains(link.fragment()));
                }
                if (page == QLatin1String(THelpWindow::ContentsPage))
                    linkedFromContents.insert(QFileInfo(target.path()).fileName());
            }
            if (page != QLatin1String(THelpWindow::ContentsPage)) { // every page leads back
                EXPECT_TRUE(hrefs.contains(QLatin1String(THelpWindow::ContentsPage)));
            }
        }
        for (const QString& page : pages) {
            if (page != QLatin1String(THelpWindow::ContentsPage)) {
                EXPECT_TRUE(linkedFromContents.contains(page)) << page.toStdString();
            }
        }
    }
}

TEST(HelpPages, EveryPageLoadsInTheHelpWindowWithItsTitle) {
    UiApp();
    THelpWindow window;
    for (const QString& language : Languages)
        for (const QString& page : PagesOf(language)) {
            SCOPED_TRACE((language + QLatin1Char('/') + page).toStdString());
            window.ShowPage(language, page);
            EXPECT_EQ(window.Browser.source(), THelpWindow::PageUrl(language, page));
            const QString title =
                Captures(ReadPage(THelpWindow::PageFolder(language) + QLatin1Char('/') + page),
                         QStringLiteral("<title>([^<]+)</title>"))
                    .value(0);
            EXPECT_FALSE(title.isEmpty());
            EXPECT_EQ(window.Browser.documentTitle(), title);
            EXPECT_GT(window.Browser.toPlainText().size(), 200);
        }
}

// ---- The help window from the main window ----

using Help = MainFormTest;

struct LanguageCase {
    int languageIndex; // 0 Italian, 1 English
    const char* language;
    const char* title;
    const char* contentsButton;
};

class HelpInLanguage : public MainFormTest, public testing::WithParamInterface<LanguageCase> {};

TEST_P(HelpInLanguage, F1OpensTheMainWindowTopicAndHelpTheContents) {
    const LanguageCase& c = GetParam();
    TMainForm& f = *form;
    f.show(); // the first showing reads the settings and sets the help file
    if (c.languageIndex == 1)
        f.Inglese1Click();
    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));

    QTest::keyClick(&f, Qt::Key_F1);
    ASSERT_TRUE(SpinUntil([&] { return f.Help.Window() && f.Help.Window()->isVisible(); }));
    THelpWindow& help = *f.Help.Window();
    EXPECT_EQ(help.Browser.source(),
              THelpWindow::PageUrl(QLatin1String(c.language), THelpWindow::PageOfContext(200)));
    EXPECT_EQ(help.windowTitle(), QString::fromUtf8(c.title));
    EXPECT_EQ(help.ContentsButton.text(), QString::fromUtf8(c.contentsButton));
    EXPECT_FALSE(help.isModal());
    EXPECT_TRUE(help.isWindow());
    EXPECT_GE(help.width(), 700);
    EXPECT_GE(help.height(), 500);

    // "Help": the contents, in the same window.
    f.Help1.trigger();
    EXPECT_EQ(f.Help.Window(), &help);
    EXPECT_EQ(
        help.Browser.source(),
        THelpWindow::PageUrl(QLatin1String(c.language), QLatin1String(THelpWindow::ContentsPage)));
    f.hide();
}

INSTANTIATE_TEST_SUITE_P(
    Languages, HelpInLanguage,
    testing::Values(LanguageCase{0, "it", "Vextor Config \u2013 Guida", "Indice"},
                    LanguageCase{1, "en", "Vextor Config \u2013 Help", "Contents"}));

TEST_F(Help, BackForwardAndContentsButtonsAndOneWindowAcrossLanguages) {
    TMainForm& f = *form;
    f.FormShow();
    f.Help1Click();
    ASSERT_NE(f.Help.Window(), nullptr);
    THelpWindow& help = *f.Help.Window();
    const QUrl contents = THelpWindow::PageUrl(QStringLiteral("it"), QStringLiteral("index.html"));
    const QUrl parameters =
        THelpWindow::PageUrl(QStringLiteral("it"), QStringLiteral("parameters.html"));
    EXPECT_EQ(help.Browser.source(), contents);
    EXPECT_FALSE(help.BackButton.isEnabled());

    help.Browser.setSource(contents.resolved(QUrl(QStringLiteral("parameters.html#table"))));
    EXPECT_EQ(help.Browser.source().adjusted(QUrl::RemoveFragment), parameters);
    ASSERT_TRUE(help.BackButton.isEnabled());
    Click(help.BackButton);
    EXPECT_EQ(help.Browser.source(), contents);
    ASSERT_TRUE(help.ForwardButton.isEnabled());
    Click(help.ForwardButton);
    EXPECT_EQ(help.Browser.source().adjusted(QUrl::RemoveFragment), parameters);
    Click(help.ContentsButton);
    EXPECT_EQ(help.Browser.source(), contents);

    // Another language: the same window, its pages and its own history.
    f.Inglese1Click();
    f.FormHelp();
    EXPECT_EQ(f.Help.Window(), &help);
    EXPECT_EQ(help.Language(), "en");
    EXPECT_EQ(help.Browser.source(),
              THelpWindow::PageUrl(QStringLiteral("en"), QStringLiteral("main-window.html")));
    EXPECT_FALSE(help.BackButton.isEnabled());
    help.hide();
}

// ---- A site's own help files ----

std::vector<std::pair<QString, int>> g_chmOpened;
bool g_openerSucceeds = true;
bool g_viewerInstalled = false;

struct ChmCase {
    bool filesPresent;
    bool viewerInstalled;
    bool openerSucceeds;
    bool chmOpened; // the opener was asked to open the file
    bool builtInShown;
};

class HelpFiles : public MainFormTest, public testing::WithParamInterface<ChmCase> {};

TEST_P(HelpFiles, AreOpenedWithTheDesktopViewerElseTheBuiltInHelp) {
    const ChmCase& c = GetParam();
    TMainForm& f = *form;
    f.FormShow();
    const QString ita = QString::fromStdString((Folder() / "VextorHelpITA.chm").string());
    if (c.filesPresent)
        QFile(ita).open(QIODevice::WriteOnly);
    g_chmOpened.clear();
    g_openerSucceeds = c.openerSucceeds;
    g_viewerInstalled = c.viewerInstalled;
    HelpViewer::SetOpener([](const QString& path, int context) {
        g_chmOpened.emplace_back(path, context);
        return g_openerSucceeds;
    });
    HelpViewer::SetViewerCheck([] { return g_viewerInstalled; });

    f.FormHelp(); // F1

    HelpViewer::SetOpener(nullptr);
    HelpViewer::SetViewerCheck(nullptr);
    if (c.chmOpened) {
        ASSERT_EQ(g_chmOpened.size(), 1u);
        EXPECT_EQ(g_chmOpened[0], std::make_pair(ita, 200));
    } else {
        EXPECT_TRUE(g_chmOpened.empty());
    }
    const bool shown = f.Help.Window() != nullptr && f.Help.Window()->isVisible();
    EXPECT_EQ(shown, c.builtInShown);
    if (shown) {
        EXPECT_EQ(f.Help.Window()->Browser.source(),
                  THelpWindow::PageUrl(QStringLiteral("it"), QStringLiteral("main-window.html")));
        f.Help.Window()->hide();
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, HelpFiles,
                         testing::Values(
                             // file, viewer, opener ok -> opened, built-in
                             ChmCase{true, true, true, true, false},
                             ChmCase{true, false, true, false, true},
                             ChmCase{false, true, true, false, true},
                             ChmCase{true, true, false, true, true}));

// ---- Whether the desktop has a viewer for .chm files ----

class EnvironmentOverride {
public:
    EnvironmentOverride(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        qputenv(name, value);
    }
    ~EnvironmentOverride() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

struct ViewerCase {
    const char* name;
    const char* executable;    // file made executable in the PATH folder, or ""
    const char* mimeappsList;  // content of ~/.config/mimeapps.list, or ""
    const char* mimeinfoCache; // content of the data folder's applications/mimeinfo.cache
    const char* desktopFile;   // desktop file present in applications/, or ""
    bool installed;
};

class ChmViewer : public testing::TestWithParam<ViewerCase> {};

TEST_P(ChmViewer, IsFoundOnThePathOrInTheMimeAssociations) {
    const ViewerCase& c = GetParam();
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QDir dir(root.path());
    for (const char* sub : {"bin", "config", "data/applications", "sysdata/applications"})
        ASSERT_TRUE(dir.mkpath(QLatin1String(sub)));
    auto write = [&](const QString& relative, const char* text) {
        QFile file(dir.filePath(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    if (*c.executable) {
        write(QStringLiteral("bin/") + QLatin1String(c.executable), "#!/bin/sh\n");
        QFile(dir.filePath(QStringLiteral("bin/") + QLatin1String(c.executable)))
            .setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    }
    if (*c.mimeappsList)
        write(QStringLiteral("config/mimeapps.list"), c.mimeappsList);
    if (*c.mimeinfoCache)
        write(QStringLiteral("sysdata/applications/mimeinfo.cache"), c.mimeinfoCache);
    if (*c.desktopFile)
        write(QStringLiteral("sysdata/applications/") + QLatin1String(c.desktopFile),
              "[Desktop Entry]\n");

    const EnvironmentOverride path("PATH", dir.filePath(QStringLiteral("bin")).toLocal8Bit());
    const EnvironmentOverride home("HOME", root.path().toLocal8Bit());
    const EnvironmentOverride config("XDG_CONFIG_HOME",
                                     dir.filePath(QStringLiteral("config")).toLocal8Bit());
    const EnvironmentOverride configDirs("XDG_CONFIG_DIRS",
                                         dir.filePath(QStringLiteral("config")).toLocal8Bit());
    const EnvironmentOverride data("XDG_DATA_HOME",
                                   dir.filePath(QStringLiteral("data")).toLocal8Bit());
    const EnvironmentOverride dataDirs("XDG_DATA_DIRS",
                                       dir.filePath(QStringLiteral("sysdata")).toLocal8Bit());
    EXPECT_EQ(HelpViewer::DesktopHasChmViewer(), c.installed);
}

INSTANTIATE_TEST_SUITE_P(
    Desktops, ChmViewer,
    testing::Values(
        ViewerCase{"Nothing", "", "", "", "", false},
        ViewerCase{"XchmOnThePath", "xchm", "", "", "", true},
        ViewerCase{"KchmviewerOnThePath", "kchmviewer", "", "", "", true},
        ViewerCase{"DefaultApplication", "",
                   "[Default Applications]\napplication/vnd.ms-htmlhelp=chmsee.desktop;\n", "",
                   "chmsee.desktop", true},
        ViewerCase{"DefaultApplicationNotInstalled", "",
                   "[Default Applications]\napplication/vnd.ms-htmlhelp=gone.desktop;\n", "", "",
                   false},
        ViewerCase{"OtherTypeOnly", "", "[Default Applications]\napplication/pdf=okular.desktop;\n",
                   "", "okular.desktop", false},
        ViewerCase{"MimeCache", "", "", "[MIME Cache]\napplication/vnd.ms-htmlhelp=xchm.desktop;\n",
                   "xchm.desktop", true}),
    [](const testing::TestParamInfo<ViewerCase>& info) { return info.param.name; });

// ---- Pictures for the README (only when a folder is given) ----

TEST(HelpScreenshots, SaveAPageInEachLanguage) {
    const QString folder = qEnvironmentVariable("VEXTOR_HELP_SCREENSHOTS");
    if (folder.isEmpty())
        GTEST_SKIP() << "set VEXTOR_HELP_SCREENSHOTS to a folder to save the pictures";
    UiApp();
    for (const QString& language : Languages) {
        THelpWindow window;
        window.ShowPage(language, QStringLiteral("parameters.html"));
        window.ShowPage(language, THelpWindow::PageOfContext(200));
        ASSERT_TRUE(SpinUntil([&] { return window.isVisible(); }));
        const QString file = QDir(folder).filePath(QStringLiteral("help-%1.png").arg(language));
        EXPECT_TRUE(window.grab().save(file));
    }
}

} // namespace
