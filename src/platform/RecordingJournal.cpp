#include "platform/RecordingJournal.h"

#include "platform/AppPaths.h"
#include "platform/Thread.h"
#include "platform/UniqueFd.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <tuple>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// The file: a UTF-8 text header, then fixed-size binary records.
//
//     VEXTOR-RECORDING 1
//     window=Grafico
//     start=2026-12-11T09:30:00+01:00
//     output=1
//     title=Portata [m³/h]
//     unit=m³/h
//     fullscale=1200
//     <an empty line: the records start on the byte after it>
//
// Values are escaped: "\\" for a backslash, "\n", "\r", "\=" and "\xHH" for the other control
// characters, so no value holds a line break or an '='. Unknown keys are skipped on reading.
// A record is 24 bytes, little-endian: int64 time (ms since the epoch), int32 primary, int32
// secondary, uint32 sample number (0, 1, 2, ...), uint32 CRC-32 (IEEE) of the 20 bytes before.
//
// The name says the window, the local start time, the writer's process and a per-process count,
// and the state: "grafico-20261211-093000-4242-1.vxrec.open" while written or left unfinished,
// "... .vxrec" when finished, "... .recovered.vxrec" when recovered after a crash.

namespace fs = std::filesystem;

namespace {

constexpr std::string_view Magic = "VEXTOR-RECORDING";
constexpr int FormatVersion = 1;
constexpr size_t RecordSize = 24;
constexpr size_t MaxHeaderSize = 64 * 1024;
constexpr std::string_view UnfinishedSuffix = ".vxrec.open";
constexpr std::string_view RecoveredSuffix = ".recovered.vxrec";
constexpr std::string_view FinishedSuffix = ".vxrec";

constexpr std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}
constexpr std::array<uint32_t, 256> CrcTable = MakeCrcTable();

uint32_t Crc32(const unsigned char* p, size_t n) noexcept {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i)
        c = CrcTable[(c ^ p[i]) & 0xFFu] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void PutLe(unsigned char* p, uint64_t v, int bytes) noexcept {
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

uint64_t GetLe(const unsigned char* p, int bytes) noexcept {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= static_cast<uint64_t>(p[i]) << (8 * i);
    return v;
}

void EncodeRecord(unsigned char* r, const RecordingSample& s, uint32_t number) noexcept {
    PutLe(r, static_cast<uint64_t>(s.TimeMs), 8);
    PutLe(r + 8, static_cast<uint32_t>(s.Primary), 4);
    PutLe(r + 12, static_cast<uint32_t>(s.Secondary), 4);
    PutLe(r + 16, number, 4);
    PutLe(r + 20, Crc32(r, 20), 4);
}

// The record's sample when it is intact and has the expected number.
bool DecodeRecord(const unsigned char* r, uint32_t expectedNumber, RecordingSample& s) noexcept {
    if (GetLe(r + 20, 4) != Crc32(r, 20) || GetLe(r + 16, 4) != expectedNumber)
        return false;
    s.TimeMs = static_cast<int64_t>(GetLe(r, 8));
    s.Primary = static_cast<int32_t>(static_cast<uint32_t>(GetLe(r + 8, 4)));
    s.Secondary = static_cast<int32_t>(static_cast<uint32_t>(GetLe(r + 12, 4)));
    return true;
}

QString PathText(const fs::path& p) {
    return QFile::decodeName(p.c_str());
}

QString SystemText(int err) {
    return QString::fromStdString(std::generic_category().message(err));
}

// `cannot <what> "<path>": <reason>`
QString FileError(const char* what, const fs::path& p, const QString& reason) {
    return QStringLiteral("cannot %1 \"%2\": %3").arg(QLatin1String(what), PathText(p), reason);
}

QString FileError(const char* what, const fs::path& p, int err) {
    return FileError(what, p, SystemText(err));
}

// --- Names ---

enum class JournalKind { Unfinished, Finished, Recovered };

struct JournalName {
    JournalKind Kind = JournalKind::Unfinished;
    std::string Stem; // without the state's suffix
    // Sorts by start time, then process and count.
    std::tuple<std::string, uint64_t, uint64_t> Key;
};

bool AllOf(std::string_view s, bool (*pred)(char)) {
    return !s.empty() && std::all_of(s.begin(), s.end(), pred);
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsNameChar(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'z');
}
bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// "<window>-<yyyyMMdd>-<HHmmss>-<pid>-<n><suffix>", or nothing for any other file name.
std::optional<JournalName> ParseName(std::string_view name) {
    JournalName j;
    if (name.ends_with(UnfinishedSuffix))
        j.Kind = JournalKind::Unfinished, name.remove_suffix(UnfinishedSuffix.size());
    else if (name.ends_with(RecoveredSuffix))
        j.Kind = JournalKind::Recovered, name.remove_suffix(RecoveredSuffix.size());
    else if (name.ends_with(FinishedSuffix))
        j.Kind = JournalKind::Finished, name.remove_suffix(FinishedSuffix.size());
    else
        return std::nullopt;
    j.Stem = std::string(name);
    std::array<std::string_view, 5> parts;
    for (size_t i = 0; i < parts.size(); ++i) {
        const size_t dash = name.find('-');
        if ((dash == std::string_view::npos) != (i == parts.size() - 1))
            return std::nullopt;
        parts[i] = name.substr(0, dash);
        if (dash != std::string_view::npos)
            name.remove_prefix(dash + 1);
    }
    if (!AllOf(parts[0], IsNameChar) || parts[1].size() != 8 || !AllOf(parts[1], IsDigit) ||
        parts[2].size() != 6 || !AllOf(parts[2], IsDigit) || parts[3].size() > 10 ||
        !AllOf(parts[3], IsDigit) || parts[4].size() > 10 || !AllOf(parts[4], IsDigit))
        return std::nullopt;
    j.Key = {std::string(parts[1]) + std::string(parts[2]), std::stoull(std::string(parts[3])),
             std::stoull(std::string(parts[4]))};
    return j;
}

struct FoundJournal {
    fs::path File;
    JournalName Name;
    uint64_t Size = 0;
};

// The regular files of folder named as journals, newest first.
std::vector<FoundJournal> ListJournals(const fs::path& folder) {
    std::vector<FoundJournal> found;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        auto name = ParseName(it->path().filename().native());
        std::error_code sec;
        if (!name || !it->is_regular_file(sec) || it->is_symlink(sec))
            continue;
        const auto size = it->file_size(sec);
        found.push_back({it->path(), std::move(*name), sec ? 0 : static_cast<uint64_t>(size)});
    }
    std::sort(found.begin(), found.end(), [](const FoundJournal& a, const FoundJournal& b) {
        return std::tie(a.Name.Key, a.File) > std::tie(b.Name.Key, b.File);
    });
    return found;
}

std::string WindowNamePart(const QString& window) {
    std::string part;
    for (const QChar c : window.toLower())
        if (c.unicode() < 0x80 && IsNameChar(static_cast<char>(c.unicode())))
            part += static_cast<char>(c.unicode());
    return part.empty() ? std::string("recording") : part;
}

// Brings a folder's entries (a new or renamed file) to the disk.
int SyncFolder(const fs::path& folder) {
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd)
        return errno;
    return ::fsync(fd.Get()) == 0 ? 0 : errno;
}

// --- Header ---

QString Escape(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        const char16_t u = c.unicode();
        if (u == '\\')
            out += QLatin1String("\\\\");
        else if (u == '\n')
            out += QLatin1String("\\n");
        else if (u == '\r')
            out += QLatin1String("\\r");
        else if (u == '=')
            out += QLatin1String("\\=");
        else if (u < 0x20 || u == 0x7F)
            out += QStringLiteral("\\x%1").arg(static_cast<int>(u), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

std::optional<QString> Unescape(std::string_view raw) {
    QByteArray out;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            out += raw[i];
            continue;
        }
        if (++i == raw.size())
            return std::nullopt;
        switch (raw[i]) {
        case '\\':
            out += '\\';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case '=':
            out += '=';
            break;
        case 'x': {
            if (i + 2 >= raw.size() || !IsHexDigit(raw[i + 1]) || !IsHexDigit(raw[i + 2]))
                return std::nullopt;
            out += static_cast<char>(QByteArray(raw.data() + i + 1, 2).toInt(nullptr, 16));
            i += 2;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return QString::fromUtf8(out);
}

QByteArray HeaderText(const RecordingHeader& h, const QDateTime& start) {
    const QDateTime local = start.toLocalTime();
    QString when = local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
    if (when.endsWith(QLatin1Char('Z'))) // UTC itself: the offset written like any other
        when = when.chopped(1) + QLatin1String("+00:00");
    QString text =
        QStringLiteral("%1 %2\n").arg(QLatin1String(Magic.data(), Magic.size())).arg(FormatVersion);
    text += QLatin1String("window=") + Escape(h.Window) + QLatin1Char('\n');
    text += QLatin1String("start=") + when + QLatin1Char('\n');
    text += QLatin1String("output=") + QString::number(h.OutputIndex) + QLatin1Char('\n');
    text += QLatin1String("title=") + Escape(h.OutputTitle) + QLatin1Char('\n');
    text += QLatin1String("unit=") + Escape(h.Unit) + QLatin1Char('\n');
    text += QLatin1String("fullscale=") + QString::number(h.FullScale) + QLatin1Char('\n');
    text += QLatin1Char('\n');
    return text.toUtf8();
}

// Reads the header from fd: fills h and the offset of the first record. Nothing when it is not
// a journal's (why says so).
bool ReadHeader(int fd, const fs::path& file, RecordingHeader& h, size_t& recordsAt, QString& why) {
    std::string text(MaxHeaderSize, '\0');
    size_t have = 0;
    size_t end = std::string::npos;
    while (have < text.size()) {
        const ssize_t n =
            ::pread(fd, text.data() + have, text.size() - have, static_cast<off_t>(have));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            why = FileError("read", file, errno);
            return false;
        }
        if (n == 0)
            break;
        have += static_cast<size_t>(n);
        if ((end = std::string_view(text.data(), have).find("\n\n")) != std::string::npos)
            break;
    }
    text.resize(have);
    const QString name = QStringLiteral("\"%1\"").arg(PathText(file));
    const std::string magicLine = std::string(Magic) + ' ';
    const size_t firstEnd = text.find('\n');
    const std::string_view first = std::string_view(text).substr(0, firstEnd);
    if (!first.starts_with(magicLine)) {
        why = QStringLiteral("%1 is not a Vextor recording journal").arg(name);
        return false;
    }
    if (first != magicLine + std::to_string(FormatVersion)) {
        why = QStringLiteral("%1 is a recording journal of another format (%2)")
                  .arg(name, QString::fromUtf8(first.data(), static_cast<qsizetype>(first.size())));
        return false;
    }
    if (end == std::string::npos) {
        why = QStringLiteral("%1: the journal's header is cut short").arg(name);
        return false;
    }
    h = RecordingHeader{};
    std::string_view rest = std::string_view(text).substr(firstEnd + 1, end - firstEnd);
    int lineNumber = 1;
    while (!rest.empty()) {
        const size_t nl = rest.find('\n');
        const std::string_view line = rest.substr(0, nl);
        rest.remove_prefix(nl + 1);
        ++lineNumber;
        const size_t eq = line.find('=');
        const auto bad = [&] {
            why = QStringLiteral("%1: the journal's header is damaged (line %2)")
                      .arg(name)
                      .arg(lineNumber);
            return false;
        };
        if (eq == std::string_view::npos)
            return bad();
        const std::string_view key = line.substr(0, eq);
        const auto value = Unescape(line.substr(eq + 1));
        if (!value)
            return bad();
        bool ok = true;
        if (key == "window")
            h.Window = *value;
        else if (key == "start")
            ok = (h.Start = QDateTime::fromString(*value, Qt::ISODate)).isValid();
        else if (key == "output")
            h.OutputIndex = value->toInt(&ok);
        else if (key == "title")
            h.OutputTitle = *value;
        else if (key == "unit")
            h.Unit = *value;
        else if (key == "fullscale")
            h.FullScale = value->toInt(&ok);
        if (!ok)
            return bad();
    }
    recordsAt = end + 2;
    return true;
}

int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::atomic<uint64_t> g_journalCount{0};

} // namespace

namespace journal_detail {

// What the journal and its background thread share.
struct Core {
    // Set at creation, before the thread starts; constant afterwards. The descriptor is closed
    // by the thread when the journal is destroyed.
    int Fd = -1;
    fs::path Folder;
    fs::path OpenFile;
    fs::path FinishedFile;

    std::atomic<bool> Failed{false};
    std::atomic<int64_t> SyncsDone{0};
    std::mutex Mutex;
    std::condition_variable Changed;
    QString Error;                        // guarded by Mutex
    bool SyncWanted = false;              // guarded by Mutex
    bool FinishWanted = false;            // guarded by Mutex
    std::atomic<bool> CloseWanted{false}; // the thread's stop request, set under Mutex
    uint64_t Asked = 0;                   // requests made, guarded by Mutex
    uint64_t Served = 0;                  // requests done, guarded by Mutex

    // Keeps the first reason; from then on appends are refused.
    void Fail(const QString& why) {
        std::lock_guard lock(Mutex);
        if (Failed.load(std::memory_order_relaxed))
            return;
        Error = why;
        Failed.store(true, std::memory_order_release);
    }

    enum class Request { Sync, Finish, Close };
    // Never waits for the disk: the thread holds the mutex only between its system calls.
    void Ask(Request r) {
        {
            std::lock_guard lock(Mutex);
            switch (r) {
            case Request::Sync:
                SyncWanted = true;
                break;
            case Request::Finish:
                FinishWanted = true;
                break;
            case Request::Close:
                CloseWanted.store(true, std::memory_order_release);
                break;
            }
            ++Asked;
        }
        Changed.notify_all();
    }
};

} // namespace journal_detail

using journal_detail::Core;

struct RecordingJournal::State : Core {
    // The caller's thread only.
    int SyncIntervalMs = 10000;
    std::function<int64_t()> Clock;
    fs::path CallerFile;
    int64_t Appended = 0;
    int64_t LastSyncAskMs = 0;
    bool FinishAsked = false;
    bool ThreadRuns = false;

    int64_t NowMs() const { return Clock ? Clock() : SteadyMs(); }
};

namespace {

// Brings the journal to the disk when asked, renames it when finished and closes it when the
// journal is gone; ends then (it owns itself, see TThread::StartSelfOwned).
class JournalSyncThread final : public TThread {
public:
    explicit JournalSyncThread(std::shared_ptr<Core> state) : state_(std::move(state)) {}

protected:
    void Execute() override {
        auto& s = *state_;
        bool folderSynced = false;
        for (;;) {
            bool finish = false;
            bool close = false;
            uint64_t ticket = 0;
            {
                std::unique_lock lock(s.Mutex);
                s.Changed.wait(lock, [&] {
                    return s.SyncWanted || s.FinishWanted ||
                           s.CloseWanted.load(std::memory_order_acquire);
                });
                finish = std::exchange(s.FinishWanted, false);
                close = s.CloseWanted.load(std::memory_order_acquire);
                s.SyncWanted = false;
                ticket = s.Asked;
            }
            Sync(s);
            if (!folderSynced) { // the new file's entry
                if (const int err = SyncFolder(s.Folder); err != 0)
                    s.Fail(FileError("sync the folder", s.Folder, err));
                folderSynced = true;
            }
            if (finish) {
                if (::rename(s.OpenFile.c_str(), s.FinishedFile.c_str()) != 0)
                    s.Fail(FileError("rename", s.OpenFile, errno));
                else if (const int err = SyncFolder(s.Folder); err != 0)
                    s.Fail(FileError("sync the folder", s.Folder, err));
            }
            if (close)
                ::close(s.Fd); // and with it the lock
            {
                std::lock_guard lock(s.Mutex);
                s.Served = ticket;
            }
            s.Changed.notify_all();
            if (close)
                return;
        }
    }

private:
    static void Sync(Core& s) {
        int rc = 0;
        do
            rc = ::fdatasync(s.Fd);
        while (rc != 0 && errno == EINTR);
        if (rc != 0)
            s.Fail(FileError("bring to the disk", s.OpenFile, errno));
        else
            s.SyncsDone.fetch_add(1, std::memory_order_release);
    }

    std::shared_ptr<Core> state_;
};

} // namespace

RecordingJournal::RecordingJournal(const fs::path& folder, const RecordingHeader& header,
                                   JournalOptions options)
    : state_(std::make_shared<State>()) {
    State& s = *state_;
    s.Folder = folder;
    s.SyncIntervalMs = std::max(0, options.SyncIntervalMs);
    s.Clock = std::move(options.SteadyNowMs);
    s.CallerFile = folder;

    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        s.Fail(FileError("create", folder, QString::fromStdString(ec.message())));
        return;
    }

    const QDateTime start = header.Start.isValid() ? header.Start : QDateTime::currentDateTime();
    const std::string stem =
        WindowNamePart(header.Window) + '-' +
        start.toLocalTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toStdString() + '-' +
        std::to_string(::getpid()) + '-';
    // A name left by an earlier run of a process with the same number is skipped.
    UniqueFd fd;
    for (int attempt = 0; attempt < 1000 && !fd; ++attempt) {
        const std::string base = stem + std::to_string(++g_journalCount);
        s.OpenFile = folder / (base + std::string(UnfinishedSuffix));
        s.FinishedFile = folder / (base + std::string(FinishedSuffix));
        s.CallerFile = s.OpenFile;
        fd.Reset(
            ::open(s.OpenFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0644));
        if (!fd && errno != EEXIST) {
            s.Fail(FileError("create", s.OpenFile, errno));
            return;
        }
    }
    if (!fd) {
        s.Fail(FileError("create", s.OpenFile, EEXIST));
        return;
    }
    // Locked before the header is written: a file with a whole header that nobody locks has
    // lost its writer (UnfinishedJournals). Blocking: another copy's check holds it briefly.
    int rc = 0;
    do
        rc = ::flock(fd.Get(), LOCK_EX);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        s.Fail(FileError("lock", s.OpenFile, errno));
        ::unlink(s.OpenFile.c_str());
        return;
    }
    const QByteArray text = HeaderText(header, start);
    const ssize_t n = ::write(fd.Get(), text.constData(), static_cast<size_t>(text.size()));
    if (n != static_cast<ssize_t>(text.size())) {
        s.Fail(n < 0 ? FileError("write", s.OpenFile, errno)
                     : FileError(
                           "write", s.OpenFile,
                           QStringLiteral("short write (%1 of %2 bytes)").arg(n).arg(text.size())));
        ::unlink(s.OpenFile.c_str());
        return;
    }

    s.Fd = fd.Get();
    s.LastSyncAskMs = s.NowMs();
    try {
        TThread::StartSelfOwned(std::make_unique<JournalSyncThread>(state_));
    } catch (const std::exception& e) {
        s.Fd = -1;
        s.Fail(QStringLiteral("cannot start the thread that syncs \"%1\": %2")
                   .arg(PathText(s.OpenFile), QString::fromLocal8Bit(e.what())));
        ::unlink(s.OpenFile.c_str());
        return;
    }
    s.ThreadRuns = true;
    fd.Release(); // the thread closes it
}

RecordingJournal::~RecordingJournal() {
    if (state_ && state_->ThreadRuns)
        state_->Ask(Core::Request::Close); // syncs, closes and ends; nobody waits for it here
}

bool RecordingJournal::Append(const RecordingSample& sample) {
    State& s = *state_;
    if (!s.ThreadRuns || s.FinishAsked || s.Failed.load(std::memory_order_acquire))
        return false;
    unsigned char record[RecordSize];
    EncodeRecord(record, sample, static_cast<uint32_t>(s.Appended));
    ssize_t n = 0;
    do
        n = ::write(s.Fd, record, RecordSize);
    while (n < 0 && errno == EINTR);
    if (n != static_cast<ssize_t>(RecordSize)) {
        // Cut short (disk full, file size limit): the rest once more, which completes the
        // record or tells why it cannot be.
        int err = n < 0 ? errno : 0;
        if (n >= 0) {
            const ssize_t m = ::write(s.Fd, record + n, RecordSize - static_cast<size_t>(n));
            if (m == static_cast<ssize_t>(RecordSize) - n)
                n = static_cast<ssize_t>(RecordSize);
            else
                err = m < 0 ? errno : 0;
        }
        if (n != static_cast<ssize_t>(RecordSize)) {
            s.Fail(
                err != 0
                    ? FileError("write", s.OpenFile, err)
                    : FileError(
                          "write", s.OpenFile,
                          QStringLiteral("short write (%1 of %2 bytes)").arg(n).arg(RecordSize)));
            return false;
        }
    }
    ++s.Appended;
    if (const int64_t now = s.NowMs(); now - s.LastSyncAskMs >= s.SyncIntervalMs) {
        s.LastSyncAskMs = now;
        s.Ask(Core::Request::Sync);
    }
    return true;
}

void RecordingJournal::Finish() {
    State& s = *state_;
    if (s.FinishAsked)
        return;
    s.FinishAsked = true;
    if (!s.ThreadRuns)
        return;
    s.CallerFile = s.FinishedFile;
    s.Ask(Core::Request::Finish);
}

bool RecordingJournal::Failed() const {
    return state_->Failed.load(std::memory_order_acquire);
}

QString RecordingJournal::Error() const {
    std::lock_guard lock(state_->Mutex);
    return state_->Error;
}

const fs::path& RecordingJournal::File() const noexcept {
    return state_->CallerFile;
}

int64_t RecordingJournal::Appended() const noexcept {
    return state_->Appended;
}

int64_t RecordingJournal::CompletedSyncs() const noexcept {
    return state_->SyncsDone.load(std::memory_order_acquire);
}

void RecordingJournal::WaitIdle() {
    State& s = *state_;
    if (!s.ThreadRuns)
        return;
    std::unique_lock lock(s.Mutex);
    const uint64_t target = s.Asked;
    s.Changed.wait(lock, [&] { return s.Served >= target; });
}

fs::path RecordingsFolder() {
    return UserDataFolder() / "recordings";
}

std::optional<Recording> ReadRecording(const fs::path& file, QString* error) {
    QString why;
    const auto fail = [&] {
        if (error)
            *error = why;
        return std::nullopt;
    };
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        why = FileError("open", file, errno);
        return fail();
    }
    Recording r;
    size_t offset = 0;
    if (!ReadHeader(fd.Get(), file, r.Header, offset, why))
        return fail();
    r.File = file;
    const std::string name = file.filename().native();
    r.Finished = name.ends_with(FinishedSuffix) && !name.ends_with(RecoveredSuffix);

    std::vector<unsigned char> buffer(RecordSize * 4096);
    size_t have = 0; // bytes in buffer not yet decoded
    bool damaged = false;
    for (;;) {
        const ssize_t n = ::pread(fd.Get(), buffer.data() + have, buffer.size() - have,
                                  static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            why = FileError("read", file, errno);
            return fail();
        }
        if (n == 0)
            break;
        offset += static_cast<size_t>(n);
        have += static_cast<size_t>(n);
        size_t used = 0;
        for (; have - used >= RecordSize; used += RecordSize) {
            RecordingSample sample;
            if (!DecodeRecord(buffer.data() + used, static_cast<uint32_t>(r.Samples.size()),
                              sample)) {
                damaged = true;
                break;
            }
            r.Samples.push_back(sample);
        }
        if (damaged)
            break;
        std::copy(buffer.begin() + static_cast<ptrdiff_t>(used),
                  buffer.begin() + static_cast<ptrdiff_t>(have), buffer.begin());
        have -= used;
    }
    r.Torn = damaged || have != 0;
    if (error)
        error->clear();
    return r;
}

std::vector<fs::path> UnfinishedJournals(const fs::path& folder) {
    std::vector<fs::path> result;
    for (const auto& j : ListJournals(folder)) {
        if (j.Name.Kind != JournalKind::Unfinished)
            continue;
        UniqueFd fd(::open(j.File.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
        if (!fd || ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0)
            continue; // its writer runs
        // A writer locks its file before it writes the header: one without a whole header is
        // being created right now (or holds nothing).
        RecordingHeader header;
        size_t offset = 0;
        QString why;
        if (ReadHeader(fd.Get(), j.File, header, offset, why))
            result.push_back(j.File);
    }
    return result;
}

std::optional<fs::path> MarkRecovered(const fs::path& file) {
    const auto name = ParseName(file.filename().native());
    if (!name || name->Kind != JournalKind::Unfinished)
        return std::nullopt;
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!fd || ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0)
        return std::nullopt; // gone, or its writer runs
    const fs::path target = file.parent_path() / (name->Stem + std::string(RecoveredSuffix));
    if (::rename(file.c_str(), target.c_str()) != 0)
        return std::nullopt;
    SyncFolder(file.parent_path());
    return target;
}

void PruneRecordings(const fs::path& folder, size_t maxFiles, uint64_t maxBytes) {
    size_t kept = 0;
    uint64_t bytes = 0;
    bool removing = false;
    for (const auto& j : ListJournals(folder)) { // newest first
        if (j.Name.Kind == JournalKind::Unfinished)
            continue;
        if (!removing && kept < maxFiles && j.Size <= maxBytes - bytes) {
            ++kept;
            bytes += j.Size;
            continue;
        }
        removing = true; // this one and every older one
        std::error_code ec;
        fs::remove(j.File, ec);
    }
}
