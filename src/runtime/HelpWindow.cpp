#include "runtime/HelpWindow.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

// Context numbers of the windows that have a topic of their own.
struct HelpTopic {
    int context;
    const char* page;
};
constexpr HelpTopic HelpTopics[] = {
    {200, "main-window.html"}, // the main window: live values and connecting
};

struct HelpTexts {
    const char* title;
    const char* contents;
    const char* back;
    const char* forward;
};
const HelpTexts& TextsOf(const QString& language) {
    static const HelpTexts italian{"Vextor Config \u2013 Guida", "Indice", "Indietro", "Avanti"};
    static const HelpTexts english{"Vextor Config \u2013 Help", "Contents", "Back", "Forward"};
    return language == QLatin1String("en") ? english : italian;
}

} // namespace

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("HelpWindow"));
    // The help never keeps the application alive on its own.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(800, 600);

    ContentsButton.setObjectName(QStringLiteral("ContentsButton"));
    BackButton.setObjectName(QStringLiteral("BackButton"));
    ForwardButton.setObjectName(QStringLiteral("ForwardButton"));
    Browser.setObjectName(QStringLiteral("Browser"));
    Browser.setOpenLinks(true);
    Browser.setOpenExternalLinks(false);
    BackButton.setEnabled(false);
    ForwardButton.setEnabled(false);

    auto* buttons = new QHBoxLayout; // owned by the window's layout below
    buttons->addWidget(&ContentsButton);
    buttons->addWidget(&BackButton);
    buttons->addWidget(&ForwardButton);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this); // owned by the window
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(buttons);
    layout->addWidget(&Browser, 1);

    connect(&ContentsButton, &QPushButton::clicked, this,
            [this] { Browser.setSource(PageUrl(language_, QLatin1String(ContentsPage))); });
    connect(&BackButton, &QPushButton::clicked, &Browser, &QTextBrowser::backward);
    connect(&ForwardButton, &QPushButton::clicked, &Browser, &QTextBrowser::forward);
    connect(&Browser, &QTextBrowser::backwardAvailable, &BackButton, &QPushButton::setEnabled);
    connect(&Browser, &QTextBrowser::forwardAvailable, &ForwardButton, &QPushButton::setEnabled);
    Retitle();
}

QString THelpWindow::PageOfContext(int context) {
    for (const HelpTopic& topic : HelpTopics)
        if (topic.context == context)
            return QLatin1String(topic.page);
    return QLatin1String(ContentsPage);
}

QString THelpWindow::LanguageOfHelpFile(const QString& file) {
    return file.contains(QLatin1String("ENG"), Qt::CaseInsensitive) ? QStringLiteral("en")
                                                                    : QStringLiteral("it");
}

QString THelpWindow::PageFolder(const QString& language) {
    return QStringLiteral(":/help/%1").arg(language);
}

QUrl THelpWindow::PageUrl(const QString& language, const QString& page) {
    return QUrl(QStringLiteral("qrc:/help/%1/%2").arg(language, page));
}

void THelpWindow::ShowPage(const QString& language, const QString& page) {
    const bool otherLanguage = language != language_;
    language_ = language;
    Browser.setSource(PageUrl(language_, page));
    if (otherLanguage) {
        // The pages of another language start a history of their own.
        Browser.clearHistory();
        Retitle();
    }
    show();
    raise();
    activateWindow();
}

void THelpWindow::Retitle() {
    const HelpTexts& texts = TextsOf(language_);
    setWindowTitle(QString::fromUtf8(texts.title));
    ContentsButton.setText(QString::fromUtf8(texts.contents));
    BackButton.setText(QString::fromUtf8(texts.back));
    ForwardButton.setText(QString::fromUtf8(texts.forward));
}
