// The translation runtime with the embedded tables: lookups, fallback to Italian, and the
// re-captioning of registered windows at a language switch.
#include "runtime/Form.h"
#include "runtime/Translation.h"
#include "support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

#include <map>
#include <string>

namespace {

struct LookupCase {
    int language;
    const char* context;
    const char* key;
    const char* text;
};

class TranslationLookup : public testing::TestWithParam<LookupCase> {
protected:
    void SetUp() override { UiApp(); }
};

TEST_P(TranslationLookup, GivesTheActiveLanguageOrItalian) {
    const LookupCase& c = GetParam();
    TTranslation runtime;
    runtime.SetLanguage(c.language);
    EXPECT_EQ(runtime.Text(c.context, c.key), QString::fromUtf8(c.text));
    // A second lookup comes from the cache and must be the same.
    EXPECT_EQ(runtime.Text(c.context, c.key), QString::fromUtf8(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    MainAndStatisticsWindows, TranslationLookup,
    testing::Values(
        // One Italian text, two English ones: the keys keep them apart.
        LookupCase{1, "TMainForm", "Mp_04", "Versione FW"},
        LookupCase{1, "TMainForm", "St_16", "Versione FW"},
        LookupCase{2, "TMainForm", "Mp_04", "FW Version"},
        LookupCase{2, "TMainForm", "St_16", "FW version"},
        // Trailing blanks are part of the text.
        LookupCase{2, "TMainForm", "St_05", "Theoretical profile factor "},
        LookupCase{1, "TMainForm", "St_05", "Fatt. profilo teorico"},
        LookupCase{1, "TMainForm", "Mes06", "Lettura OK "},
        LookupCase{2, "TMainForm", "Mes06", "Read OK"},
        // No English text: the Italian one.
        LookupCase{2, "TMainForm", "Unit1", "[mt/sec]"},
        LookupCase{2, "TMainForm", "Unit5", "[----]"},
        LookupCase{2, "TMainForm", "Label6.Caption", "Batch"},
        // Non-ASCII texts survive the build.
        LookupCase{1, "TMainForm", "St_03", "Temperatura [°C]"},
        LookupCase{2, "TMainForm", "St_03", "Temperature [° C]"},
        LookupCase{1, "TMainForm", "St_14", "mA out velocità"},
        LookupCase{2, "TMainForm", "Mes02",
                   "Unsaved data in the EEPROM! Do you want to exit without saving?"},
        LookupCase{2, "TMainForm", "ComboBox2.Items", "Cylinder\nSquare"},
        // The window caption is the program's version in both languages.
        LookupCase{1, "TMainForm", "MainForm.Caption", "Vextor Config V01.00.01"},
        LookupCase{2, "TMainForm", "MainForm.Caption", "Vextor Config V01.00.01"},
        LookupCase{1, "TDiagnoseForm", "Label2.Caption", "Frame ricevuti corretti SENSORE"},
        LookupCase{2, "TDiagnoseForm", "DiagnoseForm.Caption", "Serial test"},
        // A key in no table is shown as itself; contexts do not leak into each other.
        LookupCase{2, "TMainForm", "NoSuchKey", "NoSuchKey"},
        LookupCase{1, "TDiagnoseForm", "Mp_04", "Mp_04"}));

TEST(TranslationTables, EveryMainWindowKeyHasItalianAndTheListedOnesLackEnglish) {
    UiApp();
    TTranslation runtime;
    std::vector<std::string> keys;
    for (int i = 1; i <= 16; ++i)
        keys.push_back((i < 10 ? "Mp_0" : "Mp_") + std::to_string(i));
    for (int i = 1; i <= 17; ++i)
        keys.push_back((i < 10 ? "St_0" : "St_") + std::to_string(i));
    for (int i = 1; i <= 6; ++i)
        keys.push_back("Mes0" + std::to_string(i));
    for (const char* control :
         {"MainForm", "SpeedButton2", "SpeedButton6", "SpeedButton7", "SpeedButton8",
          "SpeedButton9", "SpeedButton10", "SpeedButton11", "Panel3", "Panel5", "Panel7", "Panel9",
          "Panel11", "N1", "Italiano1", "Inglese1", "Info1", "Help1", "A1"})
        keys.push_back(std::string(control) + ".Caption");
    keys.push_back("ComboBox1.Items");
    keys.push_back("ComboBox2.Items");
    const std::vector<std::string> italianOnly = {
        "Unit1", "Unit2",          "Unit3",          "Unit4",
        "Unit5", "Label6.Caption", "Label7.Caption", "ComboBox1.Hint"};

    for (const std::string& key : keys) {
        EXPECT_FALSE(runtime.TextIn(1, "TMainForm", key).isNull()) << key;
        EXPECT_FALSE(runtime.TextIn(2, "TMainForm", key).isNull()) << key;
    }
    for (const std::string& key : italianOnly) {
        EXPECT_FALSE(runtime.TextIn(1, "TMainForm", key).isNull()) << key;
        EXPECT_TRUE(runtime.TextIn(2, "TMainForm", key).isNull()) << key;
    }
    EXPECT_EQ(runtime.TextIn(1, "TMainForm", "ComboBox1.Items").split('\n'),
              QStringList({"Velocità Flusso [mt/sec]", "Portata Massica [Kg/h]",
                           "Portata Volumetrica [mc/h]", "Portata Volumetrica [Nmc/h]"}));
}

TEST(TranslationRuntime, LanguagesAreNumberedFromOneWithItalianFirst) {
    UiApp();
    TTranslation runtime;
    EXPECT_EQ(runtime.Language(), 1);
    EXPECT_EQ(TTranslation::LanguageName(1), "ITALIANO");
    EXPECT_EQ(TTranslation::LanguageName(2), "INGLESE");
    EXPECT_TRUE(TTranslation::LanguageName(3).isEmpty());
    for (int notALanguage : {0, 3, -1}) {
        runtime.SetLanguage(notALanguage);
        EXPECT_EQ(runtime.Language(), 1);
    }
}

// A table held in memory: the seam for tests that bring their own texts.
class MapTranslator : public QTranslator {
public:
    std::map<std::pair<std::string, std::string>, QString> texts;
    QString translate(const char* context, const char* source, const char*, int) const override {
        auto it = texts.find({context, source});
        return it == texts.end() ? QString() : it->second;
    }
    bool isEmpty() const override { return texts.empty(); }
};

TEST(TranslationRuntime, InstalledTablesReplaceTheOldOnesAndDropCachedTexts) {
    UiApp();
    TTranslation runtime(/*loadEmbedded=*/false);
    EXPECT_EQ(runtime.Text("TWin", "K1"), "K1"); // no tables at all

    auto italian = std::make_unique<MapTranslator>();
    italian->texts[{"TWin", "K1"}] = "uno";
    italian->texts[{"TWin", "K2"}] = "due";
    runtime.InstallTranslator(1, std::move(italian));
    auto english = std::make_unique<MapTranslator>();
    english->texts[{"TWin", "K1"}] = "one";
    english->texts[{"TWin", "K2"}] = ""; // an empty entry is no text
    runtime.InstallTranslator(2, std::move(english));

    EXPECT_EQ(runtime.Text("TWin", "K1"), "uno");
    runtime.SetLanguage(2);
    EXPECT_EQ(runtime.Text("TWin", "K1"), "one");
    EXPECT_EQ(runtime.Text("TWin", "K2"), "due");

    runtime.InstallTranslator(2, nullptr);
    EXPECT_EQ(runtime.Text("TWin", "K1"), "uno");
}

// A stand-in for the main window, with controls named as in its table.
class TMainStandIn : public TForm {
public:
    TMainStandIn() : TForm("TMainForm") {
        setWindowTitle("Vextor Config V01.00.01");
        SpeedButton2.setObjectName("SpeedButton2");
        SpeedButton2.setText("Leggi parametri");
        Label6.setObjectName("Label6");
        Label6.setText("Batch");
        ComboBox1.setObjectName("ComboBox1");
        ComboBox1.addItems({"Velocità Flusso [mt/sec]", "Portata Massica [Kg/h]",
                            "Portata Volumetrica [mc/h]", "Portata Volumetrica [Nmc/h]"});
        ComboBox1.setCurrentIndex(1);
        ComboBox1.setToolTip("P05 Tipo uscita");
        N1.setObjectName("N1");
        N1.setTitle("Lingua");
        Italiano1.setObjectName("Italiano1");
        Italiano1.setText("Italiano");
        N1.addAction(&Italiano1);
    }
    void Retranslate() override {
        ++retranslated;
        languageSeen = Text("Mes03");
    }

    QPushButton SpeedButton2{this};
    QLabel Label6{this};
    QComboBox ComboBox1{this};
    QMenu N1{this};
    QAction Italiano1{this};
    int retranslated = 0;
    QString languageSeen;
};

// Counts a signal's emissions and keeps the last int argument.
struct SignalCount {
    int count = 0;
    int last = 0;
    void operator()(int value) {
        ++count;
        last = value;
    }
};

class LanguageSwitch : public testing::Test {
protected:
    void SetUp() override {
        UiApp();
        Translation().SetLanguage(1);
    }
    void TearDown() override { Translation().SetLanguage(1); }
};

TEST_F(LanguageSwitch, RecaptionsRegisteredWindowsAtOnce) {
    TMainStandIn form;
    SignalCount switched;
    SignalCount indexChanged;
    QObject::connect(&Translation(), &TTranslation::LanguageChanged, &form,
                     [&](int n) { switched(n); });
    QObject::connect(&form.ComboBox1, &QComboBox::currentIndexChanged, &form,
                     [&](int n) { indexChanged(n); });

    Translation().SetLanguage(2);

    EXPECT_EQ(form.SpeedButton2.text(), "Read parameter");
    EXPECT_EQ(form.N1.title(), "Language");
    EXPECT_EQ(form.Italiano1.text(), "Italian");
    // No English text: kept.
    EXPECT_EQ(form.Label6.text(), "Batch");
    EXPECT_EQ(form.ComboBox1.toolTip(), "P05 Tipo uscita");
    // The caption stays the program's version.
    EXPECT_EQ(form.windowTitle(), "Vextor Config V01.00.01");
    // The item list is replaced quietly, keeping the selected item.
    ASSERT_EQ(form.ComboBox1.count(), 4);
    EXPECT_EQ(form.ComboBox1.itemText(0), "Point-velocity of flow [mt/sec]");
    EXPECT_EQ(form.ComboBox1.currentText(), "Mass Flow [Kg/h]");
    EXPECT_EQ(indexChanged.count, 0);
    // Retranslate ran after the table was applied, with the new language active.
    EXPECT_EQ(form.retranslated, 1);
    EXPECT_EQ(form.languageSeen, "Ready");
    EXPECT_EQ(switched.count, 1);
    EXPECT_EQ(switched.last, 2);

    Translation().SetLanguage(1);
    EXPECT_EQ(form.SpeedButton2.text(), "Leggi parametri");
    EXPECT_EQ(form.ComboBox1.itemText(0), "Velocità Flusso [mt/sec]");
    EXPECT_EQ(form.windowTitle(), "Vextor Config V01.00.01");
    EXPECT_EQ(form.languageSeen, "Pronto");
}

TEST_F(LanguageSwitch, SwitchingToTheActiveLanguageDoesNothing) {
    TMainStandIn form;
    Translation().SetLanguage(2);
    form.SpeedButton2.setText("changed by the program");
    SignalCount switched;
    QObject::connect(&Translation(), &TTranslation::LanguageChanged, &form,
                     [&](int n) { switched(n); });

    Translation().SetLanguage(2);

    EXPECT_EQ(form.SpeedButton2.text(), "changed by the program");
    EXPECT_EQ(form.retranslated, 1);
    EXPECT_EQ(switched.count, 0);
}

TEST_F(LanguageSwitch, TextsFollowTheActiveLanguageAfterASwitch) {
    TMainStandIn form;
    EXPECT_EQ(form.Text("Mp_07"), "Fondo Scala [20mA]"); // cached in Italian
    Translation().SetLanguage(2);
    EXPECT_EQ(form.Text("Mp_07"), "Full scale [20mA]");
    EXPECT_EQ(form.Text("Unit2"), "[Kg/h]");
}

// A destroyed window leaves the list at once (a switch would otherwise touch freed memory, which
// an optimised build need not show); the windows that live on are still re-captioned.
TEST_F(LanguageSwitch, DestroyedWindowsAreNoLongerRecaptioned) {
    const size_t before = Translation().RegisteredWindows();
    TMainStandIn stays;
    auto form = std::make_unique<TMainStandIn>();
    EXPECT_EQ(Translation().RegisteredWindows(), before + 2);
    form.reset();
    EXPECT_EQ(Translation().RegisteredWindows(), before + 1);
    Translation().SetLanguage(2); // must not touch the deleted window
    EXPECT_EQ(stays.retranslated, 1);
    EXPECT_EQ(stays.SpeedButton2.text(), "Read parameter");
}

} // namespace
