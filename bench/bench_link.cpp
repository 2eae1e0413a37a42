// Figures of the link over a pseudo-terminal (usage: bench_link [simulator [idle seconds]]):
//  - the poll period against the simulated sensor (500 ms pause plus reply time plus our overhead),
//  - the time from the last byte of a reply arriving to ReplyOk being set,
//  - the CPU time the link costs while On-Line and idle, in percent of one core.
// The simulated sensor runs as its own process, so its CPU time is not counted.
#include "link/Comm.h"
#include "link/Comthread.h"
#include "platform/PseudoTerminal.h"
#include "platform/Thread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <numeric>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Runs the event loop for a while; it sleeps between events like the application's loop.
void Spin(Clock::duration d) {
    QEventLoop loop;
    QTimer::singleShot(
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count()), &loop,
        &QEventLoop::quit);
    loop.exec();
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Forwards to the real port and notes when each request was written (poller thread).
class TimedPort : public SerialPort {
public:
    explicit TimedPort(SerialPort& port) : port_(port) {}
    int Write(const void* b, int n) override {
        const int r = port_.Write(b, n);
        std::lock_guard lock(mutex);
        writes.push_back(Clock::now());
        return r;
    }
    int Read(void* b, int n) override { return port_.Read(b, n); }
    void Close() override { port_.Close(); }
    bool Enabled() const override { return port_.Enabled(); }
    std::mutex mutex;
    std::vector<Clock::time_point> writes;

private:
    SerialPort& port_;
};

void Stats(const char* what, std::vector<double> v) {
    if (v.empty()) {
        std::printf("%-44s no samples\n", what);
        return;
    }
    std::sort(v.begin(), v.end());
    const double mean = std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
    std::printf("%-44s n=%zu mean %.2f ms, median %.2f, p95 %.2f, max %.2f\n", what, v.size(), mean,
                v[v.size() / 2], v[v.size() * 95 / 100], v.back());
}

void PollPeriodAndCpu(const std::string& simPath, int idleSeconds) {
    const std::string link = "/tmp/vextor-bench-sim-" + std::to_string(getpid());
    const char* argv[] = {simPath.c_str(), "--link", link.c_str(), nullptr};
    pid_t sim = 0;
    int devnull = open("/dev/null", O_WRONLY);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, devnull, 1);
    if (posix_spawn(&sim, simPath.c_str(), &actions, nullptr, const_cast<char**>(argv), environ) !=
        0) {
        std::printf("cannot start %s\n", simPath.c_str());
        return;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(devnull);
    for (int i = 0; i < 200 && access(link.c_str(), F_OK) != 0; ++i)
        Spin(std::chrono::milliseconds(10));

    SensorTables tables;
    TComm comm;
    comm.SetDeviceName(link);
    comm.SetBaudRate(br38400);
    TimedPort timed(comm);
    std::unique_ptr<TComThread> poller;
    std::vector<Clock::time_point> replies;
    comm.OnRxChar = [&](TThreadComm*, uint32_t count) {
        const uint8_t before = poller ? poller->ReplyOk.Get() : 0;
        ReceiveWaitingBytes(tables, poller.get(), count);
        if (poller && !before && poller->ReplyOk)
            replies.push_back(Clock::now());
    };
    comm.Open();
    if (!comm.Enabled()) {
        std::printf("cannot open %s\n", link.c_str());
        kill(sim, SIGTERM);
        waitpid(sim, nullptr, 0);
        return;
    }
    poller = std::make_unique<TComThread>(tables, timed);
    tables.LinkActive = 1;
    Spin(std::chrono::seconds(2)); // start delay and the first polls

    const double cpu0 = CpuSeconds();
    const auto t0 = Clock::now();
    Spin(std::chrono::seconds(idleSeconds));
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const double cpu = CpuSeconds() - cpu0;

    std::vector<Clock::time_point> writes;
    {
        std::lock_guard lock(timed.mutex);
        writes = timed.writes;
    }
    std::vector<double> periods, replyTimes, overheads;
    for (size_t i = 1; i < writes.size(); ++i)
        periods.push_back(Ms(writes[i] - writes[i - 1]));
    for (size_t i = 0; i + 1 < writes.size(); ++i) {
        // The reply to request i is the first good frame after it.
        auto r = std::lower_bound(replies.begin(), replies.end(), writes[i]);
        if (r == replies.end() || *r > writes[i + 1])
            continue;
        replyTimes.push_back(Ms(*r - writes[i]));
        overheads.push_back(Ms(writes[i + 1] - *r) - 500.0);
    }
    std::printf("link state after the run: %s, frames sent %d, good %d, time-outs %d\n",
                tables.LinkActive ? "On-Line" : "Off-Line", poller->LinkCounters.FramesSent.Get(),
                poller->LinkCounters.RepliesGood.Get(), poller->LinkCounters.Timeouts.Get());
    Stats("poll period (request to request)", periods);
    Stats("reply time (request written to ReplyOk)", replyTimes);
    Stats("overhead beyond the 500 ms pause", overheads);
    std::printf("%-44s %.2f %% of one core (%.3f s CPU over %.1f s)\n",
                "CPU while On-Line and idle", 100.0 * cpu / wall, cpu, wall);

    poller.reset();
    comm.Close();
    kill(sim, SIGTERM);
    waitpid(sim, nullptr, 0);
}

void ReplyLatency() {
    PseudoTerminal pty = OpenPseudoTerminal(/*nonBlocking=*/false);
    const int master = pty.Master.Get();
    termios t{};
    tcgetattr(master, &t);
    cfmakeraw(&t);
    tcsetattr(master, TCSANOW, &t);
    SensorTables tables;
    TComm comm;
    comm.SetDeviceName(pty.SlavePath);
    comm.SetBaudRate(br38400);
    TComThread rx(tables, comm, nullptr, /*start=*/false); // the receiver alone
    rx.ExpectedLength = 38;
    tables.LinkActive = 1;
    Clock::time_point okAt{};
    QEventLoop* waiting = nullptr;
    comm.OnRxChar = [&](TThreadComm*, uint32_t count) {
        ReceiveWaitingBytes(tables, &rx, count);
        if (rx.ReplyOk && okAt == Clock::time_point{}) {
            okAt = Clock::now();
            if (waiting)
                waiting->quit();
        }
    };
    comm.Open();
    uint8_t frame[38] = {0x02, 38, 0x01, 0x50};
    frame[36] = SensorFrame::Checksum(frame, 38);
    frame[37] = 0x03;
    std::vector<double> latencies;
    for (int i = 0; i < 300; ++i) {
        rx.ReplyOk = 0;
        okAt = {};
        const auto sent = Clock::now();
        if (write(master, frame, sizeof frame) != static_cast<ssize_t>(sizeof frame))
            break;
        QEventLoop loop;
        waiting = &loop;
        QTimer::singleShot(2000, &loop, &QEventLoop::quit);
        if (okAt == Clock::time_point{})
            loop.exec();
        waiting = nullptr;
        if (okAt != Clock::time_point{})
            latencies.push_back(Ms(okAt - sent));
    }
    Stats("last reply byte written to ReplyOk set", latencies);
    comm.Close();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    TThread::InstallHandOff();
    ReplyLatency();
    // bench_link [simulator [seconds On-Line and idle, 60 by default]]
    const int idleSeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 60;
    PollPeriodAndCpu(argc > 1 ? argv[1] : VEXTOR_SIM_PATH, idleSeconds);
    TThread::WaitForSelfOwnedThreads(5000);
    return 0;
}
