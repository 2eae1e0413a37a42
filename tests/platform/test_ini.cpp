#include "platform/Exception.h"
#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

void Put(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    ASSERT_TRUE(out.good()) << path;
}

std::string Get(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

mode_t ModeOf(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string name = fs::temp_directory_path() / "vextor-ini-XXXXXX";
        ASSERT_NE(::mkdtemp(name.data()), nullptr);
        dir_ = name;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    fs::path dir_;
};

// Expects `write` to fail with the file's error for `path`.
void ExpectWriteError(const fs::path& path, const std::function<void()>& write) {
    try {
        write();
        ADD_FAILURE() << "no exception for " << path;
    } catch (const EIniFileException& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + path.string());
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The text

struct FindCase {
    const char* what;
    std::string text, section, key;
    std::optional<std::string> expected;
};

TEST(IniText, FindValue) {
    const FindCase cases[] = {
        {"names ignore case", "[Vextor]\r\nLang=1\r\n", "vEXTOR", "LANG", "1"},
        {"blanks around '='", "[S]\n  k \t=\t 1 2  \n", "S", "k", "1 2"},
        {"key with blanks", "[RCP]\r\nDate last save = 01/02/2024 10:00\r\n", "rcp",
         "date LAST save", "01/02/2024 10:00"},
        {"caller's blanks", "[S]\r\nk=1\r\n", " S ", "\tk ", "1"},
        {"header with blanks and comment", "  [ Vextor ]  ; ours\r\nLang=1\r\n", "Vextor", "Lang",
         "1"},
        {"comment is no entry", "[S]\r\n;k=1\r\nk=2\r\n", "S", "k", "2"},
        {"commented key", "[S]\r\n;k=1\r\n", "S", ";k", std::nullopt},
        {"line without '='", "[S]\r\nk\r\n", "S", "k", std::nullopt},
        {"'=' in the value", "[S]\r\nk=a=b\r\n", "S", "k", "a=b"},
        {"empty value", "[S]\r\nk=\r\n", "S", "k", ""},
        {"double quotes", "[S]\r\nk=\" a b \"\r\n", "S", "k", " a b "},
        {"single quotes", "[S]\r\nk='x'\r\n", "S", "k", "x"},
        {"empty quotes", "[S]\r\nk=\"\"\r\n", "S", "k", ""},
        {"unmatched quotes", "[S]\r\nk=\"x'\r\n", "S", "k", "\"x'"},
        {"lone quote", "[S]\r\nk=\"\r\n", "S", "k", "\""},
        {"bytes as they stand", "[S]\r\nk=Citt\xE0\r\n", "S", "k", "Citt\xE0"},
        {"absent key", "[S]\r\nj=1\r\n", "S", "k", std::nullopt},
        {"absent section", "[S]\r\nk=1\r\n", "T", "k", std::nullopt},
        {"key of the next section", "[A]\r\n[B]\r\nk=1\r\n", "A", "k", std::nullopt},
        {"entry before any header", "k=1\r\n[S]\r\n", "S", "k", std::nullopt},
        {"first of two keys", "[S]\nk=1\nK=2\n", "S", "k", "1"},
        {"first of two sections", "[S]\nk=1\n[s]\nk=2\n", "S", "k", "1"},
        {"no final line end", "[S]\r\nk=5", "S", "k", "5"},
        {"byte order mark", "\xEF\xBB\xBF[S]\r\nk=1\r\n", "S", "k", "1"},
        {"'[' without ']'", "[S]\r\n[k=1\r\n", "S", "[k", "1"},
    };
    for (const FindCase& c : cases)
        EXPECT_EQ(IniText::FindValue(c.text, c.section, c.key), c.expected) << c.what;
}

TEST(IniText, SectionKeysInFileOrderEachOnce) {
    const std::string text = "[T]\r\nt=0\r\n[S]\r\n;c=1\r\nb=1\r\nnoequals\r\nA=2\r\n\r\nB=3\r\n"
                             "[U]\r\nx=1\r\n";
    EXPECT_EQ(IniText::SectionKeys(text, "s"), (std::vector<std::string>{"b", "A"}));
    EXPECT_TRUE(IniText::SectionKeys(text, "V").empty());
    EXPECT_TRUE(IniText::HasSection(text, "u"));
    EXPECT_FALSE(IniText::HasSection(text, "V"));
}

struct SetCase {
    const char* what;
    std::string before, section, key, value, after;
};

TEST(IniText, SetValue) {
    const SetCase cases[] = {
        {"replaced in place, caller's spelling", "[Vextor]\r\n; c\r\n  lang = 0\r\nPwd=7053\r\n",
         "VEXTOR", "Lang", "1", "[Vextor]\r\n; c\r\nLang=1\r\nPwd=7053\r\n"},
        {"LF file: only the written line changes", "[S]\nk=1\nj=2\n", "S", "k", "9",
         "[S]\nk=9\r\nj=2\n"},
        {"new key after the section's last line", "[A]\r\na=1\r\n; end of A\r\n\r\n[B]\r\nb=1\r\n",
         "A", "n", "2", "[A]\r\na=1\r\n; end of A\r\nn=2\r\n\r\n[B]\r\nb=1\r\n"},
        {"new key under a bare header", "[A]\r\n[B]\r\n", "a", "n", "2", "[A]\r\nn=2\r\n[B]\r\n"},
        {"new key after an unterminated line", "[A]\r\na=1", "A", "n", "2",
         "[A]\r\na=1\r\nn=2\r\n"},
        {"new section at the end", "[A]\r\na=1\r\n", "B", "b", "2",
         "[A]\r\na=1\r\n\r\n[B]\r\nb=2\r\n"},
        {"new section, no final line end", "[A]\r\na=1", "B", "b", "2",
         "[A]\r\na=1\r\n\r\n[B]\r\nb=2\r\n"},
        {"new section after a blank last line", "[A]\r\na=1\r\n\r\n", "B", "b", "2",
         "[A]\r\na=1\r\n\r\n[B]\r\nb=2\r\n"},
        {"empty file", "", "B", "b", "2", "[B]\r\nb=2\r\n"},
        {"names without their blanks", "", " B ", " Date last save ", "x",
         "[B]\r\nDate last save=x\r\n"},
        {"empty value", "[B]\r\nb=1\r\n", "B", "b", "", "[B]\r\nb=\r\n"},
    };
    for (const SetCase& c : cases) {
        std::string text = c.before;
        IniText::SetValue(text, c.section, c.key, c.value);
        EXPECT_EQ(text, c.after) << c.what;
    }
}

TEST(IniText, RemoveKeyAndSection) {
    std::string text = "[A]\r\nk=1\r\nj=2\r\nK=3\r\n[B]\r\nk=4\r\n";
    IniText::RemoveKey(text, "a", "K");
    EXPECT_EQ(text, "[A]\r\nj=2\r\n[B]\r\nk=4\r\n");

    text = "[A]\r\na=1\r\n\r\n[B]\r\nb=1\r\n\r\n[a]\r\nx=1";
    IniText::RemoveSection(text, "A");
    EXPECT_EQ(text, "[B]\r\nb=1\r\n\r\n");
}

// ---------------------------------------------------------------------------------------------
// The file

TEST_F(IniFileTest, RoundTrip) {
    IniFile ini(dir_ / "Wpx.INI");
    ini.WriteString("Vextor", "PortComm", "COM3");
    ini.WriteInteger("Vextor", "Lang", 1);
    ini.WriteInteger("PAR", "PAR00", -32768);
    ini.WriteInteger("PAR", "PAR01", INT32_MIN);
    ini.WriteString("RCP", "Date last save", "05/03/2024 14:02:11");
    ini.WriteString("Vextor", "Pwd", "");
    ini.WriteString("Vextor", "Lang", "0"); // replaces, no second line

    EXPECT_EQ(ini.ReadString("vextor", "portcomm", "COM1"), "COM3");
    EXPECT_EQ(ini.ReadInteger("Vextor", "Lang", 7), 0);
    EXPECT_EQ(ini.ReadInteger("PAR", "PAR00", 0), -32768);
    EXPECT_EQ(ini.ReadInteger("PAR", "PAR01", 0), INT32_MIN);
    EXPECT_EQ(ini.ReadString("RCP", "Date last save", ""), "05/03/2024 14:02:11");
    EXPECT_EQ(ini.ReadString("Vextor", "Pwd", "7053"), "");
    EXPECT_EQ(ini.ReadSection("Vextor"), (std::vector<std::string>{"PortComm", "Lang", "Pwd"}));
    EXPECT_TRUE(ini.SectionExists("rcp"));
    EXPECT_TRUE(ini.ValueExists("Vextor", "Pwd"));
    EXPECT_FALSE(ini.ValueExists("Vextor", "Debug"));
    EXPECT_EQ(ini.Path(), dir_ / "Wpx.INI");
    EXPECT_EQ(Listing(dir_), std::vector<std::string>{"Wpx.INI"});
}

TEST_F(IniFileTest, ConfigurationFileIsWrittenInOneReplace) {
    const fs::path path = dir_ / "Duct A.rcp";
    int replaces = 0;
    ScopedIniReplaceHook count([&](const fs::path&) {
        ++replaces;
        return 0;
    });

    IniFile::Edit edit = IniFile(path).BeginEdit();
    edit.WriteString("RCP", "Date last save", "05/03/2024 14:02:11");
    std::string expected = "[RCP]\r\nDate last save=05/03/2024 14:02:11\r\n\r\n[PAR]\r\n";
    for (int i = 0; i < 16; ++i) {
        char key[8];
        std::snprintf(key, sizeof key, "PAR%02d", i);
        const int32_t value = i == 0 ? -32768 : i * 4096 - 1;
        edit.WriteInteger("PAR", key, value);
        expected += std::string(key) + "=" + std::to_string(value) + "\r\n";
    }
    EXPECT_FALSE(fs::exists(path)); // nothing happens before Commit
    edit.Commit();
    EXPECT_EQ(replaces, 1);
    EXPECT_EQ(Get(path), expected);

    edit.Commit(); // nothing left to write
    EXPECT_EQ(replaces, 1);
    {
        IniFile::Edit dropped = IniFile(path).BeginEdit();
        dropped.WriteInteger("PAR", "PAR00", 1);
    }
    EXPECT_EQ(replaces, 1);
    EXPECT_EQ(Get(path), expected);
}

TEST_F(IniFileTest, WindowsFileIsUpdatedByteForByte) {
    const fs::path path = dir_ / "Wpx731dk.INI";
    Put(path, "; written on the service PC\r\n"
              "[vextor]\r\n"
              "lang = 0\r\n"
              "Pwd=  1234  \r\n"
              "\r\n"
              "[RCP]\r\n"
              "Date last save=12/03/2023 09:15:00\r\n"
              "\r\n"
              "[Par]\r\n"
              "par00 =\t-120\r\n"
              "PAR01=7\r\n");
    IniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("Vextor", "Lang", 5), 0);
    EXPECT_EQ(ini.ReadString("Vextor", "Pwd", "7053"), "1234");
    EXPECT_EQ(ini.ReadString("RCP", "Date last save", ""), "12/03/2023 09:15:00");
    EXPECT_EQ(ini.ReadInteger("PAR", "PAR00", 0), -120);

    ini.WriteInteger("Vextor", "Lang", 1);
    ini.WriteString("Vextor", "PortComm", "COM3");
    ini.WriteInteger("PAR", "PAR02", 5);
    ini.WriteInteger("PAR", "PAR00", 300);
    ini.WriteString("Extra", "Note", "kept");
    EXPECT_EQ(Get(path), "; written on the service PC\r\n"
                         "[vextor]\r\n"
                         "Lang=1\r\n"
                         "Pwd=  1234  \r\n"
                         "PortComm=COM3\r\n"
                         "\r\n"
                         "[RCP]\r\n"
                         "Date last save=12/03/2023 09:15:00\r\n"
                         "\r\n"
                         "[Par]\r\n"
                         "PAR00=300\r\n"
                         "PAR01=7\r\n"
                         "PAR02=5\r\n"
                         "\r\n"
                         "[Extra]\r\n"
                         "Note=kept\r\n");
}

TEST_F(IniFileTest, MissingFileGivesDefaultsAndAWriteCreatesIt) {
    const fs::path path = dir_ / "Wpx731dk.INI";
    IniFile ini(path);
    EXPECT_EQ(ini.ReadString("Vextor", "PortComm", "COM1"), "COM1");
    EXPECT_EQ(ini.ReadInteger("Vextor", "Lang", 0), 0);
    EXPECT_FALSE(ini.SectionExists("Vextor"));
    EXPECT_TRUE(ini.ReadSection("Vextor").empty());
    EXPECT_FALSE(fs::exists(path)); // reads create nothing

    ini.WriteString("Vextor", "PortComm", "COM2");
    EXPECT_EQ(Get(path), "[Vextor]\r\nPortComm=COM2\r\n");
    const mode_t mask = ::umask(022);
    ::umask(mask);
    EXPECT_EQ(ModeOf(path), 0666 & ~mask); // as any new file, not a private temporary's 0600
}

TEST_F(IniFileTest, EmptyValueIsNotAnAbsentKey) {
    const fs::path path = dir_ / "s.INI";
    Put(path, "[Vextor]\r\nPwd=\r\nLang=\r\n");
    IniFile ini(path);
    EXPECT_EQ(ini.ReadString("Vextor", "Pwd", "7053"), "");
    EXPECT_TRUE(ini.ValueExists("Vextor", "Pwd"));
    EXPECT_EQ(ini.ReadString("Vextor", "Password", "7053"), "7053");
    EXPECT_EQ(ini.ReadInteger("Vextor", "Lang", 4), 4);
}

TEST_F(IniFileTest, ReadInteger) {
    const std::pair<std::string, std::optional<int32_t>> cases[] = {
        {"", std::nullopt},
        {"abc", std::nullopt},
        {" 12 ", 12},
        {"-3", -3},
        {"99999999999", std::nullopt},
        {"1.5", std::nullopt},
        {"+7", 7},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt},
        {"-", std::nullopt},
        {"+-3", std::nullopt},
        {"0x10", std::nullopt},
        {"12abc", std::nullopt},
        {"1 2", std::nullopt},
        {"\"12\"", 12},
        {"007", 7},
    };
    const fs::path path = dir_ / "n.rcp";
    std::string text = "[PAR]\r\n";
    for (size_t i = 0; i < std::size(cases); ++i)
        text += "K" + std::to_string(i) + "=" + cases[i].first + "\r\n";
    Put(path, text);
    const IniFile ini(path);
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(ini.ReadInteger("PAR", "K" + std::to_string(i), -99),
                  cases[i].second.value_or(-99))
            << '"' << cases[i].first << '"';
    EXPECT_EQ(ini.ReadInteger("PAR", "Missing", -99), -99);
}

TEST_F(IniFileTest, EveryReadSeesTheFileAsItIsNow) {
    const fs::path path = dir_ / "s.INI";
    const IniFile ini(path);
    Put(path, "[Vextor]\nLang=0\n");
    EXPECT_EQ(ini.ReadInteger("Vextor", "Lang", 9), 0);
    Put(path, "[Vextor]\nLang=1\n");
    EXPECT_EQ(ini.ReadInteger("Vextor", "Lang", 9), 1);
    fs::remove(path);
    EXPECT_EQ(ini.ReadInteger("Vextor", "Lang", 9), 9);
}

TEST_F(IniFileTest, WriteThroughASymbolicLinkReplacesItsTarget) {
    fs::create_directory(dir_ / "real");
    Put(dir_ / "real" / "s.INI", "[Vextor]\r\nLang=0\r\n");
    fs::create_symlink("real/s.INI", dir_ / "s.INI");
    IniFile(dir_ / "s.INI").WriteInteger("Vextor", "Lang", 1);
    EXPECT_TRUE(fs::is_symlink(dir_ / "s.INI"));
    EXPECT_EQ(Get(dir_ / "real" / "s.INI"), "[Vextor]\r\nLang=1\r\n");
    EXPECT_EQ(Listing(dir_ / "real"), std::vector<std::string>{"s.INI"});
}

TEST_F(IniFileTest, NameAtTheFileSystemsLimitCanBeWritten) {
    const fs::path path = dir_ / (std::string(251, 'x') + ".rcp"); // 255 bytes
    IniFile(path).WriteInteger("PAR", "PAR00", 1);
    EXPECT_EQ(Get(path), "[PAR]\r\nPAR00=1\r\n");
}

TEST_F(IniFileTest, WriteKeepsThePermissionBits) {
    const fs::path path = dir_ / "s.INI";
    Put(path, "[Vextor]\r\nLang=0\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    IniFile(path).WriteInteger("Vextor", "Lang", 1);
    EXPECT_EQ(ModeOf(path), 0640u);
}

// Failures that stop root as well as any other user.
TEST_F(IniFileTest, FailedWritesLeaveEverythingAsItWas) {
    const std::string old = "[Vextor]\r\nLang=0\r\n";
    struct Case {
        const char* what;
        std::function<fs::path(const fs::path& dir)> prepare; // returns the path to write
        std::function<void(IniFile&)> write;
    };
    const auto writeLang = [](IniFile& ini) { ini.WriteInteger("Vextor", "Lang", 1); };
    const Case cases[] = {
        {"read-only file",
         [&](const fs::path& dir) {
             Put(dir / "s.INI", old);
             EXPECT_EQ(::chmod((dir / "s.INI").c_str(), 0444), 0);
             return dir / "s.INI";
         },
         writeLang},
        {"folder in the file's place",
         [](const fs::path& dir) {
             fs::create_directory(dir / "s.INI");
             return dir / "s.INI";
         },
         writeLang},
        {"parent is a file",
         [&](const fs::path& dir) {
             Put(dir / "s.INI", old);
             return dir / "s.INI" / "x.rcp";
         },
         writeLang},
        {"missing folder", [](const fs::path& dir) { return dir / "no" / "x.rcp"; }, writeLang},
        {"FIFO in the file's place",
         [](const fs::path& dir) {
             EXPECT_EQ(::mkfifo((dir / "s.INI").c_str(), 0644), 0);
             return dir / "s.INI";
         },
         writeLang},
        {"line break in a value",
         [&](const fs::path& dir) {
             Put(dir / "s.INI", old);
             return dir / "s.INI";
         },
         [](IniFile& ini) { ini.WriteString("Vextor", "Pwd", "x\r\n[PAR]\r\nPAR00=1"); }},
        {"unwritable keys and sections",
         [&](const fs::path& dir) {
             Put(dir / "s.INI", old);
             return dir / "s.INI";
         },
         [](IniFile& ini) {
             const std::pair<const char*, const char*> names[] = {
                 {"Vextor", ""},     {"Vextor", "a=b"}, {"Vextor", ";c"}, {"Vextor", "[x]"},
                 {"Vextor", "a\nb"}, {"", "k"},         {"A]", "k"},      {"A\nB", "k"}};
             for (const auto& [section, key] : names)
                 ExpectWriteError(ini.Path(), [&] { ini.WriteString(section, key, "v"); });
             ini.WriteString("Vextor", "k", std::string("a\0b", 3));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path dir = dir_ / c.what;
        fs::create_directory(dir);
        const fs::path path = c.prepare(dir);
        const std::vector<std::string> before = Listing(dir);
        const std::string contents = fs::is_regular_file(path) ? Get(path) : "";

        IniFile ini(path);
        ExpectWriteError(path, [&] { c.write(ini); });
        EXPECT_EQ(Listing(dir), before); // no temporary left, nothing created
        if (fs::is_regular_file(path)) {
            EXPECT_EQ(Get(path), contents);
        }
        EXPECT_EQ(ini.ReadInteger("Vextor", "Lang", 0), 0); // and reads do not hang or fail
    }
}

TEST_F(IniFileTest, FailureBeforeTheReplaceKeepsTheOldFile) {
    const fs::path path = dir_ / "Duct A.rcp";
    const std::string old = "[PAR]\r\nPAR00=1\r\n";
    Put(path, old);
    fs::path seen;
    {
        // A full disk when the new text is complete: at that moment the new text is in a
        // temporary beside the target and the target is untouched.
        ScopedIniReplaceHook fail([&](const fs::path& temporary) {
            seen = temporary;
            EXPECT_EQ(temporary.parent_path(), dir_);
            EXPECT_EQ(Get(temporary), "[PAR]\r\nPAR00=2\r\nPAR01=3\r\n");
            EXPECT_EQ(Get(path), old);
            return ENOSPC;
        });
        IniFile::Edit edit = IniFile(path).BeginEdit();
        edit.WriteInteger("PAR", "PAR00", 2);
        edit.WriteInteger("PAR", "PAR01", 3);
        ExpectWriteError(path, [&] { edit.Commit(); });
        EXPECT_FALSE(seen.empty());
        EXPECT_FALSE(fs::exists(seen));
        EXPECT_EQ(Get(path), old);
        EXPECT_EQ(Listing(dir_), std::vector<std::string>{"Duct A.rcp"});

        SetIniReplaceHook({});
        edit.Commit(); // the failed batch is kept for another try
    }
    EXPECT_EQ(Get(path), "[PAR]\r\nPAR00=2\r\nPAR01=3\r\n");
}

TEST_F(IniFileTest, DeleteKeyAndEraseSection) {
    const fs::path path = dir_ / "s.INI";
    Put(path, "[Vextor]\r\nLang=1\r\nPwd=1\r\n\r\n[Old]\r\nx=1\r\n");
    IniFile ini(path);
    ini.DeleteKey("vextor", "PWD");
    ini.EraseSection("old");
    EXPECT_EQ(Get(path), "[Vextor]\r\nLang=1\r\n\r\n");
    EXPECT_FALSE(ini.ValueExists("Vextor", "Pwd"));
    EXPECT_FALSE(ini.SectionExists("Old"));
}
