// vextor-sensor-sim: the simulated sensor as a program. Prints the slave device of its
// pseudo-terminal on stdout (one line) and answers the PC until SIGINT, SIGTERM or SIGHUP.
#include "SensorSim.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

constexpr const char* HelpText =
    R"(Usage: vextor-sensor-sim [options]
Simulated Vextor flow sensor on a pseudo-terminal. Prints the slave device path on stdout and
answers the PC (38400 8N1) until SIGINT, SIGTERM or SIGHUP.

  --link PATH          also make PATH a symbolic link to the slave device (removed at exit)
  --seed N             seed of the measurement noise (default 1)
  --samples MS         send an unsolicited 0x70 sample frame every MS ms while the port is
                       open (0 = off, the default)
Faults (a flag takes =off to switch it off again, e.g. --silent=off):
  --silent             execute requests but answer nothing
  --bad-checksum       replies carry a wrong checksum
  --noise N            N garbage bytes (never 0x02) before every reply
  --split              replies in three pieces (10/10/18 bytes)
  --trickle            replies one byte at a time
  --gap MS             pause between the pieces or bytes of a split reply (default 10)
  --delay MS           replies leave MS ms after their request
  --echo               every request is echoed before its reply
  --store-lost         0x90 is acknowledged but the EEPROM is left unchanged
  --only CMDS          the faults hit only the replies to these commands (comma list,
                       e.g. 0x10,0x50; "all" for every command, the default)
  --unplug-after MS    close the pseudo-terminal MS ms after start (the PC sees a hang-up)
  --replug-after MS    open a new pseudo-terminal MS ms after the unplug (the link follows)
Other:
  --any-line-settings  answer whatever baud rate and format the PC side sets (by default
                       bytes are lost unless the line is set to 38400 8N1)
  --commands           read more options from stdin while running, one set per line, plus
                       the words "unplug", "replug" and "clear" (every fault off)
  --verbose            log every request and reply on stderr
  --help               show this text
)";

struct Settings {
    std::string link;
    uint64_t seed = 1;
    int samplesMs = 0;
    SimFaults faults;
    std::optional<int> unplugAfterMs;
    std::optional<int> replugAfterMs;
    bool anyLine = false;
    bool commands = false;
    bool verbose = false;
    bool help = false;
    bool samplesChanged = false;
};

bool ParseNumber(const std::string& text, uint64_t max, uint64_t& out) {
    if (text.empty() || text[0] == '-' || text[0] == '+')
        return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || v > max)
        return false;
    out = v;
    return true;
}

bool ParseCommands(const std::string& text, std::vector<uint8_t>& out) {
    out.clear();
    if (text == "all")
        return true;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        uint64_t v = 0;
        if (!ParseNumber(item, 0xFF, v))
            return false;
        out.push_back(static_cast<uint8_t>(v));
    }
    return !out.empty();
}

// Applies one list of options to the settings; false with a message on an unknown or bad one.
bool ApplyOptions(const std::vector<std::string>& args, Settings& s, bool atStart,
                  std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        auto flag = [&](bool& target) {
            if (!inlineValue || *inlineValue == "on" || *inlineValue == "1") {
                target = true;
                return true;
            }
            if (*inlineValue == "off" || *inlineValue == "0") {
                target = false;
                return true;
            }
            error = "bad value for " + name + ": " + *inlineValue;
            return false;
        };
        auto value = [&](std::string& target) {
            if (inlineValue) {
                target = *inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return false;
            }
            target = args[++i];
            return true;
        };
        auto number = [&](uint64_t max, uint64_t& target) {
            std::string text;
            if (!value(text))
                return false;
            if (!ParseNumber(text, max, target)) {
                error = "bad number for " + name + ": " + text;
                return false;
            }
            return true;
        };
        auto intValue = [&](int& target) {
            uint64_t v = 0;
            if (!number(24ull * 3600 * 1000, v))
                return false;
            target = static_cast<int>(v);
            return true;
        };
        bool ok = true;
        bool onlyAtStart = false;
        bool split = false;
        bool trickle = false;
        if (name == "--help" || name == "-h") {
            s.help = true;
        } else if (name == "--link") {
            onlyAtStart = true;
            ok = value(s.link);
        } else if (name == "--seed") {
            onlyAtStart = true;
            ok = number(UINT64_MAX, s.seed);
        } else if (name == "--samples") {
            ok = intValue(s.samplesMs);
            s.samplesChanged = true;
        } else if (name == "--silent") {
            ok = flag(s.faults.Silent);
        } else if (name == "--bad-checksum") {
            ok = flag(s.faults.BadChecksum);
        } else if (name == "--noise") {
            ok = intValue(s.faults.NoiseBytes);
        } else if (name == "--split") {
            split = s.faults.Split == ReplySplit::Pieces;
            ok = flag(split);
            if (ok)
                s.faults.Split = split ? ReplySplit::Pieces : ReplySplit::Whole;
        } else if (name == "--trickle") {
            trickle = s.faults.Split == ReplySplit::Trickle;
            ok = flag(trickle);
            if (ok)
                s.faults.Split = trickle ? ReplySplit::Trickle : ReplySplit::Whole;
        } else if (name == "--gap") {
            ok = intValue(s.faults.SplitGapMs);
        } else if (name == "--delay") {
            ok = intValue(s.faults.ReplyDelayMs);
        } else if (name == "--echo") {
            ok = flag(s.faults.EchoRequest);
        } else if (name == "--store-lost") {
            ok = flag(s.faults.StoreLost);
        } else if (name == "--only") {
            std::string text;
            ok = value(text);
            if (ok && !ParseCommands(text, s.faults.OnlyCommands)) {
                error = "bad command list for --only: " + text;
                ok = false;
            }
        } else if (name == "--unplug-after") {
            onlyAtStart = true;
            int ms = 0;
            ok = intValue(ms);
            s.unplugAfterMs = ms;
        } else if (name == "--replug-after") {
            onlyAtStart = true;
            int ms = 0;
            ok = intValue(ms);
            s.replugAfterMs = ms;
        } else if (name == "--any-line-settings") {
            onlyAtStart = true;
            ok = flag(s.anyLine);
        } else if (name == "--commands") {
            onlyAtStart = true;
            ok = flag(s.commands);
        } else if (name == "--verbose" || name == "-v") {
            onlyAtStart = true;
            ok = flag(s.verbose);
        } else {
            error = "unknown option: " + args[i];
            return false;
        }
        if (!ok)
            return false;
        if (onlyAtStart && !atStart) {
            error = name + " can only be given at start";
            return false;
        }
    }
    return true;
}

std::vector<std::string> SplitWords(const std::string& line) {
    std::vector<std::string> words;
    std::stringstream in(line);
    std::string w;
    while (in >> w)
        words.push_back(w);
    return words;
}

// One line from stdin: options, or one of the words unplug, replug, clear.
void RunCommand(const std::string& line, Settings& s, SensorSimulator& sim) {
    const auto words = SplitWords(line);
    if (words.empty())
        return;
    try {
        if (words.size() == 1 && words[0] == "unplug") {
            sim.Unplug();
            std::fprintf(stderr, "unplugged\n");
            return;
        }
        if (words.size() == 1 && words[0] == "replug") {
            std::fprintf(stderr, "replugged at %s\n", sim.Replug().c_str());
            return;
        }
    } catch (const std::system_error& e) {
        std::fprintf(stderr, "vextor-sensor-sim: %s\n", e.what());
        return;
    }
    if (words.size() == 1 && words[0] == "clear") {
        s.faults = SimFaults{};
        sim.SetFaults(s.faults);
        std::fprintf(stderr, "faults cleared\n");
        return;
    }
    Settings next = s;
    next.samplesChanged = false;
    std::string error;
    if (!ApplyOptions(words, next, false, error)) {
        std::fprintf(stderr, "vextor-sensor-sim: %s\n", error.c_str());
        return;
    }
    s = next;
    sim.SetFaults(s.faults);
    if (s.samplesChanged)
        sim.SetSampleInterval(s.samplesMs);
    std::fprintf(stderr, "ok\n");
}

} // namespace

int main(int argc, char** argv) {
    Settings settings;
    std::string error;
    if (!ApplyOptions(std::vector<std::string>(argv + 1, argv + argc), settings, true, error)) {
        std::fprintf(stderr, "vextor-sensor-sim: %s (try --help)\n", error.c_str());
        return 2;
    }
    if (settings.help) {
        std::fputs(HelpText, stdout);
        return 0;
    }

    // Block the stop signals before the simulator's thread starts so that it inherits the mask
    // and they arrive only through the signal descriptor below.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    if (pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr) != 0) {
        std::fprintf(stderr, "vextor-sensor-sim: cannot block signals\n");
        return 1;
    }
    signal(SIGPIPE, SIG_IGN);
    const int sigFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
    if (sigFd < 0) {
        std::fprintf(stderr, "vextor-sensor-sim: signalfd: %s\n", std::strerror(errno));
        return 1;
    }

    SensorSimulator::Options options;
    options.LinkPath = settings.link;
    options.Seed = settings.seed;
    options.Faults = settings.faults;
    options.SampleIntervalMs = settings.samplesMs;
    options.RequireLineSettings = !settings.anyLine;
    if (settings.verbose)
        options.Log = [](const std::string& text) {
            std::fprintf(stderr, "sim: %s\n", text.c_str());
        };

    std::optional<SensorSimulator> sim;
    try {
        sim.emplace(std::move(options));
    } catch (const std::system_error& e) {
        std::fprintf(stderr, "vextor-sensor-sim: %s\n", e.what());
        ::close(sigFd);
        return 1;
    }
    std::printf("%s\n", sim->SlavePath().c_str());
    std::fflush(stdout);

    using Clock = std::chrono::steady_clock;
    std::optional<Clock::time_point> unplugAt;
    std::optional<Clock::time_point> replugAt;
    if (settings.unplugAfterMs)
        unplugAt = Clock::now() + std::chrono::milliseconds(*settings.unplugAfterMs);

    bool readCommands = settings.commands;
    std::string pending; // a partial command line
    int exitCode = 0;
    for (;;) {
        int timeout = -1;
        const auto now = Clock::now();
        for (const auto& at : {unplugAt, replugAt}) {
            if (!at)
                continue;
            const auto ms = std::max<int64_t>(
                0, std::chrono::ceil<std::chrono::milliseconds>(*at - now).count());
            const int t = static_cast<int>(std::min<int64_t>(ms, 60'000));
            timeout = timeout < 0 ? t : std::min(timeout, t);
        }
        pollfd fds[2] = {{sigFd, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        const int r = ::poll(fds, readCommands ? 2 : 1, timeout);
        if (r < 0 && errno != EINTR) {
            std::fprintf(stderr, "vextor-sensor-sim: poll: %s\n", std::strerror(errno));
            exitCode = 1;
            break;
        }
        if (r > 0 && fds[0].revents)
            break; // a stop signal
        if (r > 0 && readCommands && fds[1].revents) {
            char buf[512];
            const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
            if (n <= 0) {
                readCommands = false; // end of input: keep running
            } else {
                pending.append(buf, static_cast<size_t>(n));
                for (size_t nl; (nl = pending.find('\n')) != std::string::npos;) {
                    RunCommand(pending.substr(0, nl), settings, *sim);
                    pending.erase(0, nl + 1);
                }
            }
        }
        const auto later = Clock::now();
        try {
            if (unplugAt && later >= *unplugAt) {
                unplugAt.reset();
                sim->Unplug();
                std::fprintf(stderr, "unplugged\n");
                if (settings.replugAfterMs)
                    replugAt = later + std::chrono::milliseconds(*settings.replugAfterMs);
            }
            if (replugAt && later >= *replugAt) {
                replugAt.reset();
                std::fprintf(stderr, "replugged at %s\n", sim->Replug().c_str());
            }
        } catch (const std::system_error& e) {
            std::fprintf(stderr, "vextor-sensor-sim: %s\n", e.what());
        }
    }
    sim.reset(); // stops the thread and removes the link
    ::close(sigFd);
    return exitCode;
}
