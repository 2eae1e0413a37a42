#pragma once
// Finding the sensor and bringing the link up: the step machine run by the main window's
// connection timer. A search tries the port saved in the settings file, then "COM1" to "COM10";
// on each it opens the port at 38400 baud, sends the 0x10 request as a probe and waits up to
// 2000 ms for any byte. The first port that answers is saved, a new poller is created on it,
// the first reads are raised and LinkActive becomes 1. Everything here runs on the UI thread.
#include "link/Comm.h"
#include "link/Comthread.h"
#include "model/SensorTables.h"

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

class TPortSearch {
public:
    // What the search drives in the main window.
    struct Hooks {
        std::function<void()> ArmProbeTimer;      // enable TimerSearch (2000 ms)
        std::function<void()> EnableDisplayTimer; // enable TimerVisual
        std::function<void(int)> SetProgress;     // ProgressBarCOM position
    };

    static constexpr std::array<const char*, 10> PortList = {
        "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9", "COM10"};
    static constexpr const char* DefaultPort = "COM1";
    static constexpr const char* SettingsSection = "Vextor";
    static constexpr const char* PortKey = "PortComm";

    TPortSearch(SensorTables& tables, TComm& comm, std::filesystem::path settingsFile,
                ReplyHooks* replyHooks, Hooks hooks);
    ~TPortSearch();
    TPortSearch(const TPortSearch&) = delete;
    TPortSearch& operator=(const TPortSearch&) = delete;

    // "Connetti" and the main window's first showing: the search starts at the next tick.
    void Start() {
        SearchStep = 1;
        downNoted_ = false;
    }
    // One step, at every tick of TimerConnect.
    void SearchTick();
    // With AutoReconnect set, a link that is down (lost, or a search that found nothing) is
    // searched for again by itself once it has been down for more than ReconnectDelayMs, and
    // again after each search that fails, until the sensor answers.
    bool AutoReconnect = false;
    static constexpr uint32_t ReconnectDelayMs = 5000;
    // The tick of TimerSearch: the probe wait is over.
    void ProbeTimeout() { ProbeTimedOut = 1; }
    // Asks the poller to stop, waits for it (serving its hand-offs) and destroys it.
    void StopPoller();

    TComThread* ComThread() const { return comThread_.get(); }
    // "On-Line", "Off-Line" or "Search-Line".
    const char* LinkStateText() const;
    // Why the last search could not use a port that exists (for instance no permission), for
    // the port label's tooltip; empty when there is nothing to say.
    const std::string& PortNote() const { return portNote_; }

    int32_t SearchStep = 0; // 0 idle, 1 start, 2 open and probe, 3 wait, 4 next port
    int16_t PortIndex = 0;
    uint8_t ProbeTimedOut = 0;
    std::string SavedPort;

private:
    void OpenAndProbe();
    void NoteOpenFailure();
    void ReconnectWhenDue();

    SensorTables& tables_;
    TComm& comm_;
    std::filesystem::path settingsFile_;
    ReplyHooks* replyHooks_;
    Hooks hooks_;
    std::unique_ptr<TComThread> comThread_;
    std::string portNote_;
    bool downNoted_ = false; // the link is down and downSince_ holds since when
    uint32_t downSince_ = 0;
};
