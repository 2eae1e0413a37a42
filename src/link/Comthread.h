#pragma once
// The link poller and the frame receiver.
//
// TComThread owns the conversation with the sensor while the link is up: it serves the raised
// requests one at a time in a fixed priority order, polls the measurements (0x50) every 500 ms
// when nothing is pending, waits up to 2000 ms for a good reply and pauses 500 ms after each one.
// A missing reply ends the link at once: LinkActive goes to 0, the port is closed, LinksLost + 1.
//
// The receiver half runs on the UI thread (the port delivers its receive events there): it cuts
// the incoming bytes into frames by count, checks the XOR and stores the good ones in the word
// tables. The two halves meet through ExpectedLength (written by the poller) and ReplyOk.
#include "link/SensorFrame.h"
#include "link/SerialPort.h"
#include "model/SensorTables.h"
#include "platform/Thread.h"

#include <array>
#include <atomic>
#include <cstdint>

// Request bits, in the order of priority in which the poller serves them.
enum RequestBits : uint32_t {
    ReqReadSetup = 0x001,   // 0x10
    ReqWriteSetup = 0x002,  // 0x20
    ReqCmd80 = 0x010,       // 0x80
    ReqStoreEeprom = 0x020, // 0x90
    ReqReadBack = 0x040,    // 0x11
    ReqReadInfo = 0x080,    // 0x15
    ReqWriteInfo = 0x100,   // 0x25
};

// Counted by the poller (sent, time-outs, losses) and by the receiver (good, bad checksum).
// They start at 0 in every new poller and are never reset.
struct TLinkCounters {
    SharedValue<int32_t> FramesSent{0};
    SharedValue<int32_t> RepliesGood{0};
    SharedValue<int32_t> ChecksumErrors{0};
    SharedValue<int32_t> Timeouts{0};
    SharedValue<int32_t> LinksLost{0};
};

class TComThread : public TThread {
public:
    // States of the request state machine.
    enum class State : int8_t {
        Starting = 0,      // until the first request may go out
        Selecting = 1,     // choosing the next request
        Sending = 2,       // writing it
        AwaitingReply = 3, // until ReplyOk or the reply time-out
        Pausing = 4,       // after a good reply
        LinkLost = 5,      // no reply: close the port
    };

    static constexpr uint32_t StartDelayMs = 1000; // first request no sooner than this
    static constexpr uint32_t IdlePollMs = 500;    // 0x50 interval when nothing is pending
    static constexpr uint32_t ReplyWaitMs = 2000;  // a reply later than this loses the link
    static constexpr uint32_t PauseMs = 500;       // pause after every good reply
    static constexpr int ReceiveBufferSize = 1024; // bytes read per portion

    // The poller runs at once unless start is false (tests drive PollStep themselves).
    TComThread(SensorTables& tables, SerialPort& port, ReplyHooks* hooks = nullptr,
               bool start = true);
    ~TComThread() override;

    // Called on the UI thread: adds the bits to the pending requests. Raising a bit that is
    // already pending adds nothing.
    void RaiseRequest(uint32_t bits) noexcept {
        // Counted before the bit is raised: the poller that takes the bit sees the count, and
        // with it the table entries the caller wrote before raising.
        if (bits & ReqWriteSetup)
            setupWrite_.raised.fetch_add(1, std::memory_order_acq_rel);
        if (bits & ReqWriteInfo)
            infoWrite_.raised.fetch_add(1, std::memory_order_acq_rel);
        RequestFlags.fetch_or(bits, std::memory_order_acq_rel);
        Wake(); // a poller sleeping until its next idle poll serves it now
    }

    // Whether a 0x20 (0x25) raised on the UI thread has not been encoded yet. Until it has, the
    // table holds what the user confirmed and the write must carry it: a 0x10 (0x15) reply that
    // comes meanwhile is taken as the answer but leaves SetupWords (InfoWords) alone.
    bool SetupWriteOutstanding() const noexcept { return setupWrite_.Outstanding(); }
    bool InfoWriteOutstanding() const noexcept { return infoWrite_.Outstanding(); }

    // One step of the request state machine (poller thread).
    void PollStep() noexcept;

    // Receiver (UI thread): reads count waiting bytes from the port in portions of at most
    // 1024 bytes and feeds them to the assembler.
    void ReceiveBytes(int count) noexcept;
    // Feeds bytes to the frame assembler, one by one.
    void FeedBytes(const uint8_t* bytes, int count) noexcept;
    // Stores the payload of the frame in RxFrame by its command code.
    void DispatchReply(uint8_t command) noexcept;

    // Poller state. Fields the UI thread reads (statistics window, tests) are shared values.
    std::array<uint8_t, 52> TxFrame{};
    int16_t TxLength = 0;
    SharedValue<State> PollState{State::Starting};
    std::atomic<uint32_t> RequestFlags{0};
    uint8_t TxCommand = 0;
    uint32_t StartTick = 0;
    uint32_t ReplyTick = 0;
    uint32_t PollTick = 0;
    uint32_t PauseTick = 0;
    TLinkCounters LinkCounters;

    // Receiver state (UI thread) and its handshake with the poller.
    std::array<uint8_t, SensorFrame::MaxLength> RxFrame{};
    int16_t RxState = 0; // 0 waiting for a start byte, 1 collecting
    int16_t RxCount = 0;
    SharedValue<int16_t> ExpectedLength{0}; // written by the poller only
    SharedValue<uint8_t> ReplyOk{0};

protected:
    void Execute() override;

private:
    // How long the poller may sleep before its next step can change anything: until the next
    // time limit of its state, 0 when it can go on at once. While the link is down it looks at
    // LinkActive again every LinkCheckMs (the port search sets it without a wake).
    static constexpr int LinkCheckMs = 100;
    int MsToNextStep() const noexcept;
    bool ReplyOverdue() const noexcept;
    void SendRequest() noexcept;
    void LogLinkLost() const noexcept;
    void AssembleByte(uint8_t b) noexcept;

    // Raises of a write request, and the raise count the last encoded write of it covers.
    struct WriteMark {
        std::atomic<uint32_t> raised{0}; // UI thread
        std::atomic<uint32_t> sent{0};   // poller
        uint32_t taken = 0;              // poller: the count seen when the bit was taken
        bool Outstanding() const noexcept {
            return raised.load(std::memory_order_acquire) != sent.load(std::memory_order_acquire);
        }
    };
    WriteMark* MarkOf(uint8_t command) noexcept;
    WriteMark setupWrite_;
    WriteMark infoWrite_;

    SensorTables& tables_;
    SerialPort& port_;
    ReplyHooks* hooks_;
    std::array<uint8_t, ReceiveBufferSize> rxBuffer_{};
};

// What the port's receive event does (the main window's Comm1RxChar): count bytes are waiting.
// While the link is active the poller's receiver reads them; otherwise they stay queued and are
// read with the next event after the link has come up. Either way RxSeen tells the port search
// that something answered its probe.
void ReceiveWaitingBytes(SensorTables& tables, TComThread* comThread, uint32_t count) noexcept;
