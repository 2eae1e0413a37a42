#include "link/Comm.h"

#include "platform/Exception.h"
#include "platform/LinkLog.h"
#include "platform/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

// The kernel's termios2 (TCGETS2/TCSETS2) carries exact bit rates; it cannot be mixed with the C
// library's <termios.h>, so this file drives the line through ioctl alone.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

struct RateCode {
    uint32_t rate;
    tcflag_t code;
};

// Every termios rate constant, to read back what a device reports.
constexpr RateCode RateCodes[] = {
    {0, B0},
    {50, B50},
    {75, B75},
    {110, B110},
    {134, B134},
    {150, B150},
    {200, B200},
    {300, B300},
    {600, B600},
    {1200, B1200},
    {1800, B1800},
    {2400, B2400},
    {4800, B4800},
    {9600, B9600},
    {19200, B19200},
    {38400, B38400},
    {57600, B57600},
    {115200, B115200},
    {230400, B230400},
    {460800, B460800},
    {500000, B500000},
    {576000, B576000},
    {921600, B921600},
    {1000000, B1000000},
    {1152000, B1152000},
    {1500000, B1500000},
    {2000000, B2000000},
    {2500000, B2500000},
    {3000000, B3000000},
    {3500000, B3500000},
    {4000000, B4000000},
};

std::optional<tcflag_t> CodeForRate(uint32_t rate) {
    for (const RateCode& rc : RateCodes)
        if (rc.rate == rate)
            return rc.code;
    return std::nullopt;
}

uint32_t OutputRate(const termios2& t) {
    const tcflag_t code = t.c_cflag & CBAUD;
    if (code != BOTHER)
        for (const RateCode& rc : RateCodes)
            if (rc.code == code)
                return rc.rate;
    return t.c_ospeed;
}

uint32_t InputRate(const termios2& t) {
    const tcflag_t code = (t.c_cflag >> IBSHIFT) & CBAUD;
    if (code == B0)
        return OutputRate(t); // input follows output
    if (code != BOTHER)
        for (const RateCode& rc : RateCodes)
            if (rc.code == code)
                return rc.rate;
    return t.c_ispeed;
}

bool RateClose(uint32_t wanted, uint32_t got) {
    // A UART rounds the rate to its clock divisor; up to 3 % still makes a working line.
    return std::abs(static_cast<double>(got) - wanted) <= 0.03 * wanted;
}

// The line flags that this component sets or clears, for the read-back after an update.
constexpr tcflag_t IflagMask = IGNBRK | BRKINT | IGNPAR | PARMRK | INPCK | ISTRIP | INLCR | IGNCR |
                               ICRNL | IXON | IXOFF | IXANY;
constexpr tcflag_t OflagMask = OPOST;
constexpr tcflag_t LflagMask = ICANON | ECHO | ECHONL | ISIG | IEXTEN;
constexpr tcflag_t CflagMask = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CLOCAL | CREAD | HUPCL;

// A pseudo-terminal has no line to frame characters on: it always reports 8 data bits without
// parity, whatever it was given. Everything else it keeps.
bool SettingsKept(const termios2& wanted, const termios2& got, uint32_t rate, bool pty) {
    const tcflag_t cflagMask = pty ? CflagMask & ~(CSIZE | PARENB) : CflagMask;
    return (got.c_iflag & IflagMask) == (wanted.c_iflag & IflagMask) &&
           (got.c_oflag & OflagMask) == (wanted.c_oflag & OflagMask) &&
           (got.c_lflag & LflagMask) == (wanted.c_lflag & LflagMask) &&
           (got.c_cflag & cflagMask) == (wanted.c_cflag & cflagMask) &&
           got.c_cc[VMIN] == wanted.c_cc[VMIN] && got.c_cc[VTIME] == wanted.c_cc[VTIME] &&
           RateClose(rate, OutputRate(got)) && RateClose(rate, InputRate(got));
}

// The slave side of a pseudo-terminal: Unix98 (majors 136 to 143) or a legacy one (major 3).
bool IsPtySlave(dev_t device) {
    const unsigned m = major(device);
    return (m >= 136 && m <= 143) || m == 3;
}

[[noreturn]] void Raise(const char* text, int code) {
    throw Exception(CommErrorMessage(text, code));
}

int QueuedInput(int fd) {
    int n = 0;
    return ::ioctl(fd, TIOCINQ, &n) == 0 ? n : -1;
}

int RemainingMs(std::chrono::steady_clock::time_point deadline) {
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero())
        return 0;
    // Round up: a poll for 0 ms would return before the deadline and turn the loop once more.
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

constexpr int ReadTotalTimeoutMs = 1000;
constexpr short HangUp = POLLHUP | POLLERR | POLLNVAL;

// The category of an errno from open() and the checks after it.
PortFault OpenFaultOf(int error) {
    switch (error) {
    case 0:
        return PortFault::None;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return PortFault::NotFound;
    case EBUSY:
        return PortFault::InUse;
    case EACCES:
    case EPERM:
    case EROFS:
        return PortFault::NoPermission;
    case ENOTTY:
        return PortFault::NotATerminal;
    default:
        return PortFault::IoError;
    }
}

// The category of an errno from read() or write(): a device that has gone away reports EIO
// (a pseudo-terminal whose far end closed, a pulled USB adapter) or ENODEV/ENXIO.
PortFault IoFaultOf(int error) {
    return error == EIO || error == ENODEV || error == ENXIO ? PortFault::HangUp
                                                             : PortFault::IoError;
}

} // namespace

// The open device. Only a descriptor that got the device for itself (flock and TIOCEXCL) puts
// the saved settings back and gives the device up again; a refused open only closes.
struct TThreadComm::Device {
    UniqueFd fd;
    bool owned = false;
    bool pty = false;    // a pseudo-terminal (see SettingsKept)
    termios2 original{}; // as the device was before Open
    termios2 applied{};  // the line settings last applied, as read back

    explicit Device(int descriptor) : fd(descriptor) {}
    ~Device() {
        if (!owned)
            return;
        ::ioctl(fd.Get(), TCSETS2, &original);
        ::ioctl(fd.Get(), TIOCNXCL);
        ::flock(fd.Get(), LOCK_UN);
    }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;
};

// What an open port and its watcher share. The watcher polls its own duplicate of the device
// descriptor, so closing the port's descriptor (whose number the system may hand out again at
// once) never leaves the watcher polling somebody else's file; the watcher closes its duplicate
// when it ends. The eventfd here wakes it for Close. The link outlives both sides as long as
// either holds it.
struct CommWatchLink {
    CommWatchLink(std::shared_ptr<std::recursive_mutex> lock, int wakeFd)
        : portLock(std::move(lock)), wake(wakeFd) {}

    void Wake() const {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wake.Get(), &one, sizeof one);
    }

    // The port's lock. A delivery takes it and then looks at `handler`; Close clears `handler`
    // under it. So a delivery either runs completely before Close gets the lock, or finds the
    // handler cleared: after Close returns no event reaches the port.
    std::shared_ptr<std::recursive_mutex> portLock;
    TThreadComm* handler = nullptr; // under *portLock

    std::mutex watcherMutex;
    TCommEventThread* watcher = nullptr; // under watcherMutex; cleared when the watcher goes

    UniqueFd wake;
    std::atomic<uint64_t> wakeups{0};
    std::atomic<uint64_t> deliveries{0};
};

uint32_t BaudRateValue(TBaudRate rate) {
    static constexpr uint32_t values[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                          19200, 38400, 56000, 57600, 115200, 128000, 256000};
    const auto i = static_cast<size_t>(rate);
    return i < std::size(values) ? values[i] : 9600;
}

uint32_t CommEventCode(TCommEventType event) {
    switch (event) {
    case evBreak:
        return EV_BREAK;
    case evCts:
        return EV_CTS;
    case evDsr:
        return EV_DSR;
    case evError:
        return EV_ERR;
    case evRing:
        return EV_RING;
    case evRlsd:
        return EV_RLSD;
    case evRxChar:
        return EV_RXCHAR;
    case evRxFlag:
        return EV_RXFLAG;
    case evTxEmpty:
        return EV_TXEMPTY;
    }
    return 0;
}

uint32_t CommEventMask(TCommEventTypes events) {
    uint32_t mask = 0;
    for (int e = evBreak; e <= evTxEmpty; ++e)
        if (events.Contains(static_cast<TCommEventType>(e)))
            mask |= CommEventCode(static_cast<TCommEventType>(e));
    return mask;
}

std::string CommErrorMessage(const char* text, int code) {
    std::string message(text);
    if (const size_t at = message.find("%d"); at != std::string::npos)
        message.replace(at, 2, std::to_string(code));
    return message;
}

// ---- TCommEventChars ----

void TCommEventChars::Assign(const TCommEventChars& source) {
    if (&source == this)
        return;
    xOn_ = source.xOn_;
    xOff_ = source.xOff_;
    error_ = source.error_;
    eof_ = source.eof_;
    evt_ = source.evt_;
    Changed();
}

void TCommEventChars::Set(char& field, char c) {
    if (field == c)
        return;
    field = c;
    Changed();
}

void TCommEventChars::Changed() {
    // Under the port's lock, so the update cannot interleave with one from another thread.
    if (owner_)
        owner_->UpdateDataControlBlockLock();
}

// ---- TThreadComm ----

TThreadComm::TThreadComm()
    : lock_(std::make_shared<std::recursive_mutex>()),
      eventChars_(std::make_unique<TCommEventChars>(this)) {}

TThreadComm::~TThreadComm() {
    try {
        Close();
    } catch (...) {
        // Close raises nothing; a failing mutex must not escape a destructor either.
    }
}

const char* PortFaultText(PortFault fault) noexcept {
    switch (fault) {
    case PortFault::None:
        return "no error";
    case PortFault::NotFound:
        return "no such device";
    case PortFault::InUse:
        return "in use by another program";
    case PortFault::NoPermission:
        return "no permission (add your user to the dialout group)";
    case PortFault::NotATerminal:
        return "not a serial line";
    case PortFault::HangUp:
        return "hang-up (the device has gone)";
    case PortFault::IoError:
        return "I/O error";
    case PortFault::TimeOut:
        return "time-out (the line did not move)";
    }
    return "unknown";
}

PortFault TThreadComm::LastOpenFault() const {
    return OpenFaultOf(LastOpenError());
}

PortFault TThreadComm::LastIoFault() const {
    std::lock_guard lock(*lock_);
    return ioFault_;
}

int TThreadComm::LastIoError() const {
    std::lock_guard lock(*lock_);
    return ioError_;
}

void TThreadComm::NoteIoFault(PortFault fault, int error) {
    if (fault == ioFault_ && error == ioError_)
        return; // said once
    ioFault_ = fault;
    ioError_ = error;
    qCDebug(lcLink, "%s (%s): transfer stopped: %s%s%s", deviceName_.c_str(), devicePath_.c_str(),
            PortFaultText(fault), error ? ", " : "", error ? std::strerror(error) : "");
}

int TThreadComm::LastOpenError() const {
    std::lock_guard lock(*lock_);
    return lastOpenError_;
}

std::string TThreadComm::DevicePath() const {
    std::lock_guard lock(*lock_);
    return devicePath_;
}

void TThreadComm::SetPortNameContext(PortNameContext context) {
    std::lock_guard lock(*lock_);
    portNames_ = std::move(context);
}

void TThreadComm::Open() {
    std::lock_guard lock(*lock_);
    if (open_.load(std::memory_order_relaxed))
        Raise(CommError::PortAssigned, -1);
    if (!CreateHandle()) {
        qCDebug(lcLink, "%s (%s): not opened: %s, %s", deviceName_.c_str(), devicePath_.c_str(),
                PortFaultText(OpenFaultOf(lastOpenError_)), std::strerror(lastOpenError_));
        return;
    }
    ioFault_ = PortFault::None;
    ioError_ = 0;
    try {
        UpdateCommTimeouts();
        UpdateDataControlBlock();
    } catch (...) {
        qCDebug(lcLink, "%s (%s): line settings refused: %s", deviceName_.c_str(),
                devicePath_.c_str(), LogText(std::current_exception()));
        // Closed again, so that the next Open tries the device afresh instead of reporting
        // "Port already assigned" until somebody calls Close.
        device_.reset();
        open_.store(false, std::memory_order_release);
        throw;
    }
    StartWatcher();
}

bool TThreadComm::CreateHandle() {
    devicePath_ = ResolvePortDevice(deviceName_, portNames_);
    lastOpenError_ = 0;
    auto refuse = [this](int error) {
        lastOpenError_ = error;
        return false;
    };
    if (devicePath_.empty())
        return refuse(ENOENT);
    const int fd = ::open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return refuse(errno);
    auto device = std::make_unique<Device>(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return refuse(errno);
    if (!S_ISCHR(st.st_mode))
        return refuse(ENOTTY);
    device->pty = IsPtySlave(st.st_rdev);
    // Not shared: flock keeps out every other open (root's too, which TIOCEXCL lets through).
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return refuse(errno == EWOULDBLOCK ? EBUSY : errno);
    if (::ioctl(fd, TCGETS2, &device->original) != 0) {
        ::flock(fd, LOCK_UN);
        return refuse(ENOTTY); // a character device, but no terminal (/dev/null, ...)
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        const int error = errno;
        ::flock(fd, LOCK_UN);
        return refuse(error);
    }
    device->owned = true;
    device->applied = device->original;
    device_ = std::move(device);
    open_.store(true, std::memory_order_release);
    return true;
}

void TThreadComm::UpdateCommTimeouts() {
    // Reads wait at most ReadTotalTimeoutMs (Read does that itself). Writes get ten times the
    // character time per byte still to go; nothing here can fail on Linux.
    const uint32_t dataBits = 4 + static_cast<uint32_t>(dataBits_);
    const uint32_t bits = 1 + dataBits + (parity_ == paNone ? 0 : 1) + (stopBits_ == sb10 ? 1 : 2);
    writeByteMicros_ = std::max<uint32_t>(1, 10u * bits * 1000000u / BaudRateValue(baudRate_));
}

void TThreadComm::UpdateDataControlBlock() {
    if (!open_.load(std::memory_order_relaxed) || !device_)
        return;
    const int fd = device_->fd.Get();
    termios2 t{};
    if (::ioctl(fd, TCGETS2, &t) != 0)
        Raise(CommError::DataControlBlock, errno);
    if (dataBits_ == da4)
        Raise(CommError::DataControlBlock, EINVAL); // no 4-bit characters on Linux

    // Raw: every byte passes unchanged both ways, nothing is echoed or interpreted.
    t.c_iflag &= ~(IGNBRK | BRKINT | IGNPAR | PARMRK | INPCK | ISTRIP | INLCR | IGNCR | ICRNL |
                   IXON | IXOFF | IXANY | IUCLC | IMAXBEL);
    if (options_.Contains(coParityCheck))
        t.c_iflag |= INPCK;
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ICANON | ECHO | ECHOE | ECHOK | ECHONL | ISIG | IEXTEN);

    // Character format; CRTSCTS stays as the device has it.
    static constexpr tcflag_t sizes[] = {CS5, CS5, CS6, CS7, CS8};
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | HUPCL);
    t.c_cflag |= CLOCAL | CREAD | sizes[dataBits_];
    switch (parity_) {
    case paNone:
        break;
    case paOdd:
        t.c_cflag |= PARENB | PARODD;
        break;
    case paEven:
        t.c_cflag |= PARENB;
        break;
    case paMark:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case paSpace:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    }
    if (stopBits_ != sb10)
        t.c_cflag |= CSTOPB;

    const uint32_t rate = BaudRateValue(baudRate_);
    t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT)); // input speed bits 0: input follows output
    t.c_cflag |= CodeForRate(rate).value_or(BOTHER);
    t.c_ispeed = rate;
    t.c_ospeed = rate;

    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    t.c_cc[VSTART] = static_cast<cc_t>(eventChars_->XOnChar());
    t.c_cc[VSTOP] = static_cast<cc_t>(eventChars_->XOffChar());
    t.c_cc[VEOF] = static_cast<cc_t>(eventChars_->EoFChar());

    if (::ioctl(fd, TCSETS2, &t) != 0)
        Raise(CommError::DataControlBlock, errno);
    termios2 got{};
    if (::ioctl(fd, TCGETS2, &got) != 0)
        Raise(CommError::DataControlBlock, errno);
    if (!SettingsKept(t, got, rate, device_->pty))
        Raise(CommError::DataControlBlock, EINVAL); // the device refused part of it
    device_->applied = got;
}

void TThreadComm::UpdateDataControlBlockLock() {
    std::lock_guard lock(*lock_);
    UpdateCommTimeouts();
    UpdateDataControlBlock();
}

void TThreadComm::StartWatcher() {
    UniqueFd watched(::fcntl(device_->fd.Get(), F_DUPFD_CLOEXEC, 0));
    UniqueFd wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (watched.Get() < 0 || wake.Get() < 0) {
        // Out of descriptors: the port cannot work, so it stays closed like a busy device.
        lastOpenError_ = errno;
        device_.reset();
        open_.store(false, std::memory_order_release);
        return;
    }
    auto link = std::make_shared<CommWatchLink>(lock_, wake.Release());
    link->handler = this;
    auto watcher =
        std::make_unique<TCommEventThread>(watched.Release(), suspendTime_, monitorEvents_, link);
    {
        std::lock_guard guard(link->watcherMutex);
        link->watcher = watcher.get();
    }
    link_ = std::move(link);
    TThread::StartSelfOwned(std::move(watcher));
}

void TThreadComm::DetachWatcher() {
    if (!link_)
        return;
    link_->handler = nullptr; // a delivery already on its way finds no handler
    {
        std::lock_guard guard(link_->watcherMutex);
        if (link_->watcher)
            link_->watcher->Terminate(); // also releases its hand-off if it has not started
    }
    link_->Wake();
    link_.reset(); // not waited for: it may be waiting for this very thread
}

void TThreadComm::Close() {
    std::lock_guard lock(*lock_);
    if (!open_.load(std::memory_order_relaxed))
        return;
    DetachWatcher();
    // Pending input and output are discarded, as a stopped watcher leaves the device.
    ::ioctl(device_->fd.Get(), TCFLSH, TCIOFLUSH);
    device_.reset(); // restores the saved settings, gives the device up, closes it
    open_.store(false, std::memory_order_release);
    ++closes_;
}

int TThreadComm::Write(const void* buffer, int count) {
    std::lock_guard lock(*lock_);
    if (!open_.load(std::memory_order_relaxed))
        return -1;
    if (count <= 0 || buffer == nullptr)
        return 0;
    const int fd = device_->fd.Get();
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    int done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd, bytes + done, static_cast<size_t>(count - done));
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            NoteIoFault(IoFaultOf(errno), errno);
            break;
        }
        // The driver's buffer is full: wait until it takes more, but no longer than the bytes
        // queued and still to go need on the line. A line that does not move ends the write.
        int queued = 0;
        if (::ioctl(fd, TIOCOUTQ, &queued) != 0 || queued < 0)
            queued = 0;
        const uint64_t waitMicros =
            static_cast<uint64_t>(queued + (count - done)) * writeByteMicros_;
        const int timeoutMs = static_cast<int>(std::min<uint64_t>(waitMicros / 1000 + 1, 60000));
        pollfd pfd{fd, POLLOUT, 0};
        const int r = ::poll(&pfd, 1, timeoutMs);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0) {
            NoteIoFault(PortFault::IoError, errno);
            break;
        }
        if (r == 0 || (pfd.revents & HangUp)) {
            NoteIoFault(r == 0 ? PortFault::TimeOut : PortFault::HangUp, 0);
            break;
        }
    }
    return done;
}

int TThreadComm::Read(void* buffer, int count) {
    std::lock_guard lock(*lock_);
    if (!open_.load(std::memory_order_relaxed))
        return -1;
    if (count <= 0 || buffer == nullptr)
        return 0;
    const int fd = device_->fd.Get();
    auto* bytes = static_cast<uint8_t*>(buffer);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(ReadTotalTimeoutMs);
    int got = 0;
    bool readable = false; // poll said there is something: an empty read then means hang-up
    while (got < count) {
        // With VMIN = VTIME = 0 a read returns 0 (or EAGAIN) when nothing is waiting.
        const ssize_t n = ::read(fd, bytes + got, static_cast<size_t>(count - got));
        if (n > 0) {
            got += static_cast<int>(n);
            bytesRead_ += static_cast<uint64_t>(n);
            readable = false;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            NoteIoFault(IoFaultOf(errno), errno);
            break;
        }
        if (readable) {
            NoteIoFault(PortFault::HangUp, 0); // readable yet empty: hung up
            break;
        }
        const int timeoutMs = RemainingMs(deadline);
        if (timeoutMs == 0) {
            NoteIoFault(PortFault::TimeOut, 0);
            break;
        }
        pollfd pfd{fd, POLLIN, 0};
        const int r = ::poll(&pfd, 1, timeoutMs);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0) {
            NoteIoFault(r == 0 ? PortFault::TimeOut : PortFault::IoError, r == 0 ? 0 : errno);
            break;
        }
        readable = true; // read once more: bytes may still be there beside a hang-up
    }
    return got;
}

TComStat TThreadComm::LineStatus() const {
    TComStat stat;
    if (!device_)
        return stat;
    const int fd = device_->fd.Get();
    int n = 0;
    if (::ioctl(fd, TIOCINQ, &n) == 0 && n > 0)
        stat.InQue = static_cast<uint32_t>(n);
    n = 0;
    if (::ioctl(fd, TIOCOUTQ, &n) == 0 && n > 0)
        stat.OutQue = static_cast<uint32_t>(n);
    int lines = 0;
    if ((device_->applied.c_cflag & CRTSCTS) && ::ioctl(fd, TIOCMGET, &lines) == 0)
        stat.CtsHold = !(lines & TIOCM_CTS);
    return stat;
}

void TThreadComm::CheckOpen() const {
    if (Enabled())
        Raise(CommError::PortAssigned, -1);
}

int TThreadComm::InQueCount() const {
    std::lock_guard lock(*lock_);
    if (!open_.load(std::memory_order_relaxed))
        return -1;
    return QueuedInput(device_->fd.Get());
}

int TThreadComm::OutQueCount() const {
    std::lock_guard lock(*lock_);
    if (!open_.load(std::memory_order_relaxed))
        return -1;
    int n = 0;
    return ::ioctl(device_->fd.Get(), TIOCOUTQ, &n) == 0 ? n : -1;
}

void TThreadComm::PurgeIn() {
    std::lock_guard lock(*lock_);
    if (open_.load(std::memory_order_relaxed))
        ::ioctl(device_->fd.Get(), TCFLSH, TCIFLUSH);
}

void TThreadComm::PurgeOut() {
    std::lock_guard lock(*lock_);
    if (open_.load(std::memory_order_relaxed))
        ::ioctl(device_->fd.Get(), TCFLSH, TCOFLUSH);
}

bool TThreadComm::GetModemState(int line) const {
    std::lock_guard lock(*lock_);
    if (!open_.load(std::memory_order_relaxed))
        return false;
    int lines = 0;
    if (::ioctl(device_->fd.Get(), TIOCMGET, &lines) != 0)
        return false;
    switch (line) {
    case 1:
        return lines & TIOCM_CTS;
    case 2:
        return lines & TIOCM_DSR;
    case 3:
        return lines & TIOCM_RNG;
    case 4:
        return lines & TIOCM_CAR;
    default:
        return false;
    }
}

bool TThreadComm::GetComState(int flag) const {
    std::lock_guard lock(*lock_);
    if (!open_.load(std::memory_order_relaxed))
        return false;
    const TComStat stat = LineStatus();
    switch (flag) {
    case 2:
        return stat.DsrHold;
    case 3:
        return stat.RlsdHold;
    case 4:
        return stat.XoffHold;
    case 5:
        return stat.XoffSent;
    default:
        return stat.CtsHold;
    }
}

void TThreadComm::SetDTRState(bool on) {
    EscapeComm(on ? CommEscape::SETDTR : CommEscape::CLRDTR);
}

void TThreadComm::SetRTSState(bool on) {
    EscapeComm(on ? CommEscape::SETRTS : CommEscape::CLRRTS);
}

void TThreadComm::SetBREAKState(bool on) {
    EscapeComm(on ? CommEscape::SETBREAK : CommEscape::CLRBREAK);
    std::lock_guard lock(*lock_);
    if (open_.load(std::memory_order_relaxed))
        ::ioctl(device_->fd.Get(), TCFLSH, TCIOFLUSH);
}

void TThreadComm::SetXONState(bool on) {
    EscapeComm(on ? CommEscape::SETXON : CommEscape::SETXOFF);
}

void TThreadComm::EscapeComm(uint32_t function) {
    std::lock_guard lock(*lock_);
    if (!open_.load(std::memory_order_relaxed))
        Raise(CommError::NotOpen, -1);
    const int fd = device_->fd.Get();
    int bits = 0;
    int r = -1;
    switch (function) {
    case CommEscape::SETXOFF:
        r = ::ioctl(fd, TCXONC, TCOOFF);
        break;
    case CommEscape::SETXON:
        r = ::ioctl(fd, TCXONC, TCOON);
        break;
    case CommEscape::SETRTS:
    case CommEscape::CLRRTS:
        bits = TIOCM_RTS;
        r = ::ioctl(fd, function == CommEscape::SETRTS ? TIOCMBIS : TIOCMBIC, &bits);
        break;
    case CommEscape::SETDTR:
    case CommEscape::CLRDTR:
        bits = TIOCM_DTR;
        r = ::ioctl(fd, function == CommEscape::SETDTR ? TIOCMBIS : TIOCMBIC, &bits);
        break;
    case CommEscape::SETBREAK:
        r = ::ioctl(fd, TIOCSBRK);
        break;
    case CommEscape::CLRBREAK:
        r = ::ioctl(fd, TIOCCBRK);
        break;
    default:
        errno = EINVAL;
        break;
    }
    if (r != 0)
        Raise(CommError::EscapeFunction, errno);
}

void TThreadComm::HandleCommEvent(TCommEventThread* /*Sender*/, uint32_t Status) {
    std::lock_guard lock(*lock_);
    // Linux keeps no error flags to clear; the status record gives the queue counts.
    const TComStat stat = LineStatus();
    announced_ = stat.InQue;
    const int32_t errors = 0;
    // A handler that closes the port ends the dispatch: nothing more reaches the events.
    const uint64_t closes = closes_;
    auto fire = [&](uint32_t bit, auto& event, auto... args) {
        if (closes_ != closes || !(Status & bit) || !event)
            return;
        event(this, args...);
    };
    fire(EV_BREAK, OnBreak);
    fire(EV_CTS, OnCts);
    fire(EV_DSR, OnDsr);
    fire(EV_ERR, OnError, errors);
    fire(EV_RING, OnRing);
    fire(EV_RLSD, OnRlsd);
    if (stat.InQue > 0)
        fire(EV_RXCHAR, OnRxChar, stat.InQue);
    fire(EV_RXFLAG, OnRxFlag);
    fire(EV_TXEMPTY, OnTxEmpty);
    if (closes_ == closes && OnComStatEvent)
        OnComStatEvent(this, Status, stat);
}

uint32_t TThreadComm::DeliverCommEvent(TCommEventThread* sender, uint32_t status) {
    std::lock_guard lock(*lock_);
    const uint64_t readBefore = bytesRead_;
    HandleCommEvent(sender, status);
    const uint64_t read = bytesRead_ - readBefore;
    return read >= announced_ ? 0 : announced_ - static_cast<uint32_t>(read);
}

TCommWatchStats TThreadComm::WatcherStats() const {
    std::lock_guard lock(*lock_);
    if (!link_)
        return {};
    return {link_->wakeups.load(std::memory_order_relaxed),
            link_->deliveries.load(std::memory_order_relaxed)};
}

// ---- property setters ----

template <typename T> void TThreadComm::SetLineField(T& field, T value) {
    std::lock_guard lock(*lock_);
    if (field == value)
        return;
    field = value;
    UpdateCommTimeouts();
    UpdateDataControlBlock();
}

template <typename T> void TThreadComm::SetWhileClosed(T& field, T value) {
    std::lock_guard lock(*lock_);
    if (!open_.load(std::memory_order_relaxed))
        field = std::move(value);
}

void TThreadComm::SetDeviceName(const std::string& name) {
    SetWhileClosed(deviceName_, name);
}
void TThreadComm::SetReadBufSize(uint16_t size) {
    SetWhileClosed(readBufSize_, size);
}
void TThreadComm::SetWriteBufSize(uint16_t size) {
    SetWhileClosed(writeBufSize_, size);
}
void TThreadComm::SetSuspendTime(uint32_t ms) {
    SetWhileClosed(suspendTime_, ms);
}
void TThreadComm::SetMonitorEvents(TCommEventTypes events) {
    SetWhileClosed(monitorEvents_, events);
}
void TThreadComm::SetBaudRate(TBaudRate rate) {
    SetLineField(baudRate_, rate);
}
void TThreadComm::SetParity(TParity parity) {
    SetLineField(parity_, parity);
}
void TThreadComm::SetStopBits(TStopBits bits) {
    SetLineField(stopBits_, bits);
}
void TThreadComm::SetDataBits(TDataBits bits) {
    SetLineField(dataBits_, bits);
}
void TThreadComm::SetOptions(TCommOptions options) {
    SetLineField(options_, options);
}
void TThreadComm::SetFlowControl(TFlowControl flow) {
    SetLineField(flowControl_, flow);
}

// ---- TCommEventThread ----

TCommEventThread::TCommEventThread(int device, uint32_t suspendTime, TCommEventTypes events,
                                   std::shared_ptr<CommWatchLink> link)
    : device_(device), eventMask_(CommEventMask(events)),
      recheckMs_(static_cast<int>(std::clamp<uint32_t>(suspendTime, 1, 1000))),
      link_(std::move(link)) {}

TCommEventThread::~TCommEventThread() {
    {
        std::lock_guard guard(link_->watcherMutex);
        if (link_->watcher == this)
            link_->watcher = nullptr;
    }
    ::close(device_);
}

// Waits for input and hands each arrival to the user-interface thread. Bytes that a delivery
// left unread would keep poll(POLLIN) returning at once, so after such a delivery it does not
// wait for POLLIN: it re-checks the input count every recheckMs_ and delivers again only when the
// count exceeds the bytes announced and left unread. That baseline is taken by the delivery
// itself (announced minus read), so bytes that come in while the handler runs count as new.
// With the queue empty it blocks without limit. A hang-up ends it quietly: its port learns of it
// through short reads and writes.
void TCommEventThread::Execute() {
    const bool watchInput = eventMask_ & EV_RXCHAR;
    bool unread = false; // bytes were waiting after the last delivery
    int lastCount = 0;   // how many
    while (!Terminated()) {
        pollfd fds[2] = {{link_->wake.Get(), POLLIN, 0},
                         {device_, static_cast<short>(watchInput && !unread ? POLLIN : 0), 0}};
        const int r = ::poll(fds, 2, unread ? recheckMs_ : -1);
        link_->wakeups.fetch_add(1, std::memory_order_relaxed);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 || Terminated() || fds[0].revents)
            return;
        if (fds[1].revents & HangUp) {
            qCDebug(lcLink, "port watcher: the device hung up");
            return;
        }
        const int waiting = QueuedInput(device_);
        if (waiting < 0)
            return;
        if (unread) {
            // A re-check: deliver only when new bytes came in since the last delivery.
            const bool grown = waiting > lastCount;
            lastCount = waiting;
            unread = waiting > 0;
            if (!grown)
                continue;
        } else if (waiting == 0) {
            // Readable but nothing counted: re-check on the timer rather than poll again at once.
            unread = true;
            lastCount = 0;
            continue;
        }
        status_ = EV_RXCHAR;
        link_->deliveries.fetch_add(1, std::memory_order_relaxed);
        auto deliver = [this] { Deliver(); };
        leftUnread_ = 0;
        if (!Synchronize(deliver))
            return; // released by Close
        lastCount = static_cast<int>(leftUnread_);
        unread = QueuedInput(device_) > 0;
    }
}

void TCommEventThread::Deliver() {
    std::lock_guard lock(*link_->portLock);
    if (TThreadComm* port = link_->handler)
        leftUnread_ = port->DeliverCommEvent(this, status_);
}
