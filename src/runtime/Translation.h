#pragma once
// The translation runtime: the active language, the texts of every translated window in each
// language, and the re-captioning of the windows when the language changes.
//
// Languages are numbered from 1: 1 Italian ("ITALIANO"), the language every window is designed
// in and the fallback of the others, and 2 English ("INGLESE").
//
// Storage. One Qt Linguist file per language (translations/vextor_it.ts, vextor_en.ts), compiled
// by the build and embedded as the resources ":/i18n/vextor_it.qm" and ":/i18n/vextor_en.qm",
// each loaded into its own QTranslator (never installed into the application, so tr() elsewhere
// is unaffected). In those files:
//   - the context is the window class: "TMainForm", "TDiagnoseForm", ...;
//   - the source is a key, never a text, so one Italian text may carry two English ones
//     ("Versione FW" is Mp_04 "FW Version" and St_16 "FW version"):
//       "Mp_04", "St_16", "Mes03"        a string the code asks for with Text(context, key);
//       "<objectName>.Caption"           the caption of a control, or of the window itself under
//                                        the window's object name ("MainForm.Caption");
//       "<objectName>.Hint"              its tool tip;
//       "<objectName>.Items"             the items of a choice box, one per line ("\n");
//   - the translation is the text in that file's language. An entry that is missing, empty or
//     unfinished means "no text in this language".
//
// Lookups. Text(context, key) gives the text in the active language, or else the Italian one,
// or else the key itself (a key missing from every table shows up on screen as the key). Results
// are kept per language, so the display tick's repeated lookups cost two hash probes and no
// allocation; the cache is dropped when the language or a table changes.
//
// Switching. SetLanguage(n) does nothing when n is already active (or is not a language).
// Otherwise, for every registered window (every TForm registers itself) and each object in it
// with an object name, the caption, hint and item list that have a text in language n receive
// it; one without a text keeps the text it has (no fallback here). Then each window's
// Retranslate() runs, and LanguageChanged(n) is emitted. Where a caption goes: the window's
// own caption to its title; a control's to its "text" property (labels, buttons, edit boxes,
// menu actions), else its "title" property (group boxes, menus), else its window title. Hints go to
// "toolTip". Item lists replace a QComboBox's items; the selected index is kept when it still
// exists, and the replacement emits no signals of the choice box (it is the program's change, not
// the user's).
//
// Everything here runs on the UI thread.
#include <QObject>
#include <QString>
#include <QTranslator>

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TForm;

class TTranslation : public QObject {
    Q_OBJECT
public:
    static constexpr int Italian = 1; // the first language and the fallback
    static constexpr int English = 2;
    static constexpr int LanguageCount = 2;

    // The instance the windows use. Its tables are the embedded ones.
    static TTranslation& Global();

    // loadEmbedded: load the embedded tables at once; tests build an empty runtime and install
    // their own tables with InstallTranslator.
    explicit TTranslation(bool loadEmbedded = true);
    ~TTranslation() override;
    TTranslation(const TTranslation&) = delete;
    TTranslation& operator=(const TTranslation&) = delete;

    // Loads (again) the embedded table of every language. True when all were found.
    bool LoadEmbedded();
    // Replaces the table of a language (1..LanguageCount); nullptr removes it. The test seam,
    // and the way to use tables from elsewhere.
    void InstallTranslator(int language, std::unique_ptr<QTranslator> translator);
    // The resource the embedded table of a language is loaded from.
    static QString EmbeddedResource(int language);

    int Language() const noexcept { return language_; }
    // "ITALIANO", "INGLESE"; empty for a number that is not a language.
    static QString LanguageName(int language);
    // Makes language n active and re-captions the registered windows (see the top of this file).
    void SetLanguage(int language);

    // The text of a key in the active language, else in Italian, else the key.
    QString Text(std::string_view context, std::string_view key) const;
    // The text of a key in one language only; a null QString when that language has none.
    QString TextIn(int language, std::string_view context, std::string_view key) const;

    // Applies the active language's captions, hints and item lists to one window now. A window
    // may call it at the end of its construction when it is created after a switch.
    void ApplyTo(TForm& form) const;

    // The windows re-captioned at a switch. TForm registers and unregisters itself.
    void Register(TForm* form);
    void Unregister(TForm* form);
    // How many windows are registered now (tests).
    size_t RegisteredWindows() const noexcept { return forms_.size(); }

signals:
    void LanguageChanged(int language);

private:
    struct StringHash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const noexcept {
            return std::hash<std::string_view>{}(s);
        }
    };
    template <typename V>
    using StringMap = std::unordered_map<std::string, V, StringHash, std::equal_to<>>;

    const QTranslator* Table(int language) const noexcept;
    QString Lookup(int language, const char* context, const char* key) const;

    int language_ = Italian;
    std::array<std::unique_ptr<QTranslator>, LanguageCount> tables_;
    std::vector<TForm*> forms_;
    // Resolved texts of the active language: context -> key -> text.
    mutable StringMap<StringMap<QString>> cache_;
};

// Shorthand for TTranslation::Global().
inline TTranslation& Translation() {
    return TTranslation::Global();
}
