// The configuration window on its own: the file it writes byte for byte, files written the
// Windows way, the recall list, the name filter, failed saves that lose nothing and recalls of
// files that are gone.
#include "IdentConfigSupport.h"
#include "config/Saverec.h"
#include "link/Comthread.h"
#include "model/SensorTables.h"
#include "platform/AppPaths.h"
#include "platform/IniFile.h"
#include "platform/Regional.h"
#include "runtime/Translation.h"
#include "support/FakePort.h"

#include <QAbstractItemView>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <memory>

namespace {

namespace fs = std::filesystem;

// Sixteen parameter words as a sensor reports them: entries 0 and 1 signed, the rest unsigned.
constexpr std::array<int32_t, 16> Words{-120, -32768, 2,     105, 1,    0,     1000, 200,
                                        0,    1013,   10000, 15,  1000, 65535, 7,    32767};

class ConfigWindow : public testing::Test {
protected:
    void SetUp() override {
        UiApp();
        Translation().SetLanguage(1);
        ASSERT_TRUE(dir.isValid());
        SetExecutablePathOverride(Folder() / "vextor-config");
        poller = std::make_unique<TComThread>(tables, port, nullptr, /*start=*/false);
        form = std::make_unique<TSaveRecalForm>(
            tables, [this]() -> TComThread* { return poller.get(); }, &mainWindow);
        form->Now = [] { return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)); };
        mainWindow.move(100, 50);
    }
    void TearDown() override {
        form.reset();
        poller.reset();
        SetExecutablePathOverride({});
        Translation().SetLanguage(1);
    }

    fs::path Folder() const { return dir.path().toStdString(); }
    fs::path File(const std::string& name) const { return Folder() / (name + ".rcp"); }

    void Open(int32_t mode) {
        form->Mode = mode;
        form->show();
    }
    // Opens the recall list and picks a name from it, as the user does.
    bool Pick(const QString& name) {
        form->ComboBox1.showPopup();
        const int item = form->ComboBox1.findText(name);
        form->ComboBox1.hidePopup();
        if (item < 0)
            return false;
        form->ComboBox1.setCurrentIndex(item);
        return form->ComboBox1.currentText() == name;
    }
    void SetWords(const std::array<int32_t, 16>& words) {
        for (size_t i = 0; i < words.size(); ++i)
            tables.SetupWords[i] = words[i];
    }
    void ClearTables() {
        for (auto& word : tables.SetupWords)
            word = 0;
        tables.DataModified = 0;
        tables.SetupReceived = 0;
    }
    std::array<int32_t, 32> AllWords() const {
        std::array<int32_t, 32> words{};
        for (size_t i = 0; i < words.size(); ++i)
            words[i] = tables.SetupWords[i];
        return words;
    }

    QTemporaryDir dir;
    QWidget mainWindow;
    SensorTables tables;
    FakePort port;
    std::unique_ptr<TComThread> poller;
    std::unique_ptr<TSaveRecalForm> form;
    const ScopedRegionalOverride regional{RegionalSettings{}};
};

// The bytes of a new file as the Windows profile services write them.
std::string ExpectedFile(const std::string& date, const std::array<int32_t, 16>& words) {
    std::string text = "[RCP]\r\nDate last save=" + date + "\r\n\r\n[PAR]\r\n";
    for (size_t i = 0; i < words.size(); ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "PAR%02zu=%d\r\n", i, words[i]);
        text += line;
    }
    return text;
}

TEST_F(ConfigWindow, OpensBesideTheMainWindowInTheModeItIsGiven) {
    EXPECT_EQ(form->objectName(), "SaveRecalForm");
    EXPECT_EQ(form->windowTitle(), "Salva o richiama configurazione");
    EXPECT_EQ(form->size(), QSize(377, 174));
    EXPECT_EQ(form->Edit1.geometry(), QRect(15, 16, 344, 27));
    EXPECT_EQ(form->ComboBox1.geometry(), QRect(15, 49, 344, 27));
    EXPECT_EQ(form->SpeedButton1.geometry(), QRect(16, 96, 169, 57));
    EXPECT_EQ(form->SpeedButton2.geometry(), QRect(191, 96, 169, 57));
    EXPECT_EQ(form->SpeedButton2.text(), "Abbandona");

    form->Edit1.setText("old");
    Open(0);
    EXPECT_EQ(form->pos(), mainWindow.pos() + QPoint(20, 20));
    EXPECT_EQ(form->SpeedButton1.text(), "Salva");
    EXPECT_FALSE(form->Edit1.isHidden());
    EXPECT_TRUE(form->ComboBox1.isHidden());
    EXPECT_EQ(form->Edit1.text(), "");
    form->hide();

    Open(1);
    EXPECT_EQ(form->SpeedButton1.text(), "Richiama");
    EXPECT_TRUE(form->Edit1.isHidden());
    EXPECT_FALSE(form->ComboBox1.isHidden());
    EXPECT_EQ(form->ComboBox1.currentText(), "");

    // In English, at once and at the next showing.
    Translation().SetLanguage(2);
    EXPECT_EQ(form->windowTitle(), "Save or recall configuration");
    EXPECT_EQ(form->SpeedButton1.text(), "Recall");
    EXPECT_EQ(form->SpeedButton2.text(), "Exit");
    form->hide();
    Open(0);
    EXPECT_EQ(form->SpeedButton1.text(), "Save");

    Click(form->SpeedButton2); // "Abbandona": nothing written
    EXPECT_TRUE(form->isHidden());
    EXPECT_TRUE(FolderEntries(Folder()).empty());
}

TEST_F(ConfigWindow, TheNameFilterDropsWhatCannotBeInAFileName) {
    Open(0);
    TypeText(form->Edit1, "a.b/c d:;,\\<>e");
    EXPECT_EQ(form->Edit1.text(), "abc de");
    // The recall box takes no typing at all: names come from the list.
    form->hide();
    Open(1);
    TypeText(*form->ComboBox1.lineEdit(), "xyz");
    TypeText(form->ComboBox1, "xyz");
    EXPECT_EQ(form->ComboBox1.currentText(), "");
    EXPECT_EQ(form->ComboBox1.count(), 0);
}

TEST_F(ConfigWindow, ASaveWritesExactlyTheFileTheWindowsVersionsWrite) {
    SetWords(Words);
    tables.SetupWords[16] = 999; // the read-back image is not part of a configuration
    Open(0);
    TypeText(form->Edit1, "Linea 3 B");
    Click(form->SpeedButton1);
    EXPECT_TRUE(form->isHidden());
    EXPECT_EQ(FolderEntries(Folder()), std::vector<std::string>{"Linea 3 B.rcp"});
    EXPECT_EQ(ReadBytes(File("Linea 3 B")), ExpectedFile("05/03/2024 14:07:09", Words));
    EXPECT_EQ(tables.DataModified, 0); // nothing goes to the sensor
    EXPECT_EQ(poller->RequestFlags.load(), 0u);

    // Before any parameter was read: the table as it is, all zero.
    ClearTables();
    form->SaveConfig("empty");
    EXPECT_EQ(ReadBytes(File("empty")), ExpectedFile("05/03/2024 14:07:09", {}));

    // The date follows the regional formats.
    RegionalSettings us;
    us.ShortDateFormat = "M/d/yyyy";
    us.LongTimeFormat = "h:mm:ss AP";
    const ScopedRegionalOverride american(us);
    form->SaveConfig("us");
    EXPECT_EQ(ReadBytes(File("us")).substr(0, 41), "[RCP]\r\nDate last save=3/5/2024 2:07:09 PM");
}

TEST_F(ConfigWindow, SavingOverAFileReplacesItsValuesAndKeepsEverythingElse) {
    // A file the Windows version saved, with a note added by hand.
    const std::string before = "[RCP]\r\nDate last save=01/02/2015 10:00:00\r\n\r\n[PAR]\r\n"
                               "PAR00=1\r\nPAR01=2\r\nPAR02=3\r\n\r\n[Note]\r\nWho=lab 2\r\n";
    WriteBytes(File("kept"), before);
    SetWords(Words);
    form->SaveConfig("kept");
    form->SaveConfig("kept"); // twice: one file, the second save's values
    std::string expected = "[RCP]\r\nDate last save=05/03/2024 14:07:09\r\n\r\n[PAR]\r\n";
    for (size_t i = 0; i < 16; ++i)
        expected += "PAR" + std::string(i < 10 ? "0" : "") + std::to_string(i) + "=" +
                    std::to_string(Words[i]) + "\r\n";
    expected += "\r\n[Note]\r\nWho=lab 2\r\n";
    EXPECT_EQ(ReadBytes(File("kept")), expected);
    EXPECT_EQ(FolderEntries(Folder()), std::vector<std::string>{"kept.rcp"});
}

TEST_F(ConfigWindow, AFailedSaveIsReportedAndLosesNothing) {
    const std::string old = ExpectedFile("01/02/2015 10:00:00", {});
    struct Case {
        const char* what;
        std::string name;
        bool existing; // an older save of that name is there
        std::function<void(const fs::path&)> prepare;
        bool hook; // the replace fails as on a read-only folder or a full disk
    };
    const std::vector<Case> cases{
        {"read-only file", "readonly", true,
         [](const fs::path& p) { fs::permissions(p, fs::perms::owner_read); }, false},
        {"read-only folder", "folder", true, {}, true},
        {"read-only folder, new file", "fresh", false, {}, true},
        {"a folder in the file's place", "dir", false,
         [](const fs::path& p) { fs::create_directory(p); }, false},
        {"a star", "a*b", false, {}, false},
        {"a bar", "a|b", false, {}, false},
        {"a question mark", "a?", false, {}, false},
        {"a double quote", "a\"b", false, {}, false},
    };
    SetWords(Words);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path path = File(c.name);
        if (c.existing)
            WriteBytes(path, old);
        if (c.prepare)
            c.prepare(path);
        const std::vector<std::string> entries = FolderEntries(Folder());
        std::optional<ScopedIniReplaceHook> readOnly;
        if (c.hook)
            readOnly.emplace([](const fs::path&) { return EROFS; });

        ErrorReports reports;
        Open(0);
        form->Edit1.setText(QString::fromStdString(c.name)); // pasted: the filter never saw it
        Click(form->SpeedButton1);
        ASSERT_EQ(reports.messages.size(), 1u);
        EXPECT_EQ(reports.messages[0],
                  QString::fromStdString("Unable to write to " + path.string()));
        EXPECT_TRUE(form->isVisible());              // the user may try another name
        EXPECT_EQ(FolderEntries(Folder()), entries); // no half-written file, no temporary
        if (c.existing) {
            EXPECT_EQ(ReadBytes(path), old);
        }
        form->hide();
    }
}

TEST_F(ConfigWindow, ASaveIsNeverHalfDone) {
    // The disk fills up after the first replace of the file: a save written key by key would
    // leave the new date beside the old parameters.
    const std::string old = ExpectedFile("01/02/2015 10:00:00", {});
    WriteBytes(File("half"), old);
    int replaces = 0;
    const ScopedIniReplaceHook diskFull(
        [&](const fs::path&) { return ++replaces > 1 ? ENOSPC : 0; });
    SetWords(Words);
    try {
        form->SaveConfig("half");
    } catch (const EIniFileException&) {
    }
    const std::string now = ReadBytes(File("half"));
    EXPECT_TRUE(now == old || now == ExpectedFile("05/03/2024 14:07:09", Words)) << now;
}

TEST_F(ConfigWindow, AFileWrittenTheWindowsWayRecallsAndGoesToTheSensor) {
    // Another section first, a comment, names in any case, blanks around "=", keys out of order.
    WriteBytes(File("Windows"), "[Notes]\r\nPAR00=77\r\n\r\n[rcp]\r\ndate last save=1/2/2015\r\n"
                                "\r\n[Par]\r\n; by hand\r\npar01=-32768\r\nPar00=-120\r\n"
                                "PAR02 = 2\r\nPAR03=105\r\nPAR04=1\r\nPAR05=0\r\nPAR06=1000\r\n"
                                "PAR08=\t0 \r\nPAR07=200\r\n"
                                "PAR09=1013\r\nPAR10=10000\r\nPAR11=15\r\nPAR12=1000\r\n"
                                "PAR13=65535\r\nPAR14=7\r\nPAR15=32767\r\n");
    for (size_t i = 16; i < 32; ++i)
        tables.SetupWords[i] = 500 + static_cast<int32_t>(i);
    tables.LinkActive = 1;

    Open(1);
    ASSERT_TRUE(Pick("Windows"));
    Click(form->SpeedButton1);
    EXPECT_TRUE(form->isHidden());
    std::array<int32_t, 32> expected{};
    for (size_t i = 0; i < 16; ++i)
        expected[i] = Words[i];
    for (size_t i = 16; i < 32; ++i)
        expected[i] = 500 + static_cast<int32_t>(i);
    EXPECT_EQ(AllWords(), expected);
    EXPECT_EQ(tables.DataModified, 1);
    EXPECT_EQ(tables.SetupReceived, 1);
    EXPECT_EQ(poller->RequestFlags.load(), uint32_t{ReqWriteSetup});
}

// A file cut short or edited by hand would write zeros or garbage into a working sensor: it is
// refused whole, naming the file and its first bad entry, and nothing changes or is sent.
TEST_F(ConfigWindow, ADamagedFileIsRefusedNamingItsFirstBadEntry) {
    SetWords(Words);
    for (size_t i = 16; i < 32; ++i)
        tables.SetupWords[i] = 7;
    tables.LinkActive = 1;
    const std::array<int32_t, 32> before = AllWords();
    const std::string whole = ExpectedFile("01/02/2015 10:00:00", Words);
    const auto replaced = [&](const std::string& line, const std::string& by) {
        std::string text = whole;
        text.replace(text.find(line), line.size(), by);
        return text;
    };
    struct Case {
        const char* name;
        std::string text;
        int language;
        const char* message; // %1 the file's path
    };
    const std::vector<Case> cases{
        {"cut", whole.substr(0, whole.find("PAR07=")), 1,
         "File di configurazione danneggiato: %1 (manca la voce PAR07)"},
        {"cut", whole.substr(0, whole.find("PAR07=")), 2,
         "Damaged configuration file: %1 (the entry PAR07 is missing)"},
        {"letters", replaced("PAR09=1013", "PAR09=abc"), 1,
         "File di configurazione danneggiato: %1 (PAR09 non è un numero intero tra -32768 e "
         "65535)"},
        {"letters", replaced("PAR09=1013", "PAR09=abc"), 2,
         "Damaged configuration file: %1 (PAR09 is not a whole number from -32768 to 65535)"},
        {"large", replaced("PAR06=1000", "PAR06=70000"), 2,
         "Damaged configuration file: %1 (PAR06 is not a whole number from -32768 to 65535)"},
        {"negative", replaced("PAR01=-32768", "PAR01=-32769"), 2,
         "Damaged configuration file: %1 (PAR01 is not a whole number from -32768 to 65535)"},
        {"fraction", replaced("PAR12=1000", "PAR12=10.5"), 2,
         "Damaged configuration file: %1 (PAR12 is not a whole number from -32768 to 65535)"},
        {"empty", replaced("PAR15=32767", "PAR15="), 2,
         "Damaged configuration file: %1 (PAR15 is not a whole number from -32768 to 65535)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.language));
        WriteBytes(File(c.name), c.text);
        Translation().SetLanguage(c.language);
        ErrorReports reports;
        Open(1);
        ASSERT_TRUE(Pick(c.name));
        Click(form->SpeedButton1);
        ASSERT_EQ(reports.messages.size(), 1u);
        EXPECT_EQ(reports.messages[0],
                  QString::fromUtf8(c.message).arg(QString::fromStdString(File(c.name).string())));
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(AllWords(), before);
        EXPECT_EQ(tables.DataModified, 0);
        EXPECT_EQ(tables.SetupReceived, 0);
        EXPECT_EQ(poller->RequestFlags.load(), 0u); // nothing goes to the sensor
        form->hide();
    }
}

TEST_F(ConfigWindow, ASavedConfigurationRecallsExactlyAndWithTheLinkDownNothingIsSent) {
    SetWords(Words);
    form->SaveConfig("round trip");
    ClearTables();
    Open(1);
    ASSERT_TRUE(Pick("round trip"));
    Click(form->SpeedButton1);
    for (size_t i = 0; i < 16; ++i)
        EXPECT_EQ(tables.SetupWords[i], Words[i]) << i;
    EXPECT_EQ(tables.DataModified, 1);
    EXPECT_EQ(tables.SetupReceived, 1);
    EXPECT_EQ(poller->RequestFlags.load(), 0u); // the link is down
}

TEST_F(ConfigWindow, TheRecallListShowsConfigurationFilesOnly) {
    const std::string longName(60, 'L');
    for (const std::string& name : {std::string("Linea 3"), std::string("two.dots"), longName,
                                    std::string(".hidden"), std::string("Caf\xC3\xA9")})
        WriteBytes(File(name), "[PAR]\r\n");
    WriteBytes(Folder() / "notes.txt", "");
    WriteBytes(Folder() / "UPPER.RCP", "");
    fs::create_directory(File("folder"));
    Open(1);
    form->ComboBox1.showPopup();
    QStringList names;
    for (int i = 0; i < form->ComboBox1.count(); ++i)
        names << form->ComboBox1.itemText(i);
    form->ComboBox1.hidePopup();
    names.sort();
    QStringList expected{"Linea 3", "two", QString::fromStdString(longName.substr(0, 50)),
                         QString::fromUtf8("Caf\xC3\xA9")};
    expected.sort();
    EXPECT_EQ(names, expected);
    EXPECT_EQ(form->ComboBox1.currentText(), ""); // opening the list picks nothing

    // Files added while the window is open show at the next opening; the list is not doubled.
    WriteBytes(File("added"), "[PAR]\r\n");
    form->ComboBox1.showPopup();
    form->ComboBox1.hidePopup();
    EXPECT_EQ(form->ComboBox1.count(), 5);
    EXPECT_NE(form->ComboBox1.findText("added"), -1);
}

TEST_F(ConfigWindow, ARecallWhoseFileIsGoneIsRefusedAndChangesNothing) {
    SetWords(Words);
    for (size_t i = 16; i < 32; ++i)
        tables.SetupWords[i] = 7;
    tables.LinkActive = 1;
    const std::array<int32_t, 32> before = AllWords();
    WriteBytes(File("Gone"), ExpectedFile("01/02/2015 10:00:00", {}));
    WriteBytes(File("two.dots"), ExpectedFile("01/02/2015 10:00:00", {}));
    WriteBytes(File(std::string(60, 'L')), ExpectedFile("01/02/2015 10:00:00", {}));

    struct Case {
        const char* what;
        QString name;
        std::function<void()> afterPick;
        int language;
        const char* message; // the file's path follows
    };
    const std::vector<Case> cases{
        {"deleted after the list was filled", "Gone", [this] { fs::remove(File("Gone")); }, 1,
         "File di configurazione non trovato: "},
        {"listed under a name cut at its dot",
         "two",
         {},
         1,
         "File di configurazione non trovato: "},
        {"listed under a name cut to 50 characters",
         QString(50, QLatin1Char('L')),
         {},
         2,
         "Configuration file not found: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Translation().SetLanguage(c.language);
        ErrorReports reports;
        Open(1);
        ASSERT_TRUE(Pick(c.name));
        if (c.afterPick)
            c.afterPick();
        Click(form->SpeedButton1);
        ASSERT_EQ(reports.messages.size(), 1u);
        EXPECT_EQ(reports.messages[0],
                  QString::fromUtf8(c.message) +
                      QString::fromStdString(File(c.name.toStdString()).string()));
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(AllWords(), before); // no zeros
        EXPECT_EQ(tables.DataModified, 0);
        EXPECT_EQ(tables.SetupReceived, 0);
        EXPECT_EQ(poller->RequestFlags.load(), 0u); // nothing goes to the sensor
        form->hide();
    }
    // A folder of that name is not a configuration either.
    fs::create_directory(File("folder"));
    EXPECT_THROW(form->RecallConfig("folder"), EConfigFileError);
    EXPECT_EQ(AllWords(), before);
}

} // namespace
