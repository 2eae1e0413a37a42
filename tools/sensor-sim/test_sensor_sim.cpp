// The simulated sensor, driven by a plain POSIX client on the slave side of its pseudo-terminal.
#include "SensorSim.h"

#include "link/SensorFrame.h"
#include "support/Capabilities.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using Block = SensorSimulator::Block;
constexpr auto Deadline = 5s;

// Opens the slave as the PC side does: no controlling terminal, raw 38400 8N1, exclusive mode
// and an exclusive flock.
class Client {
public:
    explicit Client(const std::string& path, speed_t speed = B38400) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0)
            return;
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
        tcsetattr(fd_, TCSANOW, &t);
        ioctl(fd_, TIOCEXCL);
        locked_ = ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
    }
    ~Client() { Close(); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool Ok() const { return fd_ >= 0 && locked_; }
    int Fd() const { return fd_; }
    void Close() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    void Send(const Bytes& b) const {
        ASSERT_EQ(::write(fd_, b.data(), b.size()), ssize_t(b.size()));
    }
    // Reads exactly n bytes, or fewer if the deadline passes or the line hangs up.
    Bytes Read(size_t n) const {
        Bytes got;
        const auto end = std::chrono::steady_clock::now() + Deadline;
        while (got.size() < n) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                break;
            uint8_t buf[64];
            const ssize_t k = ::read(fd_, buf, std::min(sizeof buf, n - got.size()));
            if (k <= 0) {
                if (k < 0 && errno == EAGAIN)
                    continue;
                break;
            }
            got.insert(got.end(), buf, buf + k);
        }
        return got;
    }
    // True once the line reports a hang-up (the sensor end has gone away).
    bool HangsUp() const {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(std::chrono::milliseconds(Deadline).count())) <= 0)
            return false;
        uint8_t b;
        return (p.revents & (POLLHUP | POLLERR)) || ::read(fd_, &b, 1) <= 0;
    }

private:
    int fd_ = -1;
    bool locked_ = false;
};

Bytes Request(uint8_t command, const Block& words = {}) {
    SensorTables tables;
    for (int k = 0; k < 16; ++k) {
        tables.SetupWords[k] = words[k];
        tables.InfoWords[k] = words[k];
    }
    Bytes out(SensorFrame::MaxLength);
    out.resize(static_cast<size_t>(SensorFrame::EncodeRequest(command, tables, out.data())));
    return out;
}

Bytes Reply(uint8_t command, const Block& words) {
    Bytes f{0x02, 0x26, 0x01, command};
    for (uint16_t w : words) {
        f.push_back(static_cast<uint8_t>(w & 0xFF));
        f.push_back(static_cast<uint8_t>(w >> 8));
    }
    f.push_back(SensorFrame::Checksum(f.data(), 38));
    f.push_back(0x03);
    return f;
}

Bytes Ack(uint8_t command) {
    return {0x02, 0x06, 0x01, command, static_cast<uint8_t>(0x06 ^ 0x01 ^ command), 0x03};
}

Block Payload(const Bytes& frame) {
    Block b{};
    for (int k = 0; k < 16; ++k)
        b[k] = SensorFrame::PayloadWord(frame.data(), k);
    return b;
}

// Words that a line in cooked mode would damage: XON, XOFF, CR, LF, and the frame bytes.
const Block Awkward = {0x1311, 0x0D0A, 0x0302, 0xFC18, 0x8000, 0xFFFF, 1000,   200,
                       0,      1013,   10000,  15,     1000,   0,      0x1113, 0x0A0D};

class SensorSimTest : public ::testing::Test {
protected:
    SensorSimulator sim;
    Client client{sim.SlavePath()};

    void SetUp() override { ASSERT_TRUE(client.Ok()) << sim.SlavePath(); }
    // Sends a request and reads a reply of the expected length.
    Bytes Exchange(const Bytes& request, size_t replyLength) {
        client.Send(request);
        return client.Read(replyLength);
    }
};

TEST_F(SensorSimTest, AnswersEveryCommandAsTheSensor) {
    const Block status = SensorSimulator::ComputeStatus(SensorSimulator::DefaultParams(), 1, 0);
    EXPECT_EQ(sim.NextStatus(), status);
    struct Case {
        uint8_t command;
        Bytes reply;
    };
    const Case cases[] = {
        {0x10, Reply(0x10, SensorSimulator::DefaultParams())},
        {0x11, Reply(0x11, SensorSimulator::DefaultParams())},
        {0x15, Reply(0x15, SensorSimulator::DefaultInfo())},
        {0x50, Reply(0x50, status)},
        {0x80, Bytes{0x02, 0x06, 0x01, 0x80, 0x87, 0x03}},
        {0x90, Bytes{0x02, 0x06, 0x01, 0x90, 0x97, 0x03}},
        {0x20, Bytes{0x02, 0x06, 0x01, 0x20, 0x27, 0x03}},
        {0x25, Bytes{0x02, 0x06, 0x01, 0x25, 0x22, 0x03}},
    };
    // The writes carry the defaults back, so every case sees the same state.
    for (const auto& c : cases) {
        const Block payload =
            c.command == 0x25 ? SensorSimulator::DefaultInfo() : SensorSimulator::DefaultParams();
        EXPECT_EQ(Exchange(Request(c.command, payload), c.reply.size()), c.reply)
            << "command 0x" << std::hex << int(c.command);
        EXPECT_EQ(sim.RequestCount(c.command), 1u);
    }
    EXPECT_TRUE(sim.WaitFor([](const SimCounters& c) { return c.RepliesSent == 8; }, Deadline));
}

TEST_F(SensorSimTest, WriteStoreAndReadBackReachTheEepromUntouched) {
    const Bytes write = Request(0x20, Awkward);
    EXPECT_EQ(Exchange(write, 6), Ack(0x20));
    EXPECT_EQ(sim.WorkingParams(), Awkward);
    EXPECT_EQ(sim.EepromParams(), SensorSimulator::DefaultParams()); // not stored yet
    EXPECT_EQ(Exchange(Request(0x90), 6), Ack(0x90));
    EXPECT_EQ(sim.EepromParams(), Awkward);
    EXPECT_EQ(Exchange(Request(0x11), 38), Reply(0x11, Awkward));
    EXPECT_EQ(sim.LastRequest(0x20), write); // exact bytes on the wire

    Block info = SensorSimulator::DefaultInfo();
    info[3] = 0x1311;
    EXPECT_EQ(Exchange(Request(0x25, info), 6), Ack(0x25));
    EXPECT_EQ(sim.Info(), info);
    EXPECT_EQ(Payload(Exchange(Request(0x15), 38)), info);
}

TEST_F(SensorSimTest, LostStoreIsAcknowledgedButLeavesTheEeprom) {
    SimFaults f;
    f.StoreLost = true;
    sim.SetFaults(f);
    EXPECT_EQ(Exchange(Request(0x20, Awkward), 6), Ack(0x20));
    EXPECT_EQ(Exchange(Request(0x90), 6), Ack(0x90));
    EXPECT_EQ(sim.EepromParams(), SensorSimulator::DefaultParams());
    EXPECT_EQ(Payload(Exchange(Request(0x11), 38)), SensorSimulator::DefaultParams());
    EXPECT_EQ(Payload(Exchange(Request(0x10), 38)), Awkward);
}

TEST_F(SensorSimTest, SilentSensorExecutesButAnswersNothing) {
    SimFaults f;
    f.Silent = true;
    sim.SetFaults(f);
    client.Send(Request(0x20, Awkward));
    client.Send(Request(0x10));
    ASSERT_TRUE(sim.WaitForRequests(0x10, 1, Deadline));
    EXPECT_EQ(sim.WorkingParams(), Awkward);
    sim.SetFaults({});
    // Had anything been answered, it would come before this reply.
    EXPECT_EQ(Exchange(Request(0x15), 38), Reply(0x15, SensorSimulator::DefaultInfo()));
    EXPECT_TRUE(sim.WaitFor([](const SimCounters& c) { return c.RepliesSent >= 1; }, Deadline));
    EXPECT_EQ(sim.Counters().RepliesSent, 1u);
}

TEST_F(SensorSimTest, FaultsCanBeLimitedToSomeCommands) {
    SimFaults f;
    f.Silent = true;
    f.OnlyCommands = {0x50};
    sim.SetFaults(f);
    client.Send(Request(0x50));
    ASSERT_TRUE(sim.WaitForRequests(0x50, 1, Deadline));
    EXPECT_EQ(Exchange(Request(0x80), 6), Ack(0x80));
}

// A held reply is kept back until the test lets it go; the request has taken effect meanwhile,
// and the commands that are not held are answered as usual.
TEST_F(SensorSimTest, AHeldReplyLeavesWhenItIsReleased) {
    SimFaults hold;
    hold.HoldReplies = true;
    hold.OnlyCommands = {0x20};
    sim.SetFaults(hold);
    client.Send(Request(0x20, Awkward));
    ASSERT_TRUE(sim.WaitFor([](const SimCounters& c) { return c.RepliesHeld == 1; }, Deadline));
    EXPECT_EQ(sim.WorkingParams(), Awkward);
    // Not on the line: the next thing read is the reply to a command that is not held.
    EXPECT_EQ(Exchange(Request(0x15), 38), Reply(0x15, SensorSimulator::DefaultInfo()));
    EXPECT_TRUE(sim.WaitFor([](const SimCounters& c) { return c.RepliesSent == 1; }, Deadline));
    EXPECT_EQ(sim.Counters().RepliesHeld, 1u);

    // Taking the command out of the held ones releases its reply at once.
    SimFaults other = hold;
    other.OnlyCommands = {0x10};
    sim.SetFaults(other);
    EXPECT_EQ(client.Read(6), Ack(0x20));
    EXPECT_TRUE(sim.WaitFor(
        [](const SimCounters& c) { return c.RepliesHeld == 0 && c.RepliesSent == 2; }, Deadline));

    // Two held replies leave in their order when the switch goes off.
    client.Send(Request(0x10));
    ASSERT_TRUE(sim.WaitFor([](const SimCounters& c) { return c.RepliesHeld == 1; }, Deadline));
    SimFaults both = hold;
    both.OnlyCommands = {0x10, 0x20};
    sim.SetFaults(both);
    client.Send(Request(0x20, SensorSimulator::DefaultParams()));
    ASSERT_TRUE(sim.WaitFor([](const SimCounters& c) { return c.RepliesHeld == 2; }, Deadline));
    sim.SetFaults({});
    Bytes expected = Reply(0x10, Awkward);
    const Bytes ack = Ack(0x20);
    expected.insert(expected.end(), ack.begin(), ack.end());
    EXPECT_EQ(client.Read(expected.size()), expected);
    EXPECT_TRUE(sim.WaitFor([](const SimCounters& c) { return c.RepliesHeld == 0; }, Deadline));
}

// The line forgets a held reply at the PC's last close, as it forgets any reply in flight.
TEST_F(SensorSimTest, AHeldReplyIsForgottenWhenThePortCloses) {
    SimFaults hold;
    hold.HoldReplies = true;
    sim.SetFaults(hold);
    client.Send(Request(0x10));
    ASSERT_TRUE(sim.WaitFor([](const SimCounters& c) { return c.RepliesHeld == 1; }, Deadline));
    client.Close();
    ASSERT_TRUE(sim.WaitFor([](const SimCounters& c) { return c.RepliesHeld == 0; }, Deadline));
    sim.SetFaults({});
    Client again(sim.SlavePath());
    ASSERT_TRUE(again.Ok());
    again.Send(Request(0x15));
    EXPECT_EQ(again.Read(38), Reply(0x15, SensorSimulator::DefaultInfo()));
}

TEST_F(SensorSimTest, ReplyFaultsStillDeliverTheReplyBytes) {
    const Bytes request = Request(0x10);
    const Bytes reply = Reply(0x10, SensorSimulator::DefaultParams());
    struct Case {
        const char* name;
        SimFaults faults;
        Bytes prefix; // what comes before the reply
    };
    SimFaults pieces, trickle, delay, echo;
    pieces.Split = ReplySplit::Pieces;
    trickle.Split = ReplySplit::Trickle;
    trickle.SplitGapMs = 1;
    delay.ReplyDelayMs = 50;
    echo.EchoRequest = true;
    const Case cases[] = {
        {"pieces", pieces, {}},
        {"trickle", trickle, {}},
        {"delay", delay, {}},
        {"echo", echo, request},
    };
    for (const auto& c : cases) {
        sim.SetFaults(c.faults);
        Bytes expected = c.prefix;
        expected.insert(expected.end(), reply.begin(), reply.end());
        EXPECT_EQ(Exchange(request, expected.size()), expected) << c.name;
    }

    SimFaults noisy;
    noisy.NoiseBytes = 7;
    sim.SetFaults(noisy);
    const Bytes got = Exchange(request, 7 + reply.size());
    ASSERT_EQ(got.size(), 7 + reply.size());
    for (size_t i = 0; i < 7; ++i)
        EXPECT_NE(got[i], 0x02) << "noise must not look like a start byte";
    EXPECT_EQ(Bytes(got.begin() + 7, got.end()), reply);

    SimFaults bad;
    bad.BadChecksum = true;
    sim.SetFaults(bad);
    const Bytes damaged = Exchange(request, 38);
    ASSERT_EQ(damaged.size(), 38u);
    EXPECT_FALSE(SensorFrame::ChecksumOk(damaged.data(), 38));
    EXPECT_EQ(Bytes(damaged.begin(), damaged.begin() + 36),
              Bytes(reply.begin(), reply.begin() + 36));
}

TEST_F(SensorSimTest, IgnoresGarbageAndBadRequestsAndResynchronises) {
    Bytes bad = Request(0x10);
    bad[4] ^= 0x55;
    Bytes stream = {0x00, 0xFF, 0x55, 0x02}; // noise, then a start byte of a frame cut short
    stream.insert(stream.end(), bad.begin(), bad.end());
    const Bytes good = Request(0x15);
    stream.insert(stream.end(), good.begin(), good.end());
    EXPECT_EQ(Exchange(stream, 38), Reply(0x15, SensorSimulator::DefaultInfo()));
    const SimCounters c = sim.Counters();
    EXPECT_EQ(c.Requests[0x10], 0u);
    EXPECT_EQ(c.Requests[0x15], 1u);
    EXPECT_GE(c.BadRequests, 1u);
    const auto log = sim.RecentRequests();
    ASSERT_FALSE(log.empty());
    EXPECT_TRUE(log.back().ChecksumOk);
    EXPECT_EQ(log.back().Bytes, good);
}

TEST_F(SensorSimTest, LosesBytesSentAtTheWrongLineSettings) {
    client.Close();
    ASSERT_TRUE(sim.WaitFor([](const SimCounters& c) { return c.ClientCloses >= 1; }, Deadline));
    Client slow(sim.SlavePath(), B9600);
    ASSERT_TRUE(slow.Ok());
    slow.Send(Request(0x10));
    ASSERT_TRUE(
        sim.WaitFor([](const SimCounters& c) { return c.LineSettingErrors >= 1; }, Deadline));
    EXPECT_EQ(sim.RequestCount(0x10), 0u);
    slow.Close();
    ASSERT_TRUE(sim.WaitFor([](const SimCounters& c) { return c.ClientCloses >= 2; }, Deadline));
    Client right(sim.SlavePath());
    ASSERT_TRUE(right.Ok());
    right.Send(Request(0x15));
    EXPECT_EQ(right.Read(38), Reply(0x15, SensorSimulator::DefaultInfo()));
}

TEST_F(SensorSimTest, SendsSampleFramesWhenEnabled) {
    sim.SetSampleInterval(20);
    const Bytes frame = client.Read(38);
    ASSERT_EQ(frame.size(), 38u);
    EXPECT_EQ(frame[3], 0x70);
    EXPECT_TRUE(SensorFrame::ChecksumOk(frame.data(), 38));
    const Block words = Payload(frame);
    EXPECT_GT(words[0], 0);   // mass flow
    EXPECT_GT(words[1], 150); // about 21 degrees, in tenths
    EXPECT_LT(words[1], 250);
}

TEST_F(SensorSimTest, SurvivesThePortBeingClosedAndReopened) {
    EXPECT_EQ(Exchange(Request(0x80), 6), Ack(0x80));
    // A write cut short: left in the sensor it would swallow the next request.
    client.Send({0x02, 0x26, 0x01, 0x20, 0x00});
    client.Close();
    for (uint64_t round = 1; round <= 3; ++round) {
        ASSERT_TRUE(
            sim.WaitFor([&](const SimCounters& c) { return c.ClientCloses >= round; }, Deadline));
        // The exclusive mode set by the last opener must not refuse the next one, also for a
        // process without CAP_SYS_ADMIN: this thread stands in for one.
        bool reopened = false;
        Bytes reply;
        std::thread([&] {
            ASSERT_TRUE(DropCapabilityInThisThread(CAP_SYS_ADMIN));
            Client again(sim.SlavePath());
            reopened = again.Ok();
            if (!reopened)
                return;
            again.Send(Request(0x15));
            reply = again.Read(38);
            again.Send({0x02, 0x26, 0x01, 0x20, 0x00});
        }).join();
        ASSERT_TRUE(reopened) << "round " << round;
        EXPECT_EQ(reply, Reply(0x15, SensorSimulator::DefaultInfo())) << "round " << round;
    }
    EXPECT_EQ(sim.Counters().BadRequests, 0u);
}

TEST_F(SensorSimTest, SecondOpenerClosingLeavesTheSessionAlone) {
    client.Send(Request(0x10));
    ASSERT_TRUE(sim.WaitFor([](const SimCounters& c) { return c.RepliesSent >= 1; }, Deadline));
    // Root gets past the exclusive mode (then fails on the lock, as the PC side would).
    const int second = ::open(sim.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (second >= 0) {
        EXPECT_NE(::flock(second, LOCK_EX | LOCK_NB), 0);
        ::close(second);
        ASSERT_TRUE(
            sim.WaitFor([](const SimCounters& c) { return c.ClientCloses >= 1; }, Deadline));
    }
    EXPECT_EQ(client.Read(38), Reply(0x10, SensorSimulator::DefaultParams())); // not flushed
    int exclusive = 0;
    ASSERT_EQ(::ioctl(client.Fd(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);
    EXPECT_EQ(Exchange(Request(0x80), 6), Ack(0x80));
}

// The slave starts raw: a PC side that never touches the line settings gets XON, XOFF, CR and
// LF through untouched, and nothing is echoed.
TEST(SensorSimLine, RawFromTheStart) {
    SensorSimulator sim;
    sim.SetWorkingParams(Awkward);
    const int fd = ::open(sim.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const Bytes write = Request(0x20, Awkward);
    ASSERT_EQ(::write(fd, write.data(), write.size()), ssize_t(write.size()));
    const Bytes read = Request(0x10);
    ASSERT_EQ(::write(fd, read.data(), read.size()), ssize_t(read.size()));
    Bytes expected = Ack(0x20);
    const Bytes reply = Reply(0x10, Awkward);
    expected.insert(expected.end(), reply.begin(), reply.end());
    Bytes got;
    while (got.size() < expected.size()) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0)
            break;
        uint8_t buf[64];
        const ssize_t k = ::read(fd, buf, sizeof buf);
        if (k <= 0)
            break;
        got.insert(got.end(), buf, buf + k);
    }
    ::close(fd);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(sim.LastRequest(0x20), write);
}

TEST(SensorSimLink, UnplugHangsUpAndReplugMovesTheLink) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("vextor-sim-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto link = dir / "COM3";
    {
        SensorSimulator::Options o;
        o.LinkPath = link.string();
        SensorSimulator sim(std::move(o));
        ASSERT_EQ(std::filesystem::read_symlink(link).string(), sim.SlavePath());
        Client client(link.string());
        ASSERT_TRUE(client.Ok());
        client.Send(Request(0x80));
        EXPECT_EQ(client.Read(6), Ack(0x80));

        sim.Unplug();
        EXPECT_FALSE(sim.Plugged());
        EXPECT_TRUE(sim.SlavePath().empty());
        EXPECT_TRUE(client.HangsUp());
        EXPECT_FALSE(std::filesystem::is_symlink(link));
        client.Close();

        const std::string path = sim.Replug();
        ASSERT_FALSE(path.empty());
        EXPECT_EQ(std::filesystem::read_symlink(link).string(), path);
        Client again(link.string());
        ASSERT_TRUE(again.Ok());
        again.Send(Request(0x10));
        EXPECT_EQ(again.Read(38), Reply(0x10, SensorSimulator::DefaultParams()));
        EXPECT_EQ(sim.Counters().Plugs, 2u);
    }
    EXPECT_FALSE(std::filesystem::is_symlink(link)) << "removed at the end";
    std::filesystem::remove_all(dir);
}

TEST(SensorSimLink, RefusesToReplaceAFileWithTheLink) {
    const auto file =
        std::filesystem::temp_directory_path() / ("vextor-sim-file-" + std::to_string(::getpid()));
    {
        FILE* f = std::fopen(file.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }
    SensorSimulator::Options o;
    o.LinkPath = file.string();
    EXPECT_THROW(SensorSimulator{std::move(o)}, std::system_error);
    EXPECT_TRUE(std::filesystem::is_regular_file(file));
    std::filesystem::remove(file);
}

// The measurement model: plausible values that follow the parameters, repeatable by seed.
TEST(SensorSimModel, MeasurementsFollowTheParameters) {
    const Block p = SensorSimulator::DefaultParams();
    const Block s = SensorSimulator::ComputeStatus(p, 7, 10);
    EXPECT_EQ(s, SensorSimulator::ComputeStatus(p, 7, 10));
    EXPECT_NE(s, SensorSimulator::ComputeStatus(p, 7, 11));
    EXPECT_NEAR(s[0], 500, 80);   // velocity about 5 m/s
    EXPECT_NEAR(s[2], 210, 10);   // about 21 degrees
    EXPECT_NEAR(s[3], 1200, 20);  // air at 1.013 bar
    EXPECT_NEAR(s[4], 8700, 300); // profile factor about 0.87
    EXPECT_EQ(s[7], 200);         // circular: the diameter
    EXPECT_EQ(s[12], 314);        // 200 mm: 314 cm2
    EXPECT_EQ(s[15], 105);
    EXPECT_NEAR(s[1], 590, 100); // kg/h
    // 4..20 mA across zero..full scale.
    EXPECT_NEAR(s[13], 4000 + 16000.0 * s[1] / 1000, 20);

    struct Case {
        const char* name;
        int slot;
        uint16_t value;
        int statusSlot;
        uint16_t expected;
    };
    const Case cases[] = {
        {"full scale below the flow", 6, 100, 13, 20000},
        {"zero above the flow", 5, 2000, 13, 4000},
        {"velocity output has no flow", 4, 0, 1, 0},
        {"square duct: equivalent diameter", 8, 300, 7, 240},
        {"square duct: section", 8, 300, 12, 600},
        {"no pressure: no density", 9, 0, 3, 0},
    };
    for (const auto& c : cases) {
        Block q = p;
        q[static_cast<size_t>(c.slot)] = c.value;
        EXPECT_EQ(SensorSimulator::ComputeStatus(q, 7, 10)[static_cast<size_t>(c.statusSlot)],
                  c.expected)
            << c.name;
    }
}

} // namespace
