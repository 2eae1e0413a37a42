// The recording journal's cost on the caller's (UI) thread: a whole day of one chart window,
// 86,400 appends, into a journal in a fresh folder:
//   - without a sync (the interval is longer than the run);
//   - with the 10 s sync of the program, on a simulated clock that moves one second per
//     sample, so the background thread syncs every 10 appends while they go on;
//   - with a sync asked at every append (the worst case for the hand-off to the thread);
// and the time to read the day back (what recovery costs at start-up).
//
//   bench_journal [folder]      (default: a new folder under $TMPDIR or /tmp; pass a folder on
//                                the disk that holds the recordings for real fdatasync figures)
//
// Ends with the line
//   journal append: <a> us per sample without sync, <b> us with the 10 s sync, <c> us syncing every
//   sample
#include "platform/RecordingJournal.h"
#include "platform/Thread.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/vfs.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int Samples = 86'400;
constexpr long TmpfsMagic = 0x01021994;

double Us(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

struct Figures {
    double meanUs = 0;
    double medianUs = 0;
    double p99Us = 0;
    double maxUs = 0;
    double idleMs = 0; // from the last append until the thread has done everything asked
    int64_t syncs = 0;
    fs::path file;
};

Figures Run(const fs::path& folder, int syncIntervalMs, bool simulatedClock) {
    int64_t now = 0;
    JournalOptions options;
    options.SyncIntervalMs = syncIntervalMs;
    if (simulatedClock)
        options.SteadyNowMs = [&now] { return now; };
    RecordingHeader header;
    header.Window = "Grafico";
    header.Start = QDateTime::currentDateTime();
    header.OutputIndex = 1;
    header.OutputTitle = "Portata [m³/h]";
    header.Unit = "m³/h";
    header.FullScale = 1200;

    Figures f;
    RecordingJournal journal(folder, header, options);
    if (journal.Failed()) {
        std::fprintf(stderr, "%s\n", qPrintable(journal.Error()));
        std::exit(1);
    }
    std::vector<double> us(Samples);
    const int64_t epochMs = QDateTime::currentMSecsSinceEpoch();
    const auto start = Clock::now();
    for (int i = 0; i < Samples; ++i) {
        const RecordingSample s{epochMs + int64_t{i} * 1000, i * 7 % 1200, 200 + i % 50};
        const auto t0 = Clock::now();
        if (!journal.Append(s)) {
            std::fprintf(stderr, "%s\n", qPrintable(journal.Error()));
            std::exit(1);
        }
        us[static_cast<size_t>(i)] = Us(Clock::now() - t0);
        now += 1000;
    }
    const auto appended = Clock::now();
    journal.Finish();
    journal.WaitIdle();
    f.idleMs = Us(Clock::now() - appended) / 1000.0;
    f.meanUs = Us(appended - start) / Samples;
    f.syncs = journal.CompletedSyncs();
    f.file = journal.File();
    std::sort(us.begin(), us.end());
    f.medianUs = us[us.size() / 2];
    f.p99Us = us[us.size() * 99 / 100];
    f.maxUs = us.back();
    return f;
}

void Print(const char* what, const Figures& f) {
    std::printf("%-28s mean %.2f us, median %.2f us, p99 %.2f us, max %.1f us per append; "
                "%lld syncs; idle %.1f ms after the last append\n",
                what, f.meanUs, f.medianUs, f.p99Us, f.maxUs, static_cast<long long>(f.syncs),
                f.idleMs);
}

} // namespace

int main(int argc, char** argv) {
    fs::path base;
    if (argc > 1) {
        base = argv[1];
    } else {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench-journal-XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            return 1;
        }
        base = pattern;
    }
    struct statfs fsInfo {};
    const bool tmpfs =
        ::statfs(base.c_str(), &fsInfo) == 0 && static_cast<long>(fsInfo.f_type) == TmpfsMagic;
    std::printf("folder %s%s\n", base.c_str(),
                tmpfs ? " (tmpfs: fdatasync costs nothing here)" : "");

    const Figures none = Run(base / "nosync", 24 * 3600 * 1000, true);
    Print("without sync:", none);
    const Figures tenSeconds = Run(base / "sync10s", 10'000, true);
    Print("10 s sync (simulated clock):", tenSeconds);
    const Figures every = Run(base / "syncall", 0, false);
    Print("sync asked at every append:", every);

    const auto t0 = Clock::now();
    const auto recording = ReadRecording(tenSeconds.file);
    const double readMs = Us(Clock::now() - t0) / 1000.0;
    std::error_code ec;
    std::printf("read back: %zu samples, %.2f MiB, in %.1f ms\n",
                recording ? recording->Samples.size() : size_t{0},
                static_cast<double>(fs::file_size(tenSeconds.file, ec)) / (1024.0 * 1024.0),
                readMs);
    std::printf("journal append: %.2f us per sample without sync, %.2f us with the 10 s sync, "
                "%.2f us syncing every sample\n",
                none.meanUs, tenSeconds.meanUs, every.meanUs);

    TThread::WaitForSelfOwnedThreads(10000);
    if (argc <= 1)
        fs::remove_all(base, ec);
    return 0;
}
