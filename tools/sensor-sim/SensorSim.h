#pragma once
// A simulated Vextor flow sensor behind a pseudo-terminal.
//
// The PC side opens the slave device (SlavePath(), or a symbolic link to it) like a serial port;
// the simulator answers requests on the master side from its own thread, as the sensor would:
//   0x10 working parameters, 0x11 EEPROM copy, 0x15 identification block, 0x50 live
//   measurements (38-byte replies); 0x20 stores the parameters in working memory, 0x25 stores
//   the identification block, 0x90 copies working memory to the EEPROM, 0x80 does nothing;
//   these four are acknowledged with a 6-byte frame carrying the same command code.
// Requests are cut by count (6 bytes, 38 for 0x20 and 0x25), a frame with a wrong checksum is
// ignored and scanning resumes at the next 0x02; a partial request left alone for 250 ms is
// dropped. The slave starts raw at 38400 8N1 (no echo, no CR/NL or XON/XOFF handling). Faults
// (silence, bad checksums, noise, split, delayed or held replies, echo, a store that does not
// reach the EEPROM, unplugging) can be switched at any time. Every public member is thread-safe.
//
// The PC side may close and re-open the port as often as it likes. At its last close the line
// forgets what was in flight (partial requests, pending and unread replies) and the exclusive
// mode (TIOCEXCL) the PC had set, as a real port does. The simulator takes no flock.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// How a reply is written to the line.
enum class ReplySplit {
    Whole,   // in one write
    Pieces,  // in three pieces: 10/10/18 bytes for a 38-byte reply, 2/2/2 for an acknowledgement
    Trickle, // one byte at a time
};

// Fault switches. Every reply fault applies to the replies of the commands in OnlyCommands, or
// to every reply while OnlyCommands is empty.
struct SimFaults {
    bool Silent = false;      // requests are executed and counted, nothing is answered
    bool BadChecksum = false; // replies carry a wrong checksum
    int NoiseBytes = 0;       // garbage bytes (never 0x02) written just before each reply
    ReplySplit Split = ReplySplit::Whole;
    int SplitGapMs = 10;      // pause between the pieces (or bytes) of a split reply
    int ReplyDelayMs = 0;     // a reply leaves this long after its request has arrived
    bool EchoRequest = false; // the request comes back on the line before its reply
    bool StoreLost = false;   // 0x90 is acknowledged but the EEPROM is left unchanged
    // Replies are kept back, not written, while this is set. Clearing it (or taking a command out
    // of OnlyCommands) lets the replies kept back leave at once, in their order; the request was
    // executed when it arrived. A test decides with it exactly when a reply reaches the PC.
    bool HoldReplies = false;
    std::vector<uint8_t> OnlyCommands;

    // Whether the reply faults apply to the replies of this command.
    bool AppliesTo(uint8_t command) const {
        return OnlyCommands.empty() ||
               std::find(OnlyCommands.begin(), OnlyCommands.end(), command) != OnlyCommands.end();
    }
};

struct SimCounters {
    std::array<uint64_t, 256> Requests{}; // good request frames received, by command byte
    uint64_t BadRequests = 0;       // complete frames from a 0x02 with a wrong checksum (ignored)
    uint64_t RepliesSent = 0;       // replies and acknowledgements written completely
    uint64_t RepliesHeld = 0;       // replies kept back by HoldReplies at this moment
    uint64_t SamplesSent = 0;       // unsolicited 0x70 frames written completely
    uint64_t ClientOpens = 0;       // opens of the slave device by the PC side
    uint64_t ClientCloses = 0;      // closes of the slave device by the PC side
    uint64_t LineSettingErrors = 0; // receptions dropped: the PC side's line was not 38400 8N1
    uint64_t DroppedFrames = 0;     // output dropped because nobody read the line
    uint64_t Plugs = 1;             // pseudo-terminals opened so far (1 + successful replugs)
};

// One complete request frame as it arrived on the line.
struct LoggedRequest {
    std::vector<uint8_t> Bytes;
    bool ChecksumOk = false;
};

class SensorSimulator {
public:
    using Block = std::array<uint16_t, 16>; // sixteen words as they travel on the wire
    static constexpr int LogSize = 64;      // requests kept by RecentRequests()

    struct Options {
        std::string LinkPath; // if set, a symbolic link to the slave device (removed at the end)
        uint64_t Seed = 1;    // seed of the measurement noise and of the noise bytes
        SimFaults Faults;
        int SampleIntervalMs = 0; // unsolicited 0x70 frame every so many ms while a PC has the
                                  // port open; 0 = none
        // Receive only while the PC side has set the line to 38400 baud, 8 data bits, no
        // parity, one stop bit, as a real sensor would; bytes sent at another setting are lost.
        bool RequireLineSettings = true;
        // Called on the simulator's thread for every request and reply (verbose logging). It must
        // not call back into the simulator.
        std::function<void(const std::string&)> Log;
    };

    // Working parameters at power-up (the EEPROM copy starts equal) and the identification block.
    static Block DefaultParams();
    static Block DefaultInfo();
    // The live measurements (0x50 words) for a parameter block at a given poll number: a pure
    // function, so a test can predict every reply.
    static Block ComputeStatus(const Block& params, uint64_t seed, uint64_t step);

    // Opens the pseudo-terminal, creates the link if asked and starts answering.
    // Throws std::system_error when the pseudo-terminal or the link cannot be made.
    explicit SensorSimulator(Options options);
    SensorSimulator();
    ~SensorSimulator();
    SensorSimulator(const SensorSimulator&) = delete;
    SensorSimulator& operator=(const SensorSimulator&) = delete;

    std::string SlavePath() const; // empty while unplugged
    std::string LinkPath() const;
    bool Plugged() const;

    Block WorkingParams() const;
    void SetWorkingParams(const Block& words);
    Block EepromParams() const;
    void SetEepromParams(const Block& words);
    Block Info() const;
    void SetInfo(const Block& words);
    // What the next 0x50 reply will carry.
    Block NextStatus() const;

    SimFaults Faults() const;
    void SetFaults(const SimFaults& faults);
    void SetSampleInterval(int ms);

    SimCounters Counters() const;
    uint64_t RequestCount(uint8_t command) const;
    // The last LogSize complete request frames, oldest first, including those with a bad checksum.
    std::vector<LoggedRequest> RecentRequests() const;
    // The latest good request frame of a command, if any arrived.
    std::optional<std::vector<uint8_t>> LastRequest(uint8_t command) const;

    // Waits until `count` good requests of `command` have arrived in total; false on time-out.
    bool WaitForRequests(uint8_t command, uint64_t count, std::chrono::milliseconds timeout) const;
    // Waits until `done` holds for the counters; false on time-out. `done` runs under the lock.
    bool WaitFor(const std::function<bool(const SimCounters&)>& done,
                 std::chrono::milliseconds timeout) const;

    // Closes the pseudo-terminal, as if the cable were pulled: the PC side sees a hang-up and the
    // link (if any) is removed. Returns when done; does nothing while unplugged.
    void Unplug();
    // Opens a new pseudo-terminal (unplugging first if needed) and moves the link to it.
    // Returns the new slave path; throws std::system_error on failure.
    std::string Replug();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
