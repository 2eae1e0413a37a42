// The serial port component against pseudo-terminals: the test holds the master side and plays
// the far end; an extra descriptor on the slave side shows the line settings the port applied.
#include "SensorSim.h"
#include "link/Comm.h"
#include "platform/Exception.h"
#include "platform/PseudoTerminal.h"
#include "support/QtTestApp.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

// The kernel's termios2 shows exact rates; it cannot be mixed with <termios.h>.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

namespace {

// A pseudo-terminal: the test is the far end on the master side.
class Pty {
public:
    Pty() : pair_(OpenPseudoTerminal(/*nonBlocking=*/true)), master_(pair_.Master.Get()) {}
    ~Pty() { HangUp(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& SlavePath() const { return pair_.SlavePath; }

    // Sends every byte (the far end writing to the line).
    void Send(const Bytes& bytes) {
        size_t done = 0;
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (done < bytes.size() && Clock::now() < deadline) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
                continue;
            }
            pollfd p{master_, POLLOUT, 0};
            ::poll(&p, 1, 100);
        }
        ASSERT_EQ(done, bytes.size());
    }
    // Sends what fits at once; for load generators that must never block.
    void TrySend(const Bytes& bytes) {
        [[maybe_unused]] ssize_t n = ::write(master_, bytes.data(), bytes.size());
    }
    // Receives `count` bytes (what the port wrote), or what came before the deadline.
    Bytes Receive(size_t count, int timeoutMs = 10000) {
        Bytes got;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        uint8_t buf[4096];
        while (got.size() < count && Clock::now() < deadline) {
            const ssize_t n = ::read(master_, buf, std::min(sizeof buf, count - got.size()));
            if (n > 0) {
                got.insert(got.end(), buf, buf + n);
                continue;
            }
            pollfd p{master_, POLLIN, 0};
            ::poll(&p, 1, 50);
        }
        return got;
    }
    // Bytes waiting on the master side right now.
    size_t Pending() const {
        int n = 0;
        return ::ioctl(master_, TIOCINQ, &n) == 0 ? static_cast<size_t>(n) : 0;
    }
    // The far end goes away: the slave side sees a hang-up.
    void HangUp() {
        pair_.Master.Reset();
        master_ = -1;
    }

private:
    PseudoTerminal pair_;
    int master_ = -1; // pair_.Master's descriptor, -1 after HangUp
};

// A descriptor of our own on a terminal, to look at (and tamper with) its line settings.
class Observer {
public:
    explicit Observer(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
        if (fd_ < 0)
            throw std::runtime_error("cannot open " + path);
    }
    ~Observer() { ::close(fd_); }
    Observer(const Observer&) = delete;
    Observer& operator=(const Observer&) = delete;

    termios2 Get() const {
        termios2 t{};
        EXPECT_EQ(::ioctl(fd_, TCGETS2, &t), 0);
        return t;
    }
    void Set(const termios2& t) const { EXPECT_EQ(::ioctl(fd_, TCSETS2, &t), 0); }
    void SetRate(tcflag_t code) const {
        termios2 t = Get();
        t.c_cflag = (t.c_cflag & ~(CBAUD | (CBAUD << IBSHIFT))) | code;
        Set(t);
    }

private:
    int fd_;
};

tcflag_t RateCode(const termios2& t) {
    return t.c_cflag & CBAUD;
}

bool SameSettings(const termios2& a, const termios2& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::equal(a.c_cc, a.c_cc + NCCS, b.c_cc) &&
           a.c_ispeed == b.c_ispeed && a.c_ospeed == b.c_ospeed;
}

// Runs fn and expects the component's exception with exactly `message`.
void ExpectCommError(const std::function<void()>& fn, const std::string& message) {
    try {
        fn();
        ADD_FAILURE() << "no exception, expected \"" << message << "\"";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), message);
    }
}

Bytes Iota(size_t n, uint8_t first = 0) {
    Bytes b(n);
    std::iota(b.begin(), b.end(), first);
    return b;
}

// Turns the event loop until pred() holds or the deadline passes. Unlike a loop of
// processEvents(flags, ms), which returns at once when nothing is pending and so keeps a CPU busy,
// this blocks for events; a 5 ms timer bounds each wait so that a condition set by another thread
// is seen too. (A busy waiting test starves the kernel's tty work on a small machine: bytes then
// stop reaching the pseudo-terminal for seconds.)
template <typename Pred> bool LoopUntil(Pred pred, int timeoutMs = 10000) {
    TestApp();
    QTimer tick;
    tick.start(5);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (Clock::now() > deadline)
            return pred();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Waits off the event loop (the UI thread does not serve hand-offs meanwhile).
template <typename Pred> bool WaitWithoutLoop(Pred pred, int timeoutMs = 10000) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (Clock::now() > deadline)
            return pred();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class CommTest : public testing::Test {
protected:
    void SetUp() override { TestApp(); }
    void TearDown() override {
        // Every watcher ends once its port is closed; none may be left behind.
        EXPECT_TRUE(TThread::WaitForSelfOwnedThreads(10000));
    }

    // A port on the test's pseudo-terminal that records its receive events.
    void OpenOn(TComm& port, const std::string& path) {
        port.SetDeviceName(path);
        port.OnRxChar = [this](TThreadComm* sender, uint32_t count) {
            rxCounts.push_back(count);
            if (readInHandler) {
                Bytes buf(count);
                const int n = sender->Read(buf.data(), static_cast<int>(count));
                if (n > 0)
                    received.insert(received.end(), buf.begin(), buf.begin() + n);
            }
        };
        port.Open();
        ASSERT_TRUE(port.Enabled()) << "errno " << port.LastOpenError();
    }

    Pty pty;
    std::vector<uint32_t> rxCounts;
    bool readInHandler = false;
    Bytes received;
};

// ---- opening ----

TEST_F(CommTest, DevicesThatCannotServeAsAPortLeaveItClosedWithoutAnError) {
    const fs::path dir = fs::temp_directory_path() / ("vextor-comm-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "plain") << "not a device";
    const struct {
        std::string name;
        int error;
    } cases[] = {
        {(dir / "missing").string(), ENOENT},
        {dir.string(), EISDIR},
        {(dir / "plain").string(), ENOTTY}, // not a character device
        {"/dev/null", ENOTTY},              // a character device, but no terminal
        {"", ENOENT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TComm port;
        port.SetDeviceName(c.name);
        EXPECT_NO_THROW(port.Open());
        EXPECT_FALSE(port.Enabled());
        EXPECT_EQ(port.LastOpenError(), c.error);
        uint8_t buf[4] = {1, 2, 3, 4};
        EXPECT_EQ(port.Write(buf, 4), -1);
        EXPECT_EQ(port.Read(buf, 4), -1);
        EXPECT_EQ(port.InQueCount(), -1);
        EXPECT_EQ(port.OutQueCount(), -1);
        EXPECT_NO_THROW(port.Close());
        ExpectCommError([&] { port.SetDTRState(true); }, "Port not open (Error: -1)");
    }
    fs::remove_all(dir);
}

TEST_F(CommTest, OpenTwiceRaisesAndLeavesThePortOpen) {
    TComm port;
    OpenOn(port, pty.SlavePath());
    ExpectCommError([&] { port.Open(); }, "Port already assigned (open) (Error: -1)");
    ExpectCommError([&] { port.CheckOpen(); }, "Port already assigned (open) (Error: -1)");
    EXPECT_TRUE(port.Enabled());
    const Bytes frame = {0x02, 0x06, 0x01, 0x50, 0x57, 0x03};
    EXPECT_EQ(port.Write(frame.data(), 6), 6);
    EXPECT_EQ(pty.Receive(6), frame);
    port.Close();
    EXPECT_NO_THROW(port.CheckOpen());
}

TEST_F(CommTest, TheDeviceIsNotSharedWhileOpen) {
    TComm first, second;
    OpenOn(first, pty.SlavePath());
    second.SetDeviceName(pty.SlavePath());
    second.Open();
    EXPECT_FALSE(second.Enabled());
    EXPECT_EQ(second.LastOpenError(), EBUSY);
    first.Close();
    second.Open();
    EXPECT_TRUE(second.Enabled());
    EXPECT_EQ(second.LastOpenError(), 0);
}

TEST_F(CommTest, DestructorClosesAnOpenPortAndRestoresTheLine) {
    Observer line(pty.SlavePath());
    const termios2 before = line.Get();
    {
        TComm port;
        OpenOn(port, pty.SlavePath());
        EXPECT_FALSE(SameSettings(line.Get(), before)); // raw now
    }
    EXPECT_TRUE(SameSettings(line.Get(), before));
    TComm again;
    OpenOn(again, pty.SlavePath());
}

TEST_F(CommTest, ComNamesOpenTheMappedDeviceAndKeepTheirName) {
    const fs::path dir =
        fs::temp_directory_path() / ("vextor-comdev-" + std::to_string(::getpid()));
    fs::create_directories(dir / "dev");
    fs::create_symlink(pty.SlavePath(), dir / "dev" / "ttyUSB0");
    TComm port;
    port.SetPortNameContext({dir / "dev", dir / "sys", {}});
    OpenOn(port, "Com1");
    EXPECT_EQ(port.DeviceName(), "Com1");
    EXPECT_EQ(port.DevicePath(), (dir / "dev" / "ttyUSB0").string());
    port.Close();
    port.SetDeviceName("COM2"); // no second device
    port.Open();
    EXPECT_FALSE(port.Enabled());
    EXPECT_EQ(port.LastOpenError(), ENOENT);
    fs::remove_all(dir);
}

// ---- properties ----

TEST_F(CommTest, DefaultsAreThoseOfTheComponent) {
    TComm port;
    EXPECT_EQ(port.DeviceName(), "Com2");
    EXPECT_EQ(port.ReadTimeout(), 1000);
    EXPECT_EQ(port.WriteTimeout(), 1000);
    EXPECT_EQ(port.ReadBufSize(), 4096);
    EXPECT_EQ(port.WriteBufSize(), 2048);
    EXPECT_EQ(port.SuspendTime(), 5u);
    EXPECT_EQ(port.MonitorEvents(), AllCommEvents);
    EXPECT_EQ(CommEventMask(port.MonitorEvents()), 0x1FFu);
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.Parity(), paNone);
    EXPECT_EQ(port.StopBits(), sb10);
    EXPECT_EQ(port.DataBits(), da8);
    EXPECT_TRUE(port.Options().Empty());
    EXPECT_EQ(port.FlowControl(), fcDefault);
    EXPECT_EQ(port.EventChars().XOnChar(), 0x11);
    EXPECT_EQ(port.EventChars().XOffChar(), 0x13);
    EXPECT_EQ(port.EventChars().ErrorChar(), 0);
    EXPECT_EQ(port.EventChars().EoFChar(), 0);
    EXPECT_EQ(port.EventChars().EvtChar(), 0);
    EXPECT_FALSE(port.Enabled());
}

TEST_F(CommTest, OpenTimePropertiesChangeOnlyWhileClosed) {
    const struct {
        const char* name;
        std::function<void(TComm&)> set;
        std::function<bool(const TComm&)> changed;
    } cases[] = {
        {"DeviceName", [](TComm& p) { p.SetDeviceName("/dev/elsewhere"); },
         [](const TComm& p) { return p.DeviceName() == "/dev/elsewhere"; }},
        {"ReadBufSize", [](TComm& p) { p.SetReadBufSize(64); },
         [](const TComm& p) { return p.ReadBufSize() == 64; }},
        {"WriteBufSize", [](TComm& p) { p.SetWriteBufSize(64); },
         [](const TComm& p) { return p.WriteBufSize() == 64; }},
        {"SuspendTime", [](TComm& p) { p.SetSuspendTime(50); },
         [](const TComm& p) { return p.SuspendTime() == 50; }},
        {"MonitorEvents", [](TComm& p) { p.SetMonitorEvents({evRxChar}); },
         [](const TComm& p) { return p.MonitorEvents() == TCommEventTypes{evRxChar}; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TComm port;
        OpenOn(port, pty.SlavePath());
        c.set(port);
        EXPECT_FALSE(c.changed(port));
        EXPECT_EQ(port.DevicePath(), pty.SlavePath());
        port.Close();
        c.set(port);
        EXPECT_TRUE(c.changed(port));
    }
}

TEST_F(CommTest, LineSettingsReachTheDevice) {
    const struct {
        TBaudRate baud;
        TParity parity;
        TStopBits stop;
        TDataBits data;
        tcflag_t code;  // the rate constant, or BOTHER for a rate without one
        uint32_t rate;  // exact rate for BOTHER
        tcflag_t cflag; // CSIZE | PARENB | PARODD | CMSPAR | CSTOPB for a real UART
    } cases[] = {
        {br9600, paNone, sb10, da8, B9600, 0, CS8},
        {br38400, paEven, sb20, da7, B38400, 0, CS7 | PARENB | CSTOPB},
        {br110, paOdd, sb10, da8, B110, 0, CS8 | PARENB | PARODD},
        {br115200, paSpace, sb10, da6, B115200, 0, CS6 | PARENB | CMSPAR},
        {br14400, paMark, sb15, da5, BOTHER, 14400, CS5 | PARENB | PARODD | CMSPAR | CSTOPB},
        {br56000, paNone, sb10, da8, BOTHER, 56000, CS8},
        {br128000, paNone, sb10, da8, BOTHER, 128000, CS8},
        {br256000, paNone, sb10, da8, BOTHER, 256000, CS8},
    };
    Observer line(pty.SlavePath());
    for (const auto& c : cases) {
        SCOPED_TRACE(BaudRateValue(c.baud));
        TComm port;
        port.SetBaudRate(c.baud);
        port.SetParity(c.parity);
        port.SetStopBits(c.stop);
        port.SetDataBits(c.data);
        OpenOn(port, pty.SlavePath());
        const termios2 t = line.Get();
        EXPECT_EQ(RateCode(t), c.code);
        if (c.code == BOTHER) {
            EXPECT_EQ(t.c_ospeed, c.rate);
            EXPECT_EQ(t.c_ispeed, c.rate);
        }
        // A pseudo-terminal keeps everything but the character size and the parity bit: it
        // reports 8 bits without parity whatever it is given.
        EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR | CSTOPB), c.cflag & (PARODD | CMSPAR | CSTOPB));
        EXPECT_EQ(t.c_cflag & (CSIZE | PARENB), static_cast<tcflag_t>(CS8));
    }
}

TEST_F(CommTest, TheLineIsRawWithoutFlowControlOrHangUp) {
    Observer line(pty.SlavePath());
    TComm port;
    OpenOn(port, pty.SlavePath());
    const termios2 t = line.Get();
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP | BRKINT | PARMRK |
                           INPCK | IGNBRK),
              0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), CLOCAL | CREAD);
    EXPECT_EQ(t.c_cflag & HUPCL, 0u);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);
    EXPECT_EQ(t.c_cc[VSTART], 0x11);
    EXPECT_EQ(t.c_cc[VSTOP], 0x13);
    port.SetOptions({coParityCheck});
    EXPECT_NE(line.Get().c_iflag & INPCK, 0u);
}

TEST_F(CommTest, ASettingChangeReappliesAtOnceAndTheSameValueDoesNothing) {
    Observer line(pty.SlavePath());
    TComm port;
    OpenOn(port, pty.SlavePath());
    EXPECT_EQ(RateCode(line.Get()), B9600);
    port.SetBaudRate(br38400);
    EXPECT_EQ(RateCode(line.Get()), B38400);

    line.SetRate(B1200); // changed behind the port's back
    port.SetBaudRate(br38400);
    EXPECT_EQ(RateCode(line.Get()), B1200) << "an unchanged value must not re-apply";
    port.SetBaudRate(br19200);
    EXPECT_EQ(RateCode(line.Get()), B19200);

    // FlowControl re-applies the settings but leaves the hardware handshake alone.
    line.SetRate(B1200);
    termios2 t = line.Get();
    t.c_cflag |= CRTSCTS;
    line.Set(t);
    port.SetFlowControl(fcNone);
    EXPECT_EQ(RateCode(line.Get()), B19200);
    EXPECT_NE(line.Get().c_cflag & CRTSCTS, 0u);

    // Each special character re-applies; Assign copies all five.
    port.EventChars().SetXOffChar(0x7E);
    EXPECT_EQ(line.Get().c_cc[VSTOP], 0x7E);
    TCommEventChars chars;
    chars.SetXOnChar(0x21);
    chars.SetXOffChar(0x22);
    chars.SetErrorChar(0x23);
    chars.SetEoFChar(0x24);
    chars.SetEvtChar(0x25);
    port.SetEventChars(chars);
    EXPECT_EQ(port.EventChars().XOnChar(), 0x21);
    EXPECT_EQ(port.EventChars().XOffChar(), 0x22);
    EXPECT_EQ(port.EventChars().ErrorChar(), 0x23);
    EXPECT_EQ(port.EventChars().EoFChar(), 0x24);
    EXPECT_EQ(port.EventChars().EvtChar(), 0x25);
    EXPECT_EQ(line.Get().c_cc[VSTART], 0x21);
    EXPECT_EQ(line.Get().c_cc[VSTOP], 0x22);
}

TEST_F(CommTest, FourDataBitsDoNotExistOnLinux) {
    Observer line(pty.SlavePath());
    const termios2 before = line.Get();
    TComm port;
    port.SetDeviceName(pty.SlavePath());
    port.SetDataBits(da4);
    ExpectCommError([&] { port.Open(); }, "Error updating DataControlBlock (Error: 22)");
    EXPECT_FALSE(port.Enabled()); // closed again, so the next Open tries afresh
    EXPECT_TRUE(SameSettings(line.Get(), before));

    port.SetDataBits(da8);
    port.Open();
    ASSERT_TRUE(port.Enabled());
    ExpectCommError([&] { port.SetDataBits(da4); }, "Error updating DataControlBlock (Error: 22)");
    EXPECT_TRUE(port.Enabled());
    EXPECT_EQ(line.Get().c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
}

// ---- reading and writing ----

TEST_F(CommTest, EveryByteValuePassesUnchangedBothWays) {
    TComm port;
    OpenOn(port, pty.SlavePath());
    Bytes all = Iota(256);
    // The bytes a cooked line would eat or change first: XON, XOFF, CR, LF, NUL, 0xFF, ^C, ^D.
    const Bytes special = {0x11, 0x13, 0x0D, 0x0A, 0x00, 0xFF, 0x03, 0x04};
    all.insert(all.begin(), special.begin(), special.end());
    const int n = static_cast<int>(all.size());

    EXPECT_EQ(port.Write(all.data(), n), n);
    EXPECT_EQ(pty.Receive(all.size()), all);

    pty.Send(all);
    Bytes in(all.size());
    EXPECT_EQ(port.Read(in.data(), n), n);
    EXPECT_EQ(in, all);
    EXPECT_EQ(pty.Pending(), 0u) << "nothing may be echoed back";
}

TEST_F(CommTest, ReadReturnsWhatArrivedWithinItsTimeLimit) {
    TComm port;
    OpenOn(port, pty.SlavePath());
    const Bytes twenty = Iota(20, 0x40);
    pty.Send(twenty);
    Bytes buf(38, 0);
    EXPECT_EQ(port.Read(buf.data(), 38), 20);
    EXPECT_TRUE(std::equal(twenty.begin(), twenty.end(), buf.begin()));
    EXPECT_EQ(port.Read(buf.data(), 38), 0); // nothing at all: an empty read, not -1

    // Bytes already waiting come back at once, as many as asked for.
    pty.Send(twenty);
    EXPECT_EQ(port.Read(buf.data(), 6), 6);
    EXPECT_EQ(port.Read(buf.data(), 14), 14);
    EXPECT_EQ(port.Read(buf.data(), 0), 0);

    // A read waits for bytes still on their way.
    pty.Send(Iota(10));
    std::thread later([&] { pty.Send(Iota(10, 10)); });
    EXPECT_EQ(port.Read(buf.data(), 20), 20);
    later.join();
    EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + 20, Iota(20).begin()));
}

TEST_F(CommTest, WriteHandsOverEveryByte) {
    TComm port;
    OpenOn(port, pty.SlavePath());
    Bytes frame(38, 0x55);
    frame[0] = 0x02;
    frame[37] = 0x03;
    EXPECT_EQ(port.Write(frame.data(), 38), 38);
    EXPECT_EQ(pty.Receive(38), frame);
    EXPECT_EQ(port.Write(frame.data(), 0), 0);

    // More than the driver holds: the write waits for room while the far end reads.
    Bytes big(200000);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<uint8_t>(i * 7);
    Bytes got;
    std::thread farEnd([&] { got = pty.Receive(big.size(), 60000); });
    EXPECT_EQ(port.Write(big.data(), static_cast<int>(big.size())), static_cast<int>(big.size()));
    farEnd.join();
    EXPECT_EQ(got, big);
}

TEST_F(CommTest, AStoppedLineEndsTheWriteShortAndResumesOnXon) {
    TComm port;
    OpenOn(port, pty.SlavePath());
    const Bytes frame = {0x02, 0x06, 0x01, 0x10, 0x17, 0x03};
    port.SetXONState(false); // as if XOFF had come in: output stops
    EXPECT_EQ(port.Write(frame.data(), 6), 0);
    port.SetXONState(true);
    EXPECT_EQ(port.Write(frame.data(), 6), 6);
    EXPECT_EQ(pty.Receive(6), frame);
}

// ---- line control ----

TEST_F(CommTest, LineControlOnAPseudoTerminal) {
    TComm port;
    port.SetMonitorEvents({}); // no deliveries: the test looks at the queue itself
    OpenOn(port, pty.SlavePath());
    // A pseudo-terminal has no modem lines.
    ExpectCommError([&] { port.SetDTRState(true); }, "EscapeCommFunction failure (Error: 25)");
    ExpectCommError([&] { port.SetRTSState(false); }, "EscapeCommFunction failure (Error: 25)");
    ExpectCommError([&] { port.EscapeComm(CommEscape::RESETDEV); },
                    "EscapeCommFunction failure (Error: 22)");
    for (int line = 0; line <= 5; ++line) {
        EXPECT_FALSE(port.GetModemState(line)) << line;
        EXPECT_FALSE(port.GetComState(line)) << line;
    }

    pty.Send(Iota(5));
    ASSERT_TRUE(WaitWithoutLoop([&] { return port.InQueCount() == 5; }));
    EXPECT_EQ(port.OutQueCount(), 0);
    port.SetBREAKState(true);
    port.SetBREAKState(false); // and both queues are discarded
    EXPECT_EQ(port.InQueCount(), 0);

    pty.Send(Iota(3));
    ASSERT_TRUE(WaitWithoutLoop([&] { return port.InQueCount() == 3; }));
    port.PurgeIn();
    EXPECT_EQ(port.InQueCount(), 0);
    port.PurgeOut();
    EXPECT_EQ(port.OutQueCount(), 0);
}

// ---- events ----

TEST_F(CommTest, EachArrivalRaisesOneEventWithTheBytesThenWaiting) {
    TComm port;
    OpenOn(port, pty.SlavePath());
    pty.Send(Iota(3));
    ASSERT_TRUE(LoopUntil([&] { return rxCounts.size() == 1; }));
    EXPECT_EQ(rxCounts[0], 3u);
    pty.Send(Iota(4, 3)); // the first three are still unread: they count again
    ASSERT_TRUE(LoopUntil([&] { return rxCounts.size() == 2; }));
    EXPECT_EQ(rxCounts[1], 7u);

    readInHandler = true;
    pty.Send(Iota(2, 7));
    ASSERT_TRUE(LoopUntil([&] { return rxCounts.size() == 3; }));
    EXPECT_EQ(rxCounts[2], 9u);
    EXPECT_EQ(received, Iota(9));
    pty.Send(Iota(5, 9));
    ASSERT_TRUE(LoopUntil([&] { return rxCounts.size() == 4; }));
    EXPECT_EQ(rxCounts[3], 5u);
    EXPECT_EQ(received, Iota(14));
    EXPECT_TRUE(std::none_of(rxCounts.begin(), rxCounts.end(), [](uint32_t n) { return n == 0; }));
}

TEST_F(CommTest, UnreadBytesDoNotMakeTheWatcherSpin) {
    TComm port;
    const uint32_t recheckMs = 20;
    port.SetSuspendTime(recheckMs);
    OpenOn(port, pty.SlavePath());
    pty.Send(Iota(5));
    ASSERT_TRUE(LoopUntil([&] { return rxCounts.size() == 1; }));

    // With bytes left unread the watcher wakes once per re-check interval at most (a wait never
    // ends early), so its wake-ups over a stretch of time are bounded by its length.
    auto measure = [&](int windowMs) {
        const uint64_t before = port.WatcherStats().Wakeups;
        const auto start = Clock::now();
        LoopUntil([&] { return Clock::now() - start >= std::chrono::milliseconds(windowMs); });
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        return std::pair<uint64_t, int64_t>(port.WatcherStats().Wakeups - before, elapsed);
    };
    const auto [wakeups, elapsedMs] = measure(400);
    EXPECT_LE(wakeups, static_cast<uint64_t>(elapsedMs) / recheckMs + 3);
    EXPECT_EQ(rxCounts.size(), 1u) << "no new bytes, no new event";

    pty.Send(Iota(1)); // new bytes are still noticed
    ASSERT_TRUE(LoopUntil([&] { return rxCounts.size() == 2; }));
    EXPECT_EQ(rxCounts[1], 6u);

    // With the queue empty it blocks: at most the re-check that finds the queue empty.
    Bytes buf(6);
    ASSERT_EQ(port.Read(buf.data(), 6), 6);
    const auto [idleWakeups, idleMs] = measure(300);
    EXPECT_LE(idleWakeups, 2u) << "in " << idleMs << " ms";
}

TEST_F(CommTest, NoEventReachesTheHandlerAfterClose) {
    TComm port;
    OpenOn(port, pty.SlavePath());
    pty.Send(Iota(4));
    // The watcher has seen the bytes and handed the delivery over; the event loop has not run.
    ASSERT_TRUE(WaitWithoutLoop([&] { return port.WatcherStats().Deliveries >= 1; }));
    port.Close();
    EXPECT_TRUE(TThread::WaitForSelfOwnedThreads(10000)); // serves hand-offs meanwhile
    QCoreApplication::processEvents();
    TThread::ServeHandOffs();
    EXPECT_TRUE(rxCounts.empty());
}

TEST_F(CommTest, CloseFromAnotherThreadWhileEventsFlowNeverDeadlocks) {
    // The far end keeps sending, so deliveries are under way whenever Close comes.
    struct Feeder {
        explicit Feeder(Pty& pty)
            : thread([this, &pty] {
                  while (!stop) {
                      pty.TrySend({0x02, 0x55});
                      std::this_thread::sleep_for(std::chrono::milliseconds(1)); // pacing only
                  }
              }) {}
        ~Feeder() {
            stop = true;
            thread.join();
        }
        std::atomic<bool> stop{false};
        std::thread thread;
    } feeder(pty);
    readInHandler = true;
    for (int i = 0; i < 100; ++i) {
        SCOPED_TRACE(i);
        TComm port;
        OpenOn(port, pty.SlavePath());
        const size_t before = rxCounts.size();
        ASSERT_TRUE(LoopUntil([&] { return rxCounts.size() >= before + 2; }));
        std::atomic<bool> closed{false};
        std::thread closer([&] {
            port.Close();
            closed = true;
        });
        const bool done = LoopUntil([&] { return closed.load(); });
        closer.join();
        ASSERT_TRUE(done);
        const size_t after = rxCounts.size();
        ASSERT_TRUE(TThread::WaitForSelfOwnedThreads(10000));
        EXPECT_EQ(rxCounts.size(), after);
    }
}

TEST_F(CommTest, AHangUpEndsTheWatcherQuietlyAndShortensReadsAndWrites) {
    TComm port;
    OpenOn(port, pty.SlavePath());
    pty.Send(Iota(3));
    ASSERT_TRUE(LoopUntil([&] { return rxCounts.size() == 1; }));
    pty.HangUp();
    // The watcher ends by itself while the port is still open: nothing left to spin.
    EXPECT_TRUE(TThread::WaitForSelfOwnedThreads(10000));
    EXPECT_TRUE(port.Enabled());
    Bytes buf(10);
    EXPECT_EQ(port.Read(buf.data(), 10), 0);
    EXPECT_EQ(port.Write(buf.data(), 10), 0);
    EXPECT_EQ(rxCounts.size(), 1u);
    port.Close();
    EXPECT_FALSE(port.Enabled());
    EXPECT_EQ(port.Read(buf.data(), 10), -1);
}

TEST_F(CommTest, HandleCommEventRaisesTheEventsOfTheMaskInOrder) {
    TComm port;
    port.SetMonitorEvents({}); // the watcher delivers nothing; the test calls the handler
    std::vector<std::string> calls;
    auto note = [&](std::string what) {
        return [&calls, what](TThreadComm* sender) {
            EXPECT_NE(sender, nullptr);
            calls.push_back(what);
        };
    };
    port.OnBreak = note("Break");
    port.OnCts = note("Cts");
    port.OnDsr = note("Dsr");
    port.OnError = [&](TThreadComm*, int32_t errors) {
        calls.push_back("Error " + std::to_string(errors));
    };
    port.OnRing = note("Ring");
    port.OnRlsd = note("Rlsd");
    port.OnRxFlag = note("RxFlag");
    port.OnTxEmpty = note("TxEmpty");
    port.OnComStatEvent = [&](TThreadComm*, uint32_t status, const TComStat& stat) {
        calls.push_back("ComStat " + std::to_string(status) + " " + std::to_string(stat.InQue));
    };
    port.SetDeviceName(pty.SlavePath());
    port.Open();
    ASSERT_TRUE(port.Enabled());
    port.OnRxChar = [&](TThreadComm*, uint32_t count) {
        calls.push_back("RxChar " + std::to_string(count));
    };

    pty.Send(Iota(4));
    ASSERT_TRUE(WaitWithoutLoop([&] { return port.InQueCount() == 4; }));
    port.HandleCommEvent(nullptr, 0x1FF);
    EXPECT_EQ(calls, (std::vector<std::string>{"Break", "Cts", "Dsr", "Error 0", "Ring", "Rlsd",
                                               "RxChar 4", "RxFlag", "TxEmpty", "ComStat 511 4"}));

    calls.clear();
    port.HandleCommEvent(nullptr, EV_RXCHAR | EV_DSR);
    EXPECT_EQ(calls, (std::vector<std::string>{"Dsr", "RxChar 4", "ComStat 17 4"}));

    calls.clear();
    port.PurgeIn();
    port.HandleCommEvent(nullptr, EV_RXCHAR); // nothing waiting: no receive event
    EXPECT_EQ(calls, (std::vector<std::string>{"ComStat 1 0"}));

    // A handler that closes the port ends the dispatch.
    calls.clear();
    port.OnCts = [&](TThreadComm* sender) {
        calls.push_back("Cts");
        static_cast<TComm*>(sender)->Close();
    };
    port.HandleCommEvent(nullptr, EV_CTS | EV_DSR);
    EXPECT_EQ(calls, (std::vector<std::string>{"Cts"}));
    EXPECT_FALSE(port.Enabled());
}

TEST_F(CommTest, ProbeTheSimulatedSensor) {
    SensorSimulator sim;
    TComm port;
    port.SetBaudRate(br38400); // the sensor drops bytes sent at any other setting
    readInHandler = true;
    OpenOn(port, sim.SlavePath());
    const Bytes probe = {0x02, 0x06, 0x01, 0x10, 0x17, 0x03};
    EXPECT_EQ(port.Write(probe.data(), 6), 6);
    ASSERT_TRUE(LoopUntil([&] { return received.size() >= 38; }));
    EXPECT_EQ(received.size(), 38u);
    EXPECT_EQ(received[0], 0x02);
    EXPECT_EQ(received[1], 38);
    EXPECT_EQ(received[3], 0x10);
    EXPECT_EQ(received[37], 0x03);
    EXPECT_EQ(sim.Counters().LineSettingErrors, 0u);
    EXPECT_EQ(sim.RequestCount(0x10), 1u);
}

} // namespace
