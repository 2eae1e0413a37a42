#include "JournalSamples.h"

#include "platform/RecordingJournal.h"
#include "platform/Thread.h"
#include "support/Capabilities.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr size_t RecordSize = 24;

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Where the records start: after the empty line that ends the header.
size_t RecordsAt(const std::string& bytes) {
    const size_t end = bytes.find("\n\n");
    return end == std::string::npos ? std::string::npos : end + 2;
}

// CRC-32 (IEEE), bit by bit: the reference the journal's table-driven one is checked against.
uint32_t ReferenceCrc32(const unsigned char* p, size_t n) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

uint64_t Le(const std::string& bytes, size_t at, int size) {
    uint64_t v = 0;
    for (int i = 0; i < size; ++i)
        v |= static_cast<uint64_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return v;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    for (size_t nl; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1)
        lines.push_back(text.substr(at, nl - at));
    return lines;
}

// A child process running the journal writer, its stdout read through a pipe.
class Child {
public:
    Child(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
        int out[2];
        int in[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(in, O_CLOEXEC) != 0)
            return;
        out_ = out[0];
        in_ = in[1];
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        std::vector<std::string> all = {JOURNAL_WRITER_PATH};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> envText = env;
        for (char** e = environ; *e; ++e) {
            const std::string v = *e;
            const auto name = v.substr(0, v.find('=') + 1);
            if (std::none_of(env.begin(), env.end(),
                             [&](const std::string& x) { return x.starts_with(name); }))
                envText.push_back(v);
        }
        std::vector<char*> envp;
        for (auto& e : envText)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        if (posix_spawn(&pid_, JOURNAL_WRITER_PATH, &actions, nullptr, argv.data(), envp.data()) !=
            0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(in[0]);
    }
    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            Wait();
        }
        ::close(out_);
        ::close(in_);
    }
    bool Started() const { return pid_ > 0; }

    // Reads lines until pred accepts one, the output ends or the deadline passes.
    bool ReadUntil(const std::function<bool(const std::string&)>& pred, int timeoutMs = 60000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            for (size_t nl; (nl = pending_.find('\n')) != std::string::npos;) {
                Output.push_back(pending_.substr(0, nl));
                pending_.erase(0, nl + 1);
                if (pred(Output.back()))
                    return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0)
                return false;
            pollfd p{out_, POLLIN, 0};
            const int ready = ::poll(&p, 1, static_cast<int>(left));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                return false;
            char buffer[4096];
            const ssize_t n = ::read(out_, buffer, sizeof buffer);
            if (n <= 0)
                return false; // the end of its output
            pending_.append(buffer, static_cast<size_t>(n));
        }
    }
    // Every line up to the end of its output.
    void ReadToEnd(int timeoutMs = 60000) {
        ReadUntil([](const std::string&) { return false; }, timeoutMs);
    }
    void Kill() { ::kill(pid_, SIGKILL); }
    // Waits for its end (its files are closed then, its locks gone); the wait status.
    int Wait() {
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        return status;
    }
    std::optional<std::string> Line(const std::string& prefix) const {
        for (const auto& l : Output)
            if (l.starts_with(prefix))
                return l.substr(prefix.size());
        return std::nullopt;
    }

    std::vector<std::string> Output;

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int in_ = -1;
    std::string pending_;
};

class JournalTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::path(testing::TempDir()) / "vextor-journal-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr) << std::strerror(errno);
        dir_ = pattern;
    }
    void TearDown() override {
        // Every journal's thread ends once its journal is gone.
        EXPECT_TRUE(TThread::WaitForSelfOwnedThreads(20000));
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(dir_, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
            if (it->is_directory())
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }

    // A finished journal of samples 0 .. count-1; its file.
    fs::path WriteFinished(int count, RecordingHeader header = JournalTestHeader()) {
        RecordingJournal j(dir_, header);
        for (int i = 0; i < count; ++i)
            EXPECT_TRUE(j.Append(JournalTestSample(static_cast<uint32_t>(i))));
        j.Finish();
        j.WaitIdle();
        EXPECT_FALSE(j.Failed()) << j.Error().toStdString();
        return j.File();
    }

    static void ExpectTestSamples(const Recording& r, size_t count) {
        ASSERT_EQ(r.Samples.size(), count);
        for (size_t i = 0; i < count; ++i) {
            const auto want = JournalTestSample(static_cast<uint32_t>(i));
            ASSERT_EQ(r.Samples[i].TimeMs, want.TimeMs) << "sample " << i;
            ASSERT_EQ(r.Samples[i].Primary, want.Primary) << "sample " << i;
            ASSERT_EQ(r.Samples[i].Secondary, want.Secondary) << "sample " << i;
        }
    }

    fs::path dir_;
};

// --- Folder ---

class EnvVar {
public:
    explicit EnvVar(const char* name) : name_(name) {
        if (const char* v = std::getenv(name))
            old_ = v;
    }
    ~EnvVar() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    void Set(const char* value) {
        if (value)
            ::setenv(name_, value, 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(RecordingsFolder, FollowsXdgDataHomeWhenAbsoluteElseHome) {
    EnvVar home("HOME");
    EnvVar data("XDG_DATA_HOME");
    home.Set("/home/operator");
    data.Set("/srv/data");
    EXPECT_EQ(RecordingsFolder(), fs::path("/srv/data/vextor-config/recordings"));
    data.Set("relative/data"); // not absolute: ignored, as the XDG base directory rules want
    EXPECT_EQ(RecordingsFolder(), fs::path("/home/operator/.local/share/vextor-config/recordings"));
    data.Set(nullptr);
    EXPECT_EQ(RecordingsFolder(), fs::path("/home/operator/.local/share/vextor-config/recordings"));
    EXPECT_FALSE(fs::exists("/home/operator")); // not created
}

// --- Writing and reading ---

TEST_F(JournalTest, RoundTripKeepsTheHeaderTheSamplesAndTheirTimes) {
    RecordingHeader h;
    h.Window = QStringLiteral("Grafico");
    h.Start = QDateTime(QDate(2026, 12, 11), QTime(9, 30, 15, 250)); // local time
    h.OutputIndex = 3;
    h.OutputTitle = QStringLiteral("Portata = Q [m³/h]\nsecond line \\n, tab\t, °C");
    h.Unit = QStringLiteral("m³/h");
    h.FullScale = -2'000'000'000;

    std::vector<RecordingSample> samples;
    for (uint32_t i = 0; i < 5000; ++i)
        samples.push_back(JournalTestSample(i));
    samples.push_back({INT64_MIN, INT32_MIN, INT32_MAX});
    samples.push_back({-1, -1, 0});
    samples.push_back({INT64_MAX, INT32_MAX, INT32_MIN});

    fs::path file;
    {
        RecordingJournal j(dir_ / "a" / "b", h); // missing folders are created
        ASSERT_FALSE(j.Failed()) << j.Error().toStdString();
        EXPECT_TRUE(j.Error().isEmpty());
        EXPECT_TRUE(j.File().string().ends_with(".vxrec.open")) << j.File();
        EXPECT_TRUE(fs::exists(j.File()));
        for (const auto& s : samples)
            ASSERT_TRUE(j.Append(s));
        EXPECT_EQ(j.Appended(), static_cast<int64_t>(samples.size()));
        j.Finish();
        EXPECT_TRUE(j.File().string().ends_with(".vxrec")) << j.File();
        EXPECT_FALSE(j.Append(samples[0])); // ignored after Finish, without failing
        EXPECT_FALSE(j.Failed());
        j.WaitIdle();
        file = j.File();
        EXPECT_FALSE(j.Failed()) << j.Error().toStdString();
        EXPECT_EQ(j.Appended(), static_cast<int64_t>(samples.size()));
    }
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);

    QString error;
    const auto r = ReadRecording(file, &error);
    ASSERT_TRUE(r) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(r->File, file);
    EXPECT_TRUE(r->Finished);
    EXPECT_FALSE(r->Torn);
    EXPECT_EQ(r->Header.Window, h.Window);
    EXPECT_EQ(r->Header.Start, h.Start.addMSecs(-250)); // to the second
    EXPECT_EQ(r->Header.Start.offsetFromUtc(), h.Start.offsetFromUtc());
    EXPECT_EQ(r->Header.OutputIndex, h.OutputIndex);
    EXPECT_EQ(r->Header.OutputTitle, h.OutputTitle);
    EXPECT_EQ(r->Header.Unit, h.Unit);
    EXPECT_EQ(r->Header.FullScale, h.FullScale);
    ASSERT_EQ(r->Samples.size(), samples.size());
    for (size_t i = 0; i < samples.size(); ++i) {
        ASSERT_EQ(r->Samples[i].TimeMs, samples[i].TimeMs) << i;
        ASSERT_EQ(r->Samples[i].Primary, samples[i].Primary) << i;
        ASSERT_EQ(r->Samples[i].Secondary, samples[i].Secondary) << i;
    }
}

TEST_F(JournalTest, TheFileIsATextHeaderAndLittleEndianRecordsWithTheirCrc) {
    RecordingHeader h = JournalTestHeader();
    h.OutputTitle = QStringLiteral("a=b\nc");
    const fs::path file = WriteFinished(3, h);
    const std::string bytes = ReadAll(file);
    const size_t at = RecordsAt(bytes);
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(bytes.size(), at + 3 * RecordSize);

    const auto lines = Lines(bytes.substr(0, at));
    ASSERT_EQ(lines.size(), 8u); // magic, six keys, the empty line: the title stays on one line
    EXPECT_EQ(lines[0], "VEXTOR-RECORDING 1");
    EXPECT_EQ(lines[1], "window=Grafico");
    EXPECT_TRUE(std::regex_match(
        lines[2], std::regex(R"(start=\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)")))
        << lines[2];
    EXPECT_EQ(lines[3], "output=1");
    EXPECT_EQ(lines[4], "title=a\\=b\\nc");
    EXPECT_EQ(lines[5], "unit=m³/h"); // UTF-8 as such
    EXPECT_EQ(lines[6], "fullscale=1200");
    EXPECT_EQ(lines[7], "");

    const unsigned char check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    ASSERT_EQ(ReferenceCrc32(check, sizeof check), 0xCBF43926u);
    for (uint32_t i = 0; i < 3; ++i) {
        const size_t r = at + i * RecordSize;
        const auto want = JournalTestSample(i);
        EXPECT_EQ(static_cast<int64_t>(Le(bytes, r, 8)), want.TimeMs);
        EXPECT_EQ(static_cast<int32_t>(Le(bytes, r + 8, 4)), want.Primary);
        EXPECT_EQ(static_cast<int32_t>(Le(bytes, r + 12, 4)), want.Secondary);
        EXPECT_EQ(Le(bytes, r + 16, 4), i);
        EXPECT_EQ(Le(bytes, r + 20, 4),
                  ReferenceCrc32(reinterpret_cast<const unsigned char*>(bytes.data() + r), 20));
    }
}

TEST_F(JournalTest, NamesSayTheWindowAndStartAndAreUnique) {
    RecordingHeader h = JournalTestHeader();
    h.Start = QDateTime(QDate(2026, 12, 11), QTime(9, 30, 0));
    RecordingJournal a(dir_, h);
    RecordingJournal b(dir_, h); // the same second
    h.Window = QStringLiteral("Debug");
    RecordingJournal c(dir_, h);
    h.Window = QStringLiteral("À/ ");
    RecordingJournal d(dir_, h);
    const std::string pid = std::to_string(::getpid());
    const std::regex grafico("grafico-20261211-093000-" + pid + R"(-\d+\.vxrec\.open)");
    EXPECT_TRUE(std::regex_match(a.File().filename().string(), grafico)) << a.File();
    EXPECT_TRUE(std::regex_match(b.File().filename().string(), grafico)) << b.File();
    EXPECT_NE(a.File(), b.File());
    EXPECT_TRUE(c.File().filename().string().starts_with("debug-20261211-093000-")) << c.File();
    EXPECT_TRUE(d.File().filename().string().starts_with("recording-20261211-093000-")) << d.File();
    for (auto* j : {&a, &b, &c, &d})
        EXPECT_EQ(j->File().parent_path(), dir_);
}

// --- Damage ---

TEST_F(JournalTest, ATornOrDamagedRecordEndsTheReadingWithEveryWholeOneBeforeIt) {
    const fs::path good = WriteFinished(100);
    const std::string bytes = ReadAll(good);
    const size_t at = RecordsAt(bytes);
    ASSERT_EQ(bytes.size(), at + 100 * RecordSize);
    const fs::path file = dir_ / "damaged.vxrec";

    struct Case {
        const char* what;
        std::function<std::string(std::string)> damage;
        size_t samples;
        bool torn;
    };
    const auto flip = [&](size_t offset) {
        return [offset](std::string b) {
            b[offset] = static_cast<char>(b[offset] ^ 0x10);
            return b;
        };
    };
    const std::vector<Case> cases = {
        {"intact", [](std::string b) { return b; }, 100, false},
        {"cut in the middle of record 50",
         [&](std::string b) { return b.substr(0, at + 50 * RecordSize + 10); }, 50, true},
        {"cut one byte short", [](std::string b) { return b.substr(0, b.size() - 1); }, 99, true},
        {"cut at a record boundary",
         [&](std::string b) { return b.substr(0, at + 50 * RecordSize); }, 50, false},
        {"no records", [&](std::string b) { return b.substr(0, at); }, 0, false},
        {"a byte of the last record flipped", flip(at + 99 * RecordSize + 3), 99, true},
        {"its checksum flipped", flip(at + 99 * RecordSize + 22), 99, true},
        {"a byte of record 40 flipped", flip(at + 40 * RecordSize + 9), 40, true},
        {"a record repeated (its number is wrong)",
         [&](std::string b) { return b + b.substr(at + 99 * RecordSize); }, 100, true},
        {"zeros after the end, as after a power cut",
         [](std::string b) { return b + std::string(4096, '\0'); }, 100, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteAll(file, c.damage(bytes));
        QString error;
        const auto r = ReadRecording(file, &error);
        ASSERT_TRUE(r) << error.toStdString();
        ExpectTestSamples(*r, c.samples);
        EXPECT_EQ(r->Torn, c.torn);
        EXPECT_EQ(r->Header.Window, QStringLiteral("Grafico"));
    }
}

TEST_F(JournalTest, AFileThatIsNoJournalIsAnErrorThatSaysWhy) {
    QString error;
    EXPECT_FALSE(ReadRecording(dir_ / "missing.vxrec", &error));
    EXPECT_TRUE(error.contains(QStringLiteral("cannot open"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("No such file or directory"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("missing.vxrec"))) << error.toStdString();

    struct Case {
        const char* content;
        const char* says;
    };
    const std::vector<Case> cases = {
        {"", "is not a Vextor recording journal"},
        {"[Vextor]\nLang=0\n", "is not a Vextor recording journal"},
        {"VEXTOR-RECORDING 2\nwindow=Grafico\n\n", "another format"},
        {"VEXTOR-RECORDING 1\nwindow=Grafico\nstart=2026-12", "cut short"},
        {"VEXTOR-RECORDING 1\nwindow Grafico\n\n", "damaged (line 2)"},
        {"VEXTOR-RECORDING 1\nwindow=Grafico\noutput=x\n\n", "damaged (line 3)"},
        {"VEXTOR-RECORDING 1\nstart=yesterday\n\n", "damaged (line 2)"},
        {"VEXTOR-RECORDING 1\ntitle=a\\q\n\n", "damaged (line 2)"},
        {"VEXTOR-RECORDING 1\ntitle=a\\x4\n\n", "damaged (line 2)"},
        {"VEXTOR-RECORDING 1\ntitle=a\\x+1\n\n", "damaged (line 2)"},
    };
    const fs::path file = dir_ / "foreign.vxrec";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content);
        WriteAll(file, c.content);
        error.clear();
        EXPECT_FALSE(ReadRecording(file, &error));
        EXPECT_TRUE(error.contains(QLatin1String(c.says))) << error.toStdString();
        EXPECT_TRUE(error.contains(QStringLiteral("foreign.vxrec"))) << error.toStdString();
    }
    // Unknown keys (a later version's) are skipped; escapes are undone.
    WriteAll(file, "VEXTOR-RECORDING 1\nwindow=Debug\ncolour=red\ntitle=a\\x41\\\\\n\n");
    const auto r = ReadRecording(file, &error);
    ASSERT_TRUE(r) << error.toStdString();
    EXPECT_EQ(r->Header.Window, QStringLiteral("Debug"));
    EXPECT_EQ(r->Header.OutputTitle, QStringLiteral("aA\\"));
    EXPECT_TRUE(r->Samples.empty());
    EXPECT_FALSE(r->Torn);
}

// --- File errors ---

TEST_F(JournalTest, AFolderThatCannotBeCreatedFailsTheJournalWithoutThrowing) {
    WriteAll(dir_ / "file", "not a folder");
    const fs::path folder = dir_ / "file" / "recordings"; // ENOTDIR, for root too
    std::optional<RecordingJournal> j;
    ASSERT_NO_THROW(j.emplace(folder, JournalTestHeader()));
    EXPECT_TRUE(j->Failed());
    const std::string error = j->Error().toStdString();
    EXPECT_EQ(error, "cannot create \"" + folder.string() + "\": Not a directory");
    EXPECT_FALSE(j->Append(JournalTestSample(0)));
    EXPECT_EQ(j->Appended(), 0);
    j->Finish();
    j->WaitIdle();
    EXPECT_EQ(j->CompletedSyncs(), 0);
    j.reset();
    EXPECT_TRUE(UnfinishedJournals(folder).empty());
    PruneRecordings(folder);
}

// Run as root, the journal is made in a thread without CAP_DAC_OVERRIDE, for which the folder's
// permission bits count as they do for a user.
TEST_F(JournalTest, AFolderWithoutWritePermissionFailsTheJournalWithoutThrowing) {
    const fs::path folder = dir_ / "readonly";
    fs::create_directory(folder);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    std::thread([&] {
        ASSERT_TRUE(::geteuid() != 0 || DropCapabilityInThisThread(CAP_DAC_OVERRIDE));
        RecordingJournal j(folder, JournalTestHeader());
        EXPECT_TRUE(j.Failed());
        const std::string error = j.Error().toStdString();
        EXPECT_TRUE(error.starts_with("cannot create \"" + folder.string() + "/grafico-")) << error;
        EXPECT_TRUE(error.ends_with(".vxrec.open\": Permission denied")) << error;
        EXPECT_FALSE(j.Append(JournalTestSample(0)));
        EXPECT_EQ(j.Appended(), 0);
    }).join();
    EXPECT_TRUE(fs::is_empty(folder));
}

// A full disk, as a file size limit (RLIMIT_FSIZE) in a child: the write that does not fit is
// refused, the journal fails with the reason and refuses every later append, and what was
// written before is read back.
TEST_F(JournalTest, AFullDiskFailsTheJournalAndKeepsWhatWasWritten) {
    struct Case {
        const char* what;
        int extraBytes;
        bool torn;
    };
    for (const Case& c : {Case{"the limit between two records", 10 * 24, false},
                          Case{"the limit inside a record", 10 * 24 + 10, true}}) {
        SCOPED_TRACE(c.what);
        const fs::path folder = dir_ / std::to_string(c.extraBytes);
        Child child({folder.string(), "100", "--file-limit-extra", std::to_string(c.extraBytes),
                     "--finish"});
        ASSERT_TRUE(child.Started());
        child.ReadToEnd();
        const int status = child.Wait();
        ASSERT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), 1);
        const auto failed = child.Line("failed ");
        ASSERT_TRUE(failed) << testing::PrintToString(child.Output);
        const auto file = child.Line("file ");
        ASSERT_TRUE(file);
        const fs::path finished = fs::path(*file).replace_extension(); // without ".open"
        EXPECT_EQ(*failed, "10 cannot write \"" + *file + "\": File too large");
        EXPECT_EQ(child.Line("again "), "0");
        EXPECT_EQ(child.Line("done"), "");

        QString error;
        const auto r = ReadRecording(finished, &error);
        ASSERT_TRUE(r) << error.toStdString();
        ExpectTestSamples(*r, 10);
        EXPECT_EQ(r->Torn, c.torn);
        EXPECT_TRUE(r->Finished);
    }
}

// --- Crash and recovery ---

TEST_F(JournalTest, AWriterKilledWithSigkillLeavesEveryReportedSampleToRecover) {
    constexpr int Reported = 300;
    // A time zone of three hours east, spelt the POSIX way: no time zone database needed.
    Child child({dir_.string(), "1000000", "--sync-ms", "2"}, {"TZ=XST-3"});
    ASSERT_TRUE(child.Started());
    ASSERT_TRUE(child.ReadUntil([](const std::string& l) { return l.starts_with("file "); }))
        << testing::PrintToString(child.Output);
    const fs::path file = *child.Line("file ");
    int reported = 0;
    ASSERT_TRUE(child.ReadUntil([&](const std::string& l) {
        if (l.starts_with("appended "))
            reported = std::stoi(l.substr(9));
        return reported >= Reported;
    })) << testing::PrintToString(child.Output);
    // Alive, it holds its journal locked: not offered.
    EXPECT_TRUE(UnfinishedJournals(dir_).empty());
    EXPECT_FALSE(MarkRecovered(file));
    child.Kill();
    const int status = child.Wait();
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;

    const auto unfinished = UnfinishedJournals(dir_);
    ASSERT_EQ(unfinished, std::vector<fs::path>{file});
    QString error;
    const auto r = ReadRecording(file, &error);
    ASSERT_TRUE(r) << error.toStdString();
    EXPECT_FALSE(r->Finished);
    ASSERT_GE(r->Samples.size(), static_cast<size_t>(reported));
    ExpectTestSamples(*r, r->Samples.size());
    EXPECT_EQ(r->Header.Window, QStringLiteral("Grafico"));
    EXPECT_EQ(r->Header.OutputTitle, QStringLiteral("Portata [m³/h]"));
    EXPECT_EQ(r->Header.Start.offsetFromUtc(), 3 * 3600);
    EXPECT_NE(ReadAll(file).find("\nstart="), std::string::npos);
    EXPECT_TRUE(std::regex_search(ReadAll(file).substr(0, 200),
                                  std::regex(R"(\nstart=[-0-9T:]+\+03:00\n)")));

    // Recovered: kept, read the same, never offered again.
    const auto recovered = MarkRecovered(file);
    ASSERT_TRUE(recovered);
    EXPECT_TRUE(recovered->filename().string().ends_with(".recovered.vxrec")) << *recovered;
    EXPECT_FALSE(fs::exists(file));
    EXPECT_TRUE(UnfinishedJournals(dir_).empty());
    const auto again = ReadRecording(*recovered);
    ASSERT_TRUE(again);
    EXPECT_FALSE(again->Finished);
    EXPECT_EQ(again->Samples.size(), r->Samples.size());
    EXPECT_FALSE(MarkRecovered(*recovered));
}

TEST_F(JournalTest, OnlyJournalsWhoseWriterIsGoneAreOffered) {
    RecordingHeader h = JournalTestHeader();
    h.Start = QDateTime(QDate(2026, 12, 1), QTime(8, 0));
    auto live = std::make_unique<RecordingJournal>(dir_, h);
    ASSERT_TRUE(live->Append(JournalTestSample(0)));
    h.Start = QDateTime(QDate(2026, 12, 2), QTime(8, 0));
    const fs::path finished = WriteFinished(5, h);
    EXPECT_TRUE(UnfinishedJournals(dir_).empty()); // one live, one finished
    EXPECT_FALSE(MarkRecovered(live->File()));     // its writer runs
    EXPECT_FALSE(MarkRecovered(finished));

    // Dropped during an acquisition: synced, closed, unlocked by its thread; offered.
    const fs::path dropped = live->File();
    live.reset();
    ASSERT_TRUE(TThread::WaitForSelfOwnedThreads(20000));
    h.Start = QDateTime(QDate(2026, 12, 3), QTime(8, 0));
    std::optional<RecordingJournal> older;
    older.emplace(dir_, h);
    const fs::path newer = older->File();
    older.reset();
    ASSERT_TRUE(TThread::WaitForSelfOwnedThreads(20000));
    // Not journals, or without a whole header (being created, or holding nothing): not offered.
    WriteAll(dir_ / "grafico-20261204-080000-1-1.vxrec.open", "");
    WriteAll(dir_ / "grafico-20261204-080000-1-2.vxrec.open", "VEXTOR-RECORDING 1\nwindow=");
    WriteAll(dir_ / "notes.vxrec.open", ReadAll(dropped));
    fs::create_directory(dir_ / "grafico-20261205-080000-1-1.vxrec.open");

    EXPECT_EQ(UnfinishedJournals(dir_), (std::vector<fs::path>{newer, dropped})); // newest first
    const auto r = ReadRecording(dropped);
    ASSERT_TRUE(r);
    ExpectTestSamples(*r, 1);
    EXPECT_FALSE(r->Finished);
    EXPECT_FALSE(r->Torn);

    const auto marked = MarkRecovered(dropped);
    ASSERT_TRUE(marked);
    EXPECT_EQ(UnfinishedJournals(dir_), std::vector<fs::path>{newer});
    EXPECT_FALSE(MarkRecovered(dir_ / "notes.vxrec.open"));
    EXPECT_TRUE(UnfinishedJournals(dir_ / "missing").empty());
}

// --- Pruning ---

TEST_F(JournalTest, PruningRemovesTheOldestFinishedJournalsBeyondEitherLimit) {
    struct File {
        std::string name;
        size_t size;
    };
    struct Case {
        const char* what;
        std::vector<File> files;
        size_t maxFiles;
        uint64_t maxBytes;
        std::vector<std::string> removed;
    };
    const auto j = [](int day, const char* state = ".vxrec", const char* window = "grafico") {
        return std::string(window) + "-202612" + (day < 10 ? "0" : "") + std::to_string(day) +
               "-080000-4242-1" + state;
    };
    const std::vector<Case> cases = {
        {"within both limits", {{j(1), 100}, {j(2), 100}}, 2, 200, {}},
        {"the count limit",
         {{j(1), 100}, {j(2), 100}, {j(3), 100}, {j(4), 100}, {j(5), 100}},
         3,
         1'000'000,
         {j(1), j(2)}},
        {"the byte limit",
         {{j(1), 100}, {j(2), 100}, {j(3), 100}, {j(4), 100}, {j(5), 100}},
         20,
         250,
         {j(1), j(2), j(3)}},
        {"the byte limit, a small old one behind a big one",
         {{j(1), 10}, {j(2), 500}, {j(3), 100}},
         20,
         300,
         {j(1), j(2)}},
        {"both limits: the stricter wins",
         {{j(1), 100}, {j(2), 100}, {j(3), 100}, {j(4), 100}},
         3,
         150,
         {j(1), j(2), j(3)}},
        {"the newest alone beyond the byte limit",
         {{j(1), 100}, {j(2), 1000}},
         20,
         500,
         {j(1), j(2)}},
        {"recovered journals count, unfinished ones are never touched",
         {{j(1, ".vxrec.open"), 100},
          {j(2, ".recovered.vxrec"), 100},
          {j(3), 100},
          {j(4, ".vxrec.open"), 100},
          {j(5), 100}},
         2,
         1'000'000,
         {j(2, ".recovered.vxrec")}},
        {"by start time, whatever the window",
         {{j(1, ".vxrec", "grafico"), 100},
          {j(2, ".vxrec", "debug"), 100},
          {j(3, ".vxrec", "grafico"), 100}},
         2,
         1'000'000,
         {j(1, ".vxrec", "grafico")}},
        {"other files are never touched",
         {{"notes.txt", 100},
          {"grafico-night.vxrec", 100},
          {"grafico-20261201-080000-1.vxrec", 100},
          {"Grafico-20261201-080000-1-1.vxrec", 100},
          {".grafico-20261201-080000-1-1.vxrec", 100},
          {j(1) + ".bak", 100},
          {j(2), 100}},
         0,
         0,
         {j(2)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path folder = dir_ / "prune";
        fs::remove_all(folder);
        fs::create_directory(folder);
        for (const auto& f : c.files)
            WriteAll(folder / f.name, std::string(f.size, 'x'));
        fs::create_directory(folder / j(0)); // a folder named like a journal: not one
        PruneRecordings(folder, c.maxFiles, c.maxBytes);
        for (const auto& f : c.files) {
            const bool removed =
                std::find(c.removed.begin(), c.removed.end(), f.name) != c.removed.end();
            EXPECT_EQ(fs::exists(folder / f.name), !removed) << f.name;
        }
        EXPECT_TRUE(fs::is_directory(folder / j(0)));
    }
    PruneRecordings(dir_ / "missing"); // nothing to do, nothing thrown
}

// --- The sync thread ---

TEST_F(JournalTest, AnAppendAfterTheIntervalHasTheThreadSync) {
    std::atomic<int64_t> now{1000};
    JournalOptions options;
    options.SyncIntervalMs = 10000;
    options.SteadyNowMs = [&] { return now.load(); };
    RecordingJournal j(dir_, JournalTestHeader(), options);
    ASSERT_FALSE(j.Failed()) << j.Error().toStdString();
    uint32_t n = 0;
    const auto appendAt = [&](int64_t t) {
        now = t;
        EXPECT_TRUE(j.Append(JournalTestSample(n++)));
        j.WaitIdle();
        return j.CompletedSyncs();
    };
    EXPECT_EQ(appendAt(1000), 0);
    EXPECT_EQ(appendAt(10999), 0);
    EXPECT_EQ(appendAt(11000), 1); // the interval has passed: one sync
    EXPECT_EQ(appendAt(11001), 1);
    EXPECT_EQ(appendAt(20999), 1); // counted from the last request
    EXPECT_EQ(appendAt(21000), 2);
    EXPECT_EQ(appendAt(100000), 3);
    j.Finish(); // the final sync, then the rename
    j.WaitIdle();
    EXPECT_EQ(j.CompletedSyncs(), 4);
    EXPECT_FALSE(j.Failed()) << j.Error().toStdString();
    EXPECT_TRUE(fs::exists(j.File()));
    const auto r = ReadRecording(j.File());
    ASSERT_TRUE(r);
    ExpectTestSamples(*r, n);
}

// Appends that ask for a sync each time, while the thread syncs (it has synced once half way);
// Finish and the end right after. Under the thread checker this covers every path between the two
// threads.
TEST_F(JournalTest, AppendsWhileTheThreadSyncsLoseNothing) {
    std::vector<fs::path> files;
    for (int round = 0; round < 8; ++round) {
        JournalOptions options;
        options.SyncIntervalMs = 0;
        RecordingJournal j(dir_, JournalTestHeader(), options);
        for (uint32_t i = 0; i < 1000; ++i)
            ASSERT_TRUE(j.Append(JournalTestSample(i)));
        // Every append asked for a sync: once the thread is idle, at least one has been done.
        j.WaitIdle();
        const int64_t synced = j.CompletedSyncs();
        EXPECT_GE(synced, 1);
        for (uint32_t i = 1000; i < 2000; ++i)
            ASSERT_TRUE(j.Append(JournalTestSample(i)));
        if (round % 2 == 0)
            j.Finish();
        EXPECT_GE(j.CompletedSyncs(), synced);
        files.push_back(j.File());
    } // destroyed at once, nobody waits
    ASSERT_TRUE(TThread::WaitForSelfOwnedThreads(20000));
    for (size_t round = 0; round < files.size(); ++round) {
        SCOPED_TRACE(round);
        const auto r = ReadRecording(files[round]);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->Finished, round % 2 == 0);
        EXPECT_FALSE(r->Torn);
        ExpectTestSamples(*r, 2000);
    }
    EXPECT_EQ(UnfinishedJournals(dir_).size(), files.size() / 2);
}

TEST_F(JournalTest, NoThreadIsLeftOnceTheJournalsAreGone) {
    {
        std::vector<std::unique_ptr<RecordingJournal>> journals;
        for (int i = 0; i < 20; ++i) {
            journals.push_back(std::make_unique<RecordingJournal>(dir_, JournalTestHeader()));
            journals.back()->Append(JournalTestSample(0));
        }
        journals[3]->Finish();
        journals[7]->WaitIdle();
    }
    EXPECT_TRUE(TThread::WaitForSelfOwnedThreads(20000));
}

} // namespace
