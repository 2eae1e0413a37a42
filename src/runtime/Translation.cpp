#include "runtime/Translation.h"

#include "runtime/Form.h"

#include <QComboBox>
#include <QSignalBlocker>
#include <QStringList>
#include <QVariant>
#include <QWidget>

#include <algorithm>

namespace {

bool IsLanguage(int language) {
    return language >= 1 && language <= TTranslation::LanguageCount;
}

bool SetStringProperty(QObject* object, const char* property, const QString& text) {
    if (object->metaObject()->indexOfProperty(property) < 0)
        return false;
    object->setProperty(property, text);
    return true;
}

void ApplyCaption(QObject* object, const QString& text, bool isWindow) {
    if (isWindow) {
        static_cast<QWidget*>(object)->setWindowTitle(text);
        return;
    }
    if (!SetStringProperty(object, "text", text) && !SetStringProperty(object, "title", text))
        SetStringProperty(object, "windowTitle", text);
}

void ApplyItems(QObject* object, const QString& text) {
    auto* combo = qobject_cast<QComboBox*>(object);
    if (combo == nullptr)
        return;
    const QSignalBlocker quiet(combo);
    const int selected = combo->currentIndex();
    combo->clear();
    combo->addItems(text.split(QLatin1Char('\n')));
    combo->setCurrentIndex(selected < combo->count() ? selected : -1);
}

} // namespace

TTranslation& TTranslation::Global() {
    static TTranslation instance;
    return instance;
}

TTranslation::TTranslation(bool loadEmbedded) {
    if (loadEmbedded)
        LoadEmbedded();
}

TTranslation::~TTranslation() = default;

QString TTranslation::EmbeddedResource(int language) {
    switch (language) {
    case Italian:
        return QStringLiteral(":/i18n/vextor_it.qm");
    case English:
        return QStringLiteral(":/i18n/vextor_en.qm");
    default:
        return {};
    }
}

bool TTranslation::LoadEmbedded() {
    bool all = true;
    for (int language = 1; language <= LanguageCount; ++language) {
        auto table = std::make_unique<QTranslator>();
        if (table->load(EmbeddedResource(language))) {
            InstallTranslator(language, std::move(table));
        } else {
            InstallTranslator(language, nullptr);
            all = false;
        }
    }
    return all;
}

void TTranslation::InstallTranslator(int language, std::unique_ptr<QTranslator> translator) {
    if (!IsLanguage(language))
        return;
    tables_[static_cast<size_t>(language - 1)] = std::move(translator);
    cache_.clear();
}

QString TTranslation::LanguageName(int language) {
    switch (language) {
    case Italian:
        return QStringLiteral("ITALIANO");
    case English:
        return QStringLiteral("INGLESE");
    default:
        return {};
    }
}

const QTranslator* TTranslation::Table(int language) const noexcept {
    return IsLanguage(language) ? tables_[static_cast<size_t>(language - 1)].get() : nullptr;
}

QString TTranslation::Lookup(int language, const char* context, const char* key) const {
    const QTranslator* table = Table(language);
    if (table == nullptr)
        return {};
    QString text = table->translate(context, key);
    // An empty entry is no text: the caller falls back or keeps what it has.
    return text.isEmpty() ? QString() : text;
}

QString TTranslation::TextIn(int language, std::string_view context, std::string_view key) const {
    return Lookup(language, std::string(context).c_str(), std::string(key).c_str());
}

QString TTranslation::Text(std::string_view context, std::string_view key) const {
    auto contextEntry = cache_.find(context);
    if (contextEntry == cache_.end())
        contextEntry = cache_.emplace(std::string(context), StringMap<QString>{}).first;
    StringMap<QString>& texts = contextEntry->second;
    if (auto hit = texts.find(key); hit != texts.end())
        return hit->second;

    const std::string contextText(context);
    const std::string keyText(key);
    QString text = Lookup(language_, contextText.c_str(), keyText.c_str());
    if (text.isNull() && language_ != Italian)
        text = Lookup(Italian, contextText.c_str(), keyText.c_str());
    if (text.isNull())
        text = QString::fromStdString(keyText);
    texts.emplace(keyText, text);
    return text;
}

void TTranslation::ApplyTo(TForm& form) const {
    const char* context = form.ClassName();
    auto apply = [&](QObject* object, bool isWindow) {
        const QByteArray name = object->objectName().toUtf8();
        if (name.isEmpty())
            return;
        const QString caption = Lookup(language_, context, (name + ".Caption").constData());
        if (!caption.isNull())
            ApplyCaption(object, caption, isWindow);
        const QString hint = Lookup(language_, context, (name + ".Hint").constData());
        if (!hint.isNull())
            SetStringProperty(object, "toolTip", hint);
        const QString items = Lookup(language_, context, (name + ".Items").constData());
        if (!items.isNull())
            ApplyItems(object, items);
    };
    apply(&form, true);
    const QList<QObject*> children = form.findChildren<QObject*>();
    for (QObject* child : children)
        apply(child, false);
}

void TTranslation::SetLanguage(int language) {
    if (!IsLanguage(language) || language == language_)
        return;
    language_ = language;
    cache_.clear();
    // A window's Retranslate may create or delete windows: work on the list as it was.
    const std::vector<TForm*> forms = forms_;
    for (TForm* form : forms) {
        if (std::find(forms_.begin(), forms_.end(), form) == forms_.end())
            continue;
        ApplyTo(*form);
        form->Retranslate();
    }
    emit LanguageChanged(language);
}

void TTranslation::Register(TForm* form) {
    if (form != nullptr && std::find(forms_.begin(), forms_.end(), form) == forms_.end())
        forms_.push_back(form);
}

void TTranslation::Unregister(TForm* form) {
    forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end());
}
