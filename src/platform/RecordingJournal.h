#pragma once
// Recordings that outlive the program: every acquisition of a chart window is also written, one
// sample at a time, to a journal file in the per-user recordings folder, so that the morning
// after a crash, a logout or a power cut the night's recording is still there.
//
// A journal is a small text header (which window, start time, output type with its title and
// unit, the full scale) and then one fixed-size binary record per sample (wall-clock time,
// primary, secondary), each with its sample number and a checksum, so that a record cut short
// by a crash or a power cut is recognised and dropped on reading, with every whole record
// before it kept.
//
// Writing (RecordingJournal) is a plain write() per sample on the caller's thread; a background
// thread of the journal's own brings the data to the disk with fdatasync at most every
// SyncIntervalMs and when the journal is finished. A journal is "unfinished" from its creation
// until Finish() (the acquisition was stopped, or reached its last sample): one that is still
// unfinished when nobody writes it any more (the program died, or closed during an acquisition)
// is found by UnfinishedJournals() at the next start. A journal being written is locked
// (flock), so a second running copy of the program never takes it for an abandoned one; the
// lock goes with the process, however it ends.
//
// Nothing here throws on a file error: a journal that cannot be created or written reports
// Failed() with the reason, and from then on ignores appends; the caller goes on in memory.
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct RecordingSample {
    int64_t TimeMs = 0; // wall clock, milliseconds since the epoch
    int32_t Primary = 0;
    int32_t Secondary = 0;
};

struct RecordingHeader {
    QString Window;        // the window that records: "Grafico" or "Debug"
    QDateTime Start;       // written as ISO 8601 local time with its offset
    int OutputIndex = 0;   // the output type (the main window's selector index; -1 none)
    QString OutputTitle;   // its text as shown above the chart, e.g. "Portata [m³/h]"
    QString Unit;          // e.g. "m³/h"
    int32_t FullScale = 0; // SetupWords[6]
};

struct Recording {
    RecordingHeader Header;
    std::vector<RecordingSample> Samples; // every whole, intact record, in order
    std::filesystem::path File;
    bool Finished = false; // finished by its writer (not left unfinished)
    bool Torn = false;     // the file ended in a partial or damaged record, which was dropped
};

struct JournalOptions {
    int SyncIntervalMs = 10000;
    // Steady clock in milliseconds, for the sync interval; std::chrono::steady_clock when not set.
    std::function<int64_t()> SteadyNowMs;
};

class RecordingJournal {
public:
    // Creates a new, unfinished journal in folder (created with its parents when missing). On
    // failure the journal is Failed() with the reason; it never throws for a file error.
    RecordingJournal(const std::filesystem::path& folder, const RecordingHeader& header,
                     JournalOptions options = {});
    // Brings what was written to the disk (in the background) and leaves the journal unfinished
    // unless Finish() was called: a journal dropped during an acquisition is offered again.
    ~RecordingJournal();
    RecordingJournal(const RecordingJournal&) = delete;
    RecordingJournal& operator=(const RecordingJournal&) = delete;

    // Appends one record with a plain write(); asks for a sync when the interval has passed.
    // Returns false when the journal has failed (now, or earlier: nothing more is written).
    // After Finish() nothing is written either, and it returns false without failing.
    bool Append(const RecordingSample& sample);
    // Syncs and marks the journal finished (in the background). Appends after it are ignored.
    void Finish();

    bool Failed() const;
    // Why it failed, in the system's words (strerror), with the file or folder; empty when not.
    QString Error() const;
    // The journal's file: its unfinished name, from Finish() on the name it takes when finished
    // (the rename happens in the background: done after WaitIdle(), unless Failed() says why
    // not). The path it could not create when the journal failed at creation.
    const std::filesystem::path& File() const noexcept;
    // The records written, whole.
    int64_t Appended() const noexcept;
    // How many fdatasyncs of the journal the background thread has completed (for tests).
    int64_t CompletedSyncs() const noexcept;

    // Waits until everything asked of the background thread so far is done (tests, exit).
    void WaitIdle();

private:
    struct State;
    std::shared_ptr<State> state_;
};

// $XDG_DATA_HOME/vextor-config/recordings (~/.local/share/... by default); not created here.
std::filesystem::path RecordingsFolder();

// Reads a journal: its header and every whole, intact record up to the first torn or damaged
// one. Nothing when the file cannot be read or its header is not a journal's (error says why).
std::optional<Recording> ReadRecording(const std::filesystem::path& file,
                                       QString* error = nullptr);

// The journals in folder left unfinished by a writer that no longer runs (not locked), newest
// first.
std::vector<std::filesystem::path> UnfinishedJournals(const std::filesystem::path& folder);

// Marks an unfinished journal as recovered: it is kept, and never offered again. Returns the
// journal's new path, or nothing when it could not be marked.
std::optional<std::filesystem::path> MarkRecovered(const std::filesystem::path& file);

// Removes the oldest finished and recovered journals until at most maxFiles of them remain and
// they take at most maxBytes together. Unfinished journals and other files are never touched.
void PruneRecordings(const std::filesystem::path& folder, size_t maxFiles = 20,
                     uint64_t maxBytes = 200ull * 1024 * 1024);
