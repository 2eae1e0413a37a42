#include "SensorSim.h"

#include "link/SensorFrame.h"
#include "platform/PseudoTerminal.h"
#include "platform/UniqueFd.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <numbers>
#include <random>
#include <system_error>
#include <thread>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using Block = SensorSimulator::Block;

// A partial request older than this is dropped when the next byte comes: the sensor starts over.
constexpr auto FrameGap = std::chrono::milliseconds(250);
// Output waiting for a reader beyond this is dropped (the line's buffer has overflowed).
constexpr size_t MaxQueuedBytes = 16 * 1024;
// After the last close, bytes that arrive within this time and before a new open are what the
// closed session wrote last (the pseudo-terminal delivers them asynchronously): they are dropped.
constexpr auto StaleWindow = std::chrono::milliseconds(100);

std::system_error SysError(const std::string& what, int err = errno) {
    return std::system_error(err, std::generic_category(), what);
}

// One pseudo-terminal with everything the simulator keeps open on it.
struct Pty {
    UniqueFd master; // non-blocking; the sensor's end of the line
    // The simulator's own descriptor on the slave. While it is open the master never sees a
    // hang-up when the PC closes the port, so the PC can close and re-open it as often as it
    // likes; it also lets the simulator clear the exclusive mode (TIOCEXCL) that the PC set,
    // which would otherwise outlive the PC's close and refuse its next open.
    UniqueFd hold;
    UniqueFd watch; // inotify on the slave device: opens and closes by the PC side
    std::string path;
};

void SetRawLine(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        throw SysError("tcgetattr");
    cfmakeraw(&t); // no echo, no CR/NL translation, no XON/XOFF, no signals, 8 bits
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, B38400);
    cfsetospeed(&t, B38400);
    if (tcsetattr(fd, TCSANOW, &t) != 0)
        throw SysError("tcsetattr");
}

Pty OpenPty() {
    Pty pty;
    PseudoTerminal pair = OpenPseudoTerminal(/*nonBlocking=*/true);
    pty.master = std::move(pair.Master);
    pty.path = pair.SlavePath;
    const char* name = pty.path.c_str();
    pty.hold = UniqueFd(::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!pty.hold)
        throw SysError("open " + pty.path);
    SetRawLine(pty.hold.Get());
    pty.watch = UniqueFd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!pty.watch)
        throw SysError("inotify_init1");
    if (inotify_add_watch(pty.watch.Get(), name, IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0)
        throw SysError("inotify_add_watch " + pty.path);
    return pty;
}

// Makes `link` a symbolic link to `target`, replacing an older link atomically. Anything at
// `link` that is not a symbolic link is left alone.
void CreateLink(const std::string& target, const std::string& link) {
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode))
        throw SysError("refusing to replace " + link, EEXIST);
    static std::atomic<unsigned> serial{0};
    const std::string tmp =
        link + ".sim-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
    ::unlink(tmp.c_str());
    if (::symlink(target.c_str(), tmp.c_str()) != 0)
        throw SysError("symlink " + tmp);
    if (::rename(tmp.c_str(), link.c_str()) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        throw SysError("rename " + tmp + " to " + link, err);
    }
}

// Removes `link` only while it still points to `target`.
void RemoveLink(const std::string& target, const std::string& link) {
    if (link.empty() || target.empty())
        return;
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(link.c_str(), buf, sizeof buf);
    if (n > 0 && std::string(buf, static_cast<size_t>(n)) == target)
        ::unlink(link.c_str());
}

// Whether a descriptor other than `ownFd` (ours, in this process) is open on the same terminal
// as `ownFd`, from the descriptor tables under /proc. Tables we may not read (other users'
// processes) are skipped: the PC side runs as our user, or we are root.
bool SlaveOpenElsewhere(int ownFd) {
    struct stat own {};
    if (fstat(ownFd, &own) != 0)
        return true;
    const std::string selfName = std::to_string(getpid());
    const std::string ownName = std::to_string(ownFd);
    auto scan = [&](DIR* proc, const char* pid) {
        const int dirFd = openat(dirfd(proc), (std::string(pid) + "/fd").c_str(),
                                 O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd < 0)
            return false;
        DIR* fds = fdopendir(dirFd);
        if (!fds) {
            ::close(dirFd);
            return false;
        }
        const bool self = selfName == pid;
        bool found = false;
        while (const dirent* e = readdir(fds)) {
            if (e->d_name[0] == '.' || (self && ownName == e->d_name))
                continue;
            struct stat st {};
            if (fstatat(dirfd(fds), e->d_name, &st, 0) == 0 && S_ISCHR(st.st_mode) &&
                st.st_rdev == own.st_rdev) {
                found = true;
                break;
            }
        }
        closedir(fds);
        return found;
    };
    DIR* proc = opendir("/proc");
    if (!proc)
        return true;                           // cannot tell: assume somebody is there
    bool found = scan(proc, selfName.c_str()); // tests open the port in this process
    while (!found) {
        const dirent* e = readdir(proc);
        if (!e)
            break;
        if (e->d_name[0] >= '1' && e->d_name[0] <= '9' && selfName != e->d_name)
            found = scan(proc, e->d_name);
    }
    closedir(proc);
    return found;
}

std::vector<uint8_t> MakeFrame(uint8_t command, const Block* words) {
    const int length = words ? SensorFrame::LongLength : SensorFrame::ShortLength;
    std::vector<uint8_t> f(static_cast<size_t>(length));
    f[0] = SensorFrame::StartByte;
    f[1] = static_cast<uint8_t>(length);
    f[2] = SensorFrame::Address;
    f[3] = command;
    if (words) {
        for (int k = 0; k < SensorFrame::PayloadWords; ++k) {
            f[static_cast<size_t>(4 + 2 * k)] = static_cast<uint8_t>((*words)[k] & 0xFFu);
            f[static_cast<size_t>(5 + 2 * k)] = static_cast<uint8_t>((*words)[k] >> 8);
        }
    }
    f[static_cast<size_t>(length - 2)] = SensorFrame::Checksum(f.data(), length);
    f[static_cast<size_t>(length - 1)] = SensorFrame::EndByte;
    return f;
}

Block PayloadOf(const uint8_t* frame) {
    Block b{};
    for (int k = 0; k < SensorFrame::PayloadWords; ++k)
        b[static_cast<size_t>(k)] = SensorFrame::PayloadWord(frame, k);
    return b;
}

std::string Hex(const uint8_t* data, size_t n) {
    std::string s;
    char part[4];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(part, sizeof part, i ? " %02X" : "%02X", data[i]);
        s += part;
    }
    return s;
}

uint64_t SplitMix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

uint16_t ToWord(double v, double hi = 65535.0) {
    if (!(v > 0.0)) // also NaN
        return 0;
    return static_cast<uint16_t>(std::lround(std::min(v, hi)));
}

uint16_t ToSignedWord(double v) {
    const double c = std::clamp(v, -32768.0, 32767.0);
    return static_cast<uint16_t>(static_cast<int16_t>(std::lround(std::isnan(c) ? 0.0 : c)));
}

// One chunk of output: a reply, an acknowledgement, a 0x70 frame, noise or an echo.
struct OutEntry {
    enum class Kind { Reply, Sample, Extra };
    Kind kind = Kind::Extra;
    std::vector<uint8_t> bytes;
    std::vector<size_t> cuts; // end offset of every piece; the last one is bytes.size()
    std::chrono::milliseconds gap{0};
    Clock::time_point due;
    size_t written = 0;
    size_t piece = 0;
    uint8_t command = 0; // the request it answers (replies and their noise)
};

std::vector<size_t> Cuts(size_t length, ReplySplit split) {
    switch (split) {
    case ReplySplit::Pieces:
        if (length == SensorFrame::LongLength)
            return {10, 20, length};
        if (length >= 3)
            return {length / 3, 2 * length / 3, length};
        return {length};
    case ReplySplit::Trickle: {
        std::vector<size_t> cuts(length);
        for (size_t i = 0; i < length; ++i)
            cuts[i] = i + 1;
        return cuts;
    }
    case ReplySplit::Whole:
        break;
    }
    return {length};
}

} // namespace

// ---------------------------------------------------------------------------------------------

struct SensorSimulator::Impl {
    explicit Impl(Options options);
    ~Impl();

    void Wake() const;
    void Control(int what); // 1 unplug, 2 replug
    void Run();

    // Thread side.
    void ServeControl();
    void DoUnplug();
    int NextTimeoutMs(Clock::time_point now);
    void HandleWatch();
    void AfterClose();
    void ReadMaster();
    bool LineOk() const;
    void Feed(const uint8_t* data, size_t n, Clock::time_point now);
    void HandleRequest(const uint8_t* frame, int length, Clock::time_point now);
    void Queue(OutEntry entry);
    void Hold(OutEntry entry);
    void ReleaseHeld(Clock::time_point now);
    void DropHeld();
    void Pump(Clock::time_point now);
    void MaybeQueueSample(Clock::time_point now);
    void Note(const std::string& text) const {
        if (logFn)
            logFn(text);
    }

    // Constant after construction.
    const std::string linkPath;
    const uint64_t seed;
    const bool requireLine;
    const std::function<void(const std::string&)> logFn;

    // Shared with the callers, under mu.
    mutable std::mutex mu;
    mutable std::condition_variable cv;
    Block working{};
    Block eeprom{};
    Block info{};
    SimFaults faults;
    int sampleIntervalMs = 0;
    SimCounters counters;
    std::deque<LoggedRequest> log;
    std::array<std::vector<uint8_t>, 256> lastGood; // empty = none yet
    std::string slavePath;
    bool plugged = false;
    bool threadEnded = false;
    int control = 0;
    uint64_t controlSeq = 0;
    uint64_t controlDone = 0;
    std::string controlError;
    int controlErrno = 0;
    std::mutex controlMu; // one Unplug/Replug at a time

    // Owned by the simulator's thread (by the constructor before it starts).
    Pty pty;
    UniqueFd wake;
    std::atomic<bool> stop{false};
    std::vector<uint8_t> rx;
    Clock::time_point lastRx{};
    std::deque<OutEntry> out;
    std::deque<OutEntry> held; // replies (and their noise) kept back by HoldReplies
    size_t queuedBytes = 0;
    bool outBlocked = false;        // the master refused bytes: wait until it is writable
    bool clientOpen = false;        // the PC side has the slave open (as far as the events tell)
    bool hangup = false;            // the master reported a hang-up: wait for the next open
    Clock::time_point staleUntil{}; // bytes arriving before this, with no open since, are stale
    bool sampleArmed = false;
    Clock::time_point nextSample{};
    uint64_t sampleSeq = 0;
    std::mt19937_64 rng;

    std::thread thread; // last: starts after everything above exists
};

SensorSimulator::Impl::Impl(Options o)
    : linkPath(std::move(o.LinkPath)), seed(o.Seed), requireLine(o.RequireLineSettings),
      logFn(std::move(o.Log)), working(DefaultParams()), eeprom(DefaultParams()),
      info(DefaultInfo()), faults(std::move(o.Faults)),
      sampleIntervalMs(std::max(0, o.SampleIntervalMs)), rng(SplitMix(o.Seed ^ 0x5EED)) {
    pty = OpenPty();
    wake = UniqueFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake)
        throw SysError("eventfd");
    if (!linkPath.empty())
        CreateLink(pty.path, linkPath);
    slavePath = pty.path;
    plugged = true;
    thread = std::thread([this] { Run(); });
}

SensorSimulator::Impl::~Impl() {
    stop.store(true);
    Wake();
    if (thread.joinable())
        thread.join();
    if (plugged)
        RemoveLink(pty.path, linkPath);
}

void SensorSimulator::Impl::Wake() const {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake.Get(), &one, sizeof one);
}

void SensorSimulator::Impl::Control(int what) {
    std::lock_guard serial(controlMu);
    std::unique_lock lock(mu);
    const uint64_t seq = ++controlSeq;
    control = what;
    lock.unlock();
    Wake();
    lock.lock();
    cv.wait(lock, [&] { return controlDone >= seq || threadEnded; });
    if (controlDone < seq)
        throw std::system_error(ECANCELED, std::generic_category(), "simulator thread ended");
    if (!controlError.empty())
        throw std::system_error(controlErrno, std::generic_category(), controlError);
}

void SensorSimulator::Impl::ServeControl() {
    int what = 0;
    uint64_t seq = 0;
    {
        std::lock_guard lock(mu);
        what = std::exchange(control, 0);
        seq = controlSeq;
    }
    if (what == 0)
        return;
    std::string error;
    int err = 0;
    DoUnplug();
    if (what == 2) {
        try {
            Pty fresh = OpenPty();
            if (!linkPath.empty())
                CreateLink(fresh.path, linkPath);
            pty = std::move(fresh);
            Note("replugged at " + pty.path);
        } catch (const std::system_error& e) {
            error = e.what();
            err = e.code().value();
        }
    }
    {
        std::lock_guard lock(mu);
        plugged = static_cast<bool>(pty.master);
        slavePath = plugged ? pty.path : std::string();
        if (plugged && what == 2)
            ++counters.Plugs;
        controlError = error;
        controlErrno = err;
        controlDone = seq;
    }
    cv.notify_all();
}

void SensorSimulator::Impl::DoUnplug() {
    if (!pty.master)
        return;
    RemoveLink(pty.path, linkPath);
    pty.watch.Reset();
    pty.hold.Reset();
    pty.master.Reset(); // the PC side's descriptor is hung up now
    Note("unplugged " + pty.path);
    rx.clear();
    out.clear();
    DropHeld();
    queuedBytes = 0;
    outBlocked = false;
    clientOpen = false;
    hangup = false;
    sampleArmed = false;
}

int SensorSimulator::Impl::NextTimeoutMs(Clock::time_point now) {
    std::optional<Clock::time_point> next;
    if (!out.empty() && !outBlocked)
        next = out.front().due;
    if (sampleArmed && clientOpen && !hangup)
        next = next ? std::min(*next, nextSample) : nextSample;
    if (!next)
        return -1;
    if (*next <= now)
        return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(*next - now).count();
    return static_cast<int>(std::min<int64_t>(ms, 60'000));
}

void SensorSimulator::Impl::Run() {
    while (!stop.load()) {
        ServeControl();
        pollfd fds[3];
        nfds_t n = 0;
        fds[n++] = {wake.Get(), POLLIN, 0};
        int masterAt = -1;
        int watchAt = -1;
        if (pty.master && !hangup) {
            masterAt = static_cast<int>(n);
            fds[n++] = {pty.master.Get(), static_cast<short>(POLLIN | (outBlocked ? POLLOUT : 0)),
                        0};
        }
        if (pty.watch) {
            watchAt = static_cast<int>(n);
            fds[n++] = {pty.watch.Get(), POLLIN, 0};
        }
        const int r = ::poll(fds, n, NextTimeoutMs(Clock::now()));
        if (r < 0) {
            if (errno == EINTR || errno == ENOMEM)
                continue;
            Note(std::string("poll failed: ") + std::strerror(errno));
            break;
        }
        if (fds[0].revents) {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = ::read(wake.Get(), &count, sizeof count);
        }
        if (watchAt >= 0 && fds[watchAt].revents)
            HandleWatch();
        if (masterAt >= 0 && pty.master) {
            const short ev = fds[masterAt].revents;
            if (ev & POLLOUT)
                outBlocked = false;
            if (ev & POLLIN)
                ReadMaster();
            else if (ev & (POLLHUP | POLLERR))
                hangup = true;
        }
        if (hangup) { // nobody on the line: what waits for it is lost
            out.clear();
            DropHeld();
            queuedBytes = 0;
            outBlocked = false;
        }
        const auto now = Clock::now();
        ReleaseHeld(now);
        MaybeQueueSample(now);
        Pump(now);
    }
    std::lock_guard lock(mu);
    threadEnded = true;
    cv.notify_all();
}

void SensorSimulator::Impl::HandleWatch() {
    alignas(inotify_event) char buf[4096];
    bool sawClose = false;
    uint64_t opens = 0;
    uint64_t closes = 0;
    for (;;) {
        const ssize_t n = ::read(pty.watch.Get(), buf, sizeof buf);
        if (n <= 0)
            break;
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
            if (e->mask & (IN_OPEN | IN_Q_OVERFLOW)) {
                clientOpen = true;
                hangup = false;
                opens += (e->mask & IN_OPEN) ? 1 : 0;
            }
            if (e->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) {
                sawClose = true;
                ++closes;
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        }
    }
    if (sawClose)
        AfterClose();
    if (opens || closes) {
        {
            std::lock_guard lock(mu);
            counters.ClientOpens += opens;
            counters.ClientCloses += closes;
        }
        cv.notify_all();
        Note(std::string("port ") + (clientOpen ? "open" : "closed") + " on the PC side");
    }
}

// Somebody closed the slave. The exclusive mode set by the PC would outlive its close (the
// terminal lives on with the master) and refuse its next open to anyone without CAP_SYS_ADMIN;
// a real port forgets it at its last close, and so do the bytes in flight. Closes come as
// coalescing events that cannot be counted, so whether this was the last one is looked up.
void SensorSimulator::Impl::AfterClose() {
    const int hold = pty.hold.Get();
    int exclusive = 0;
    ::ioctl(hold, TIOCGEXCL, &exclusive);
    ::ioctl(hold, TIOCNXCL);
    if (SlaveOpenElsewhere(hold)) {
        if (exclusive)
            ::ioctl(hold, TIOCEXCL); // another opener still holds it: leave its mode alone
        clientOpen = true;
        return;
    }
    clientOpen = false;
    ::tcflush(hold, TCIFLUSH); // unread replies must not greet the next open
    std::vector<uint8_t> drained;
    uint8_t scrap[512];
    for (ssize_t n; (n = ::read(pty.master.Get(), scrap, sizeof scrap)) > 0;)
        drained.insert(drained.end(), scrap, scrap + n);
    rx.clear();
    out.clear();
    DropHeld();
    queuedBytes = 0;
    outBlocked = false;
    // Bytes written just before the close may still be on their way to the master.
    staleUntil = Clock::now() + StaleWindow;
    // A PC that re-opened while we looked may already have written its first request: what was
    // drained then belongs to the new session.
    if (!drained.empty() && SlaveOpenElsewhere(hold)) {
        clientOpen = true;
        if (!requireLine || LineOk())
            Feed(drained.data(), drained.size(), Clock::now());
    }
}

bool SensorSimulator::Impl::LineOk() const {
    termios t{};
    if (tcgetattr(pty.hold.Get(), &t) != 0)
        return true; // cannot tell: do not get in the way
    return cfgetispeed(&t) == B38400 && cfgetospeed(&t) == B38400 && (t.c_cflag & CSIZE) == CS8 &&
           !(t.c_cflag & (PARENB | CSTOPB));
}

void SensorSimulator::Impl::ReadMaster() {
    uint8_t buf[512];
    bool lineChecked = false;
    bool lineOk = true;
    for (;;) {
        const ssize_t n = ::read(pty.master.Get(), buf, sizeof buf);
        if (n > 0) {
            if (!clientOpen && pty.watch)
                HandleWatch(); // the open of a new writer is queued before its first byte
            // Left over from the session that has just closed, unless a new session has already
            // opened the port (its open event may not have been seen yet).
            if (!clientOpen && Clock::now() < staleUntil && !SlaveOpenElsewhere(pty.hold.Get()))
                continue;
            clientOpen = true;
            if (!lineChecked) {
                lineOk = !requireLine || LineOk();
                lineChecked = true;
                if (!lineOk) {
                    rx.clear();
                    {
                        std::lock_guard lock(mu);
                        ++counters.LineSettingErrors;
                    }
                    cv.notify_all();
                    Note("bytes lost: the line is not set to 38400 8N1");
                }
            }
            if (lineOk)
                Feed(buf, static_cast<size_t>(n), Clock::now());
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        hangup = true; // EIO: no slave descriptor open at all
        return;
    }
}

void SensorSimulator::Impl::Feed(const uint8_t* data, size_t n, Clock::time_point now) {
    if (!rx.empty() && now - lastRx > FrameGap)
        rx.clear();
    lastRx = now;
    rx.insert(rx.end(), data, data + n);
    size_t pos = 0;
    for (;;) {
        while (pos < rx.size() && rx[pos] != SensorFrame::StartByte)
            ++pos;
        if (rx.size() - pos < 4)
            break;
        const int length = SensorFrame::RequestLength(rx[pos + 3]);
        if (rx.size() - pos < static_cast<size_t>(length))
            break;
        const uint8_t* frame = rx.data() + pos;
        if (SensorFrame::ChecksumOk(frame, length)) {
            HandleRequest(frame, length, now);
            pos += static_cast<size_t>(length);
        } else {
            {
                std::lock_guard lock(mu);
                ++counters.BadRequests;
                log.push_back({std::vector<uint8_t>(frame, frame + length), false});
                if (log.size() > static_cast<size_t>(LogSize))
                    log.pop_front();
            }
            cv.notify_all();
            Note("ignored, bad checksum: " + Hex(frame, static_cast<size_t>(length)));
            ++pos; // look for the next start byte inside the rejected bytes
        }
    }
    rx.erase(rx.begin(), rx.begin() + static_cast<std::ptrdiff_t>(pos));
}

void SensorSimulator::Impl::HandleRequest(const uint8_t* frame, int length, Clock::time_point now) {
    const uint8_t command = frame[3];
    std::vector<uint8_t> reply;
    SimFaults fx;
    bool stored = true;
    {
        std::lock_guard lock(mu);
        std::vector<uint8_t> bytes(frame, frame + length);
        lastGood[command] = bytes;
        log.push_back({std::move(bytes), true});
        if (log.size() > static_cast<size_t>(LogSize))
            log.pop_front();
        fx = faults;
        switch (command) {
        case SensorFrame::CmdReadSetup:
            reply = MakeFrame(command, &working);
            break;
        case SensorFrame::CmdReadBack:
            reply = MakeFrame(command, &eeprom);
            break;
        case SensorFrame::CmdReadInfo:
            reply = MakeFrame(command, &info);
            break;
        case SensorFrame::CmdReadStatus: {
            const Block status = ComputeStatus(working, seed, counters.Requests[command]);
            reply = MakeFrame(command, &status);
            break;
        }
        case SensorFrame::CmdWriteSetup:
            working = PayloadOf(frame);
            reply = MakeFrame(command, nullptr);
            break;
        case SensorFrame::CmdWriteInfo:
            info = PayloadOf(frame);
            reply = MakeFrame(command, nullptr);
            break;
        case SensorFrame::CmdStoreEeprom:
            stored = !fx.StoreLost;
            if (stored)
                eeprom = working;
            reply = MakeFrame(command, nullptr);
            break;
        case SensorFrame::CmdCmd80:
            reply = MakeFrame(command, nullptr);
            break;
        default:
            break; // unknown commands are ignored
        }
        ++counters.Requests[command];
    }
    cv.notify_all();

    const bool hit = fx.AppliesTo(command);
    std::string note = "rx " + Hex(frame, static_cast<size_t>(length));
    if (command == SensorFrame::CmdStoreEeprom && !stored)
        note += " (store lost)";
    if (reply.empty()) {
        Note(note + " -> unknown command, no reply");
        return;
    }
    if (hit && fx.Silent) {
        Note(note + " -> silent");
        return;
    }
    const auto due = now + std::chrono::milliseconds(hit ? std::max(0, fx.ReplyDelayMs) : 0);
    const bool hold = hit && fx.HoldReplies;
    auto send = [&](OutEntry entry) {
        entry.command = command;
        if (hold)
            Hold(std::move(entry));
        else
            Queue(std::move(entry));
    };
    if (hit && fx.EchoRequest)
        Queue({OutEntry::Kind::Extra,
               std::vector<uint8_t>(frame, frame + length),
               {static_cast<size_t>(length)},
               {},
               now});
    if (hit && fx.BadChecksum)
        reply[reply.size() - 2] ^= 0xFF;
    if (hit && fx.NoiseBytes > 0) {
        std::vector<uint8_t> noise(static_cast<size_t>(std::min(fx.NoiseBytes, 4096)));
        for (auto& b : noise) {
            do
                b = static_cast<uint8_t>(rng());
            while (b == SensorFrame::StartByte);
        }
        const size_t size = noise.size();
        send({OutEntry::Kind::Extra, std::move(noise), {size}, {}, due});
    }
    Note(note + (hold ? " -> held " : " -> tx ") + Hex(reply.data(), reply.size()));
    const size_t size = reply.size();
    send({OutEntry::Kind::Reply, std::move(reply), Cuts(size, hit ? fx.Split : ReplySplit::Whole),
          std::chrono::milliseconds(std::max(0, fx.SplitGapMs)), due});
}

void SensorSimulator::Impl::Hold(OutEntry entry) {
    if (entry.kind == OutEntry::Kind::Reply) {
        {
            std::lock_guard lock(mu);
            ++counters.RepliesHeld;
        }
        cv.notify_all();
    }
    held.push_back(std::move(entry));
}

// The replies whose command is no longer held leave now, in the order they were made.
void SensorSimulator::Impl::ReleaseHeld(Clock::time_point now) {
    if (held.empty())
        return;
    SimFaults fx;
    {
        std::lock_guard lock(mu);
        fx = faults;
    }
    auto stillHeld = [&](uint8_t command) { return fx.HoldReplies && fx.AppliesTo(command); };
    uint64_t released = 0;
    for (auto it = held.begin(); it != held.end();) {
        if (stillHeld(it->command)) {
            ++it;
            continue;
        }
        OutEntry entry = std::move(*it);
        it = held.erase(it);
        entry.due = std::max(entry.due, now);
        if (entry.kind == OutEntry::Kind::Reply) {
            ++released;
            Note("released " + Hex(entry.bytes.data(), entry.bytes.size()));
        }
        Queue(std::move(entry));
    }
    if (released > 0) {
        {
            std::lock_guard lock(mu);
            counters.RepliesHeld -= released;
        }
        cv.notify_all();
    }
}

// The line forgets the replies it kept back, as it forgets those in flight.
void SensorSimulator::Impl::DropHeld() {
    if (held.empty())
        return;
    held.clear();
    {
        std::lock_guard lock(mu);
        counters.RepliesHeld = 0;
    }
    cv.notify_all();
}

void SensorSimulator::Impl::Queue(OutEntry entry) {
    if (queuedBytes + entry.bytes.size() > MaxQueuedBytes) {
        {
            std::lock_guard lock(mu);
            ++counters.DroppedFrames;
        }
        cv.notify_all();
        return;
    }
    queuedBytes += entry.bytes.size();
    out.push_back(std::move(entry));
}

void SensorSimulator::Impl::Pump(Clock::time_point now) {
    while (!out.empty() && !outBlocked && pty.master) {
        OutEntry& e = out.front();
        if (now < e.due)
            return;
        const size_t end = e.cuts[e.piece];
        const ssize_t n = ::write(pty.master.Get(), e.bytes.data() + e.written, end - e.written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                outBlocked = true;
                return;
            }
            out.clear(); // the line is gone
            queuedBytes = 0;
            return;
        }
        e.written += static_cast<size_t>(n);
        if (e.written < end) {
            outBlocked = true;
            return;
        }
        ++e.piece;
        if (e.written < e.bytes.size()) {
            e.due = now + e.gap;
            continue;
        }
        const auto kind = e.kind;
        queuedBytes -= e.bytes.size();
        out.pop_front();
        if (kind != OutEntry::Kind::Extra) {
            {
                std::lock_guard lock(mu);
                ++(kind == OutEntry::Kind::Reply ? counters.RepliesSent : counters.SamplesSent);
            }
            cv.notify_all();
        }
    }
}

void SensorSimulator::Impl::MaybeQueueSample(Clock::time_point now) {
    int interval = 0;
    Block params{};
    {
        std::lock_guard lock(mu);
        interval = sampleIntervalMs;
        params = working;
    }
    if (interval <= 0 || !pty.master) {
        sampleArmed = false;
        return;
    }
    if (!sampleArmed) {
        sampleArmed = true;
        nextSample = now + std::chrono::milliseconds(interval);
        return;
    }
    if (now < nextSample)
        return;
    nextSample = now + std::chrono::milliseconds(interval);
    if (!clientOpen || hangup)
        return; // nobody listens
    for (const auto& e : out)
        if (e.kind == OutEntry::Kind::Sample)
            return; // the previous one is still waiting
    // Words 0..3: the output quantity (velocity for output type 0, else flow), the temperature,
    // the velocity and a running sample number.
    const Block status = ComputeStatus(params, seed ^ 0x70, sampleSeq);
    Block words{};
    words[0] = params[4] == 0 ? status[0] : status[1];
    words[1] = status[2];
    words[2] = status[0];
    words[3] = static_cast<uint16_t>(sampleSeq & 0xFFFFu);
    ++sampleSeq;
    auto frame = MakeFrame(SensorFrame::CmdSample, &words);
    const size_t size = frame.size();
    Queue({OutEntry::Kind::Sample, std::move(frame), {size}, {}, now});
}

// ---------------------------------------------------------------------------------------------

SensorSimulator::Block SensorSimulator::DefaultParams() {
    Block p{};
    p[3] = 105;    // firmware version 1.05
    p[4] = 1;      // output type: mass flow
    p[5] = 0;      // zero (4 mA)
    p[6] = 1000;   // full scale (20 mA), kg/h
    p[7] = 200;    // inner diameter, mm
    p[8] = 0;      // inner base: 0 = circular duct
    p[9] = 1013;   // operating pressure 1.013 bar abs
    p[10] = 10000; // correction factor Ki 1.0000
    p[11] = 15;    // roughness 1.5 micron
    p[12] = 1000;  // gain m 0.1000
    p[13] = 0;     // offset q 0.0000
    return p;
}

SensorSimulator::Block SensorSimulator::DefaultInfo() {
    Block b{};
    b[0] = 0; // batch number 23.456 (high and low 16 bits, thousandths)
    b[1] = 23456;
    b[2] = 7;    // batch suffix
    b[3] = 1234; // serial number
    return b;
}

// The measurement model. The air velocity at the sensor head wobbles slowly around 5 m/s (a
// period of 120 polls) and the temperature around 21 degrees (600 polls), each with a little
// noise; the noise is a hash of (seed, poll number), so the same seed gives the same sequence.
// Everything else follows from the parameters:
//   duct: circular (slot 8 = 0) of diameter slot 7, or square of base slot 8 and height slot 7;
//         section and equivalent (hydraulic) diameter from that;
//   theoretical profile factor fpt = 0.86 + 0.04 * De / (De + 500 mm) - 0.001 * roughness[um];
//   user profile factor fpu = fpt + q + m * (v - 5 m/s) / 100 (gain m slot 12, offset q slot 13);
//   Kp = sqrt(1.013 bar / pressure) (1 when the pressure is 0); average velocity v * fpu * Kp;
//   density of air rho = p / (287.05 * T[K]);
//   volumetric flow Q = average velocity * section * 3600 * Ki [m3/h]; the flow (slot 1) is
//   Q * rho [kg/h] for output type 1, Q for type 2, Q at 1.01325 bar and 0 degrees [Nm3/h] for
//   type 3, and 0 otherwise;
//   mA out of the output quantity (velocity for type 0, else flow): 4 mA at zero (slot 5), 20 mA
//   at full scale (slot 6), clamped to 4..20 (4 mA when full scale is not above zero);
//   mA out of the temperature: 4 mA at -20 degrees, 20 mA at 80 degrees, clamped;
//   speed volt 0..4000 for 0..40 m/s; slot 9 the temperature channel, 20 counts per degree
//   from -50 degrees; slot 11 echoes the offset coefficient (slot 1); slot 15 the firmware.
SensorSimulator::Block SensorSimulator::ComputeStatus(const Block& p, uint64_t seed,
                                                      uint64_t step) {
    constexpr double Pi = std::numbers::pi;
    const double phase = static_cast<double>(SplitMix(seed) % 1000) / 1000.0 * 2 * Pi;
    auto noise = [&](uint64_t channel) { // uniform in [-1, 1)
        const uint64_t h = SplitMix(seed ^ SplitMix(step * 4 + channel));
        return static_cast<double>(h >> 11) / static_cast<double>(1ull << 52) - 1.0;
    };
    const double t = static_cast<double>(step);
    const double v = 5.0 + 0.6 * std::sin(2 * Pi * t / 120 + phase) + 0.05 * noise(0);
    const double temp = 21.0 + 0.8 * std::sin(2 * Pi * t / 600 + 1.3 * phase) + 0.05 * noise(1);

    const int type = p[4];
    const double height = p[7]; // mm: diameter of a circular duct, height of a square one
    const double base = p[8];
    const bool circular = p[8] == 0;
    const double areaMm2 = circular ? Pi * height * height / 4 : base * height;
    const double deq =
        circular ? height : (base + height > 0 ? 2 * base * height / (base + height) : 0);
    const double pressure = p[9] / 1000.0;
    const double ki = p[10] / 10000.0;
    const double roughness = p[11] / 10.0;
    const double gain = p[12] / 10000.0;
    const double offset = p[13] / 10000.0;

    const double fpt =
        std::clamp(0.86 + 0.04 * deq / (deq + 500.0) - 0.001 * roughness, 0.70, 0.98);
    const double fpu = fpt + offset + gain * (v - 5.0) / 100.0;
    const double kp = pressure > 0 ? std::sqrt(1.013 / pressure) : 1.0;
    const double vavg = v * fpu * kp;
    const double kelvin = temp + 273.15;
    const double rho = pressure * 1e5 / (287.05 * kelvin);
    const double q = vavg * areaMm2 * 1e-6 * 3600.0 * ki;
    double flow = 0;
    if (type == 1)
        flow = q * rho;
    else if (type == 2)
        flow = q;
    else if (type == 3)
        flow = q * (pressure / 1.01325) * (273.15 / kelvin);
    const uint16_t flowWord = ToWord(flow);
    const double output = type == 0 ? std::round(v * 100) / 100 : flowWord;
    const double zero = p[5];
    const double full = p[6];
    const double ma =
        full > zero ? std::clamp(4 + 16 * (output - zero) / (full - zero), 4.0, 20.0) : 4.0;
    const double maTemp = std::clamp(4 + 16 * (temp + 20) / 100, 4.0, 20.0);

    Block s{};
    s[0] = ToWord(v * 100);
    s[1] = flowWord;
    s[2] = ToWord(temp * 10);
    s[3] = ToWord(rho * 1000);
    s[4] = ToWord(fpt * 10000);
    s[5] = ToWord(kp * 10000);
    s[6] = ToWord(vavg * 100);
    s[7] = ToWord(deq);
    s[8] = ToWord(v / 40 * 4000, 4000);
    s[9] = ToWord((temp + 50) * 20, 4000);
    s[10] = ToSignedWord(fpu * 10000);
    s[11] = p[1];
    s[12] = ToWord(areaMm2 / 100);
    s[13] = ToWord(ma * 1000);
    s[14] = ToWord(maTemp * 1000);
    s[15] = p[3];
    return s;
}

// ---------------------------------------------------------------------------------------------

SensorSimulator::SensorSimulator(Options options)
    : impl_(std::make_unique<Impl>(std::move(options))) {}
SensorSimulator::SensorSimulator() : SensorSimulator(Options{}) {}
SensorSimulator::~SensorSimulator() = default;

std::string SensorSimulator::SlavePath() const {
    std::lock_guard lock(impl_->mu);
    return impl_->slavePath;
}
std::string SensorSimulator::LinkPath() const {
    return impl_->linkPath;
}
bool SensorSimulator::Plugged() const {
    std::lock_guard lock(impl_->mu);
    return impl_->plugged;
}

SensorSimulator::Block SensorSimulator::WorkingParams() const {
    std::lock_guard lock(impl_->mu);
    return impl_->working;
}
void SensorSimulator::SetWorkingParams(const Block& words) {
    std::lock_guard lock(impl_->mu);
    impl_->working = words;
}
SensorSimulator::Block SensorSimulator::EepromParams() const {
    std::lock_guard lock(impl_->mu);
    return impl_->eeprom;
}
void SensorSimulator::SetEepromParams(const Block& words) {
    std::lock_guard lock(impl_->mu);
    impl_->eeprom = words;
}
SensorSimulator::Block SensorSimulator::Info() const {
    std::lock_guard lock(impl_->mu);
    return impl_->info;
}
void SensorSimulator::SetInfo(const Block& words) {
    std::lock_guard lock(impl_->mu);
    impl_->info = words;
}
SensorSimulator::Block SensorSimulator::NextStatus() const {
    std::lock_guard lock(impl_->mu);
    return ComputeStatus(impl_->working, impl_->seed,
                         impl_->counters.Requests[SensorFrame::CmdReadStatus]);
}

SimFaults SensorSimulator::Faults() const {
    std::lock_guard lock(impl_->mu);
    return impl_->faults;
}
void SensorSimulator::SetFaults(const SimFaults& faults) {
    {
        std::lock_guard lock(impl_->mu);
        impl_->faults = faults;
    }
    impl_->Wake();
}
void SensorSimulator::SetSampleInterval(int ms) {
    {
        std::lock_guard lock(impl_->mu);
        impl_->sampleIntervalMs = std::max(0, ms);
    }
    impl_->Wake();
}

SimCounters SensorSimulator::Counters() const {
    std::lock_guard lock(impl_->mu);
    return impl_->counters;
}
uint64_t SensorSimulator::RequestCount(uint8_t command) const {
    std::lock_guard lock(impl_->mu);
    return impl_->counters.Requests[command];
}
std::vector<LoggedRequest> SensorSimulator::RecentRequests() const {
    std::lock_guard lock(impl_->mu);
    return {impl_->log.begin(), impl_->log.end()};
}
std::optional<std::vector<uint8_t>> SensorSimulator::LastRequest(uint8_t command) const {
    std::lock_guard lock(impl_->mu);
    if (impl_->lastGood[command].empty())
        return std::nullopt;
    return impl_->lastGood[command];
}

bool SensorSimulator::WaitForRequests(uint8_t command, uint64_t count,
                                      std::chrono::milliseconds timeout) const {
    return WaitFor([&](const SimCounters& c) { return c.Requests[command] >= count; }, timeout);
}
bool SensorSimulator::WaitFor(const std::function<bool(const SimCounters&)>& done,
                              std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl_->mu);
    return impl_->cv.wait_for(lock, timeout, [&] { return done(impl_->counters); });
}

void SensorSimulator::Unplug() {
    impl_->Control(1);
}
std::string SensorSimulator::Replug() {
    impl_->Control(2);
    return SlavePath();
}
