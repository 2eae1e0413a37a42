// A journal writer in a process of its own, for the tests that kill it or limit its file size.
//
//   journal_writer <folder> <count> [--sync-ms N] [--file-limit-extra BYTES] [--finish] [--hold]
//
// Creates a journal in folder ("Grafico", JournalTestHeader) and appends the samples
// JournalTestSample(0 .. count-1), reporting on stdout, one line each:
//   file <path>               the journal exists (its header is written)
//   appended <n>              n samples are in the journal
//   failed <n> <error>        an append was refused after n samples; then
//   again <0|1>               whether one more append was accepted
//   done                      at the end (after Finish and WaitIdle with --finish)
// --file-limit-extra: the file may grow only BYTES past its header (RLIMIT_FSIZE, with SIGXFSZ
// ignored), as on a full disk. --hold: waits for the end of stdin before exiting.
#include "JournalSamples.h"

#include "platform/Thread.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: %s <folder> <count> [--sync-ms N] "
                     "[--file-limit-extra BYTES] [--finish] [--hold]\n",
                     argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const long count = std::atol(argv[2]);
    JournalOptions options;
    long limitExtra = -1;
    bool finish = false;
    bool hold = false;
    for (int i = 3; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--sync-ms" && i + 1 < argc)
            options.SyncIntervalMs = std::atoi(argv[++i]);
        else if (a == "--file-limit-extra" && i + 1 < argc)
            limitExtra = std::atol(argv[++i]);
        else if (a == "--finish")
            finish = true;
        else if (a == "--hold")
            hold = true;
        else {
            std::fprintf(stderr, "unknown argument %s\n", argv[i]);
            return 2;
        }
    }
    int rc = 0;
    {
        RecordingJournal journal(folder, JournalTestHeader(), options);
        if (journal.Failed()) {
            std::printf("failed 0 %s\n", qPrintable(journal.Error()));
            return 1;
        }
        std::printf("file %s\n", journal.File().c_str());
        std::fflush(stdout);
        if (limitExtra >= 0) {
            struct stat st {};
            if (::stat(journal.File().c_str(), &st) != 0)
                return 3;
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{static_cast<rlim_t>(st.st_size + limitExtra),
                               static_cast<rlim_t>(st.st_size + limitExtra)};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                return 3;
        }
        for (long i = 0; i < count; ++i) {
            if (!journal.Append(JournalTestSample(static_cast<uint32_t>(i)))) {
                std::printf("failed %lld %s\n", static_cast<long long>(journal.Appended()),
                            qPrintable(journal.Error()));
                std::printf("again %d\n", journal.Append(JournalTestSample(0)) ? 1 : 0);
                rc = 1;
                break;
            }
            std::printf("appended %lld\n", static_cast<long long>(journal.Appended()));
            std::fflush(stdout);
        }
        if (finish) {
            journal.Finish();
            journal.WaitIdle();
        }
    }
    TThread::WaitForSelfOwnedThreads(10000);
    std::printf("done\n");
    std::fflush(stdout);
    if (hold) {
        char c = 0;
        while (::read(STDIN_FILENO, &c, 1) > 0) {
        }
    }
    return rc;
}
