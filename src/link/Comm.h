#pragma once
// The serial port component: `TComm` (placed on the main window as `Comm1`), its base
// `TThreadComm` that holds all the logic, and the event watcher thread `TCommEventThread`.
//
// On Linux the port is a terminal device driven through termios:
// - Open: the device is opened read/write, non-blocking, not as controlling terminal, and kept
//   for this process alone (flock plus TIOCEXCL, both released at Close). A device that cannot be
//   opened (absent, in use, permission denied, not a terminal) is not an error: the port stays
//   closed and LastOpenError() tells why. The line is put in raw mode: no input or output
//   translation, no echo, no signals and no XON/XOFF handling (the payload carries 0x11, 0x13 and
//   0x0D), receiver on, modem lines ignored (CLOCAL), no hang-up on close, VMIN = VTIME = 0. The
//   settings the device had are restored at Close.
// - Line settings are read back after they are applied; a field the device did not keep raises
//   "Error updating DataControlBlock (Error: 22)". The bit rate may differ by up to 3 % (a UART
//   rounds to its divisor; a line still works at that error). A pseudo-terminal frames no
//   characters and always reports 8 data bits without parity, so those two are not compared
//   there; it keeps everything else, the bit rate included. 14400, 56000, 128000 and 256000 have
//   no termios constant and are set as exact rates (BOTHER); a UART that cannot come close enough
//   to one of them refuses it that way. da4 does not exist on Linux and raises the same error
//   (Error: 22). sb15 sets CSTOPB: 1.5 stop bits with 5 data bits, 2 otherwise, as the UART does.
// - Options: coParityCheck turns on input parity checking (INPCK; a character with a parity or
//   framing error then reads as 0x00). coDsrSensitivity, coIgnoreXOff, coErrorChar and
//   coNullStrip have no termios equivalent and are stored only. The XON and XOFF characters
//   become VSTART and VSTOP, the end-of-file character VEOF (all without effect in raw mode);
//   the error and event characters and the XON/XOFF limits have no Linux field. FlowControl
//   leaves the hardware handshake (CRTSCTS) as the device has it, whatever its value.
// - There are no driver buffer sizes to ask for on Linux: ReadBufSize and WriteBufSize are
//   stored only, and "Error initializing Read/Write Buffers" is never raised. The write time-out
//   is ten times the character time at the configured line settings, per byte still to go.
// - The watcher reports evRxChar only: Linux has no poll event for break, line errors, modem
//   line changes, a received event character or an empty transmitter, so OnBreak, OnCts, OnDsr,
//   OnError, OnRing, OnRlsd, OnRxFlag and OnTxEmpty are never raised by it (HandleCommEvent
//   still dispatches them when called with their bits).
//
// Threads: Open, Close, Read, Write, EscapeComm and the line-setting setters take the port's
// re-entrant lock. The watcher delivers every event on the user-interface thread through a
// hand-off and waits for it; the delivery runs under the port's lock, so event handlers may call
// Read and Write but must not wait for another thread that uses this port.
#include "link/PortNames.h"
#include "link/SerialPort.h"
#include "platform/Thread.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>

enum TBaudRate {
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum TParity { paNone, paOdd, paEven, paMark, paSpace };
enum TStopBits { sb10, sb15, sb20 };
enum TDataBits { da4, da5, da6, da7, da8 };
enum TFlowControl { fcNone, fcCTS, fcDTR, fcSoftware, fcDefault };
enum TCommOption { coParityCheck, coDsrSensitivity, coIgnoreXOff, coErrorChar, coNullStrip };
enum TCommEventType {
    evBreak,
    evCts,
    evDsr,
    evError,
    evRing,
    evRlsd,
    evRxChar,
    evRxFlag,
    evTxEmpty
};

// The bit rate of a TBaudRate value.
uint32_t BaudRateValue(TBaudRate rate);

// A set of enumeration members (members 0 to 31).
template <typename E> class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> members) {
        for (E e : members)
            Include(e);
    }
    constexpr bool Contains(E e) const { return (bits_ >> static_cast<unsigned>(e)) & 1u; }
    constexpr void Include(E e) { bits_ |= 1u << static_cast<unsigned>(e); }
    constexpr void Exclude(E e) { bits_ &= ~(1u << static_cast<unsigned>(e)); }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr uint32_t Bits() const { return bits_; }
    friend constexpr bool operator==(TSet a, TSet b) { return a.bits_ == b.bits_; }

private:
    uint32_t bits_ = 0;
};
using TCommOptions = TSet<TCommOption>;
using TCommEventTypes = TSet<TCommEventType>;

inline constexpr TCommEventTypes AllCommEvents{evBreak, evCts,    evDsr,    evError,  evRing,
                                               evRlsd,  evRxChar, evRxFlag, evTxEmpty};

// Line event codes, the bits of an event mask.
inline constexpr uint32_t EV_RXCHAR = 0x0001;
inline constexpr uint32_t EV_RXFLAG = 0x0002;
inline constexpr uint32_t EV_TXEMPTY = 0x0004;
inline constexpr uint32_t EV_CTS = 0x0008;
inline constexpr uint32_t EV_DSR = 0x0010;
inline constexpr uint32_t EV_RLSD = 0x0020;
inline constexpr uint32_t EV_BREAK = 0x0040;
inline constexpr uint32_t EV_ERR = 0x0080;
inline constexpr uint32_t EV_RING = 0x0100;

uint32_t CommEventCode(TCommEventType event);
uint32_t CommEventMask(TCommEventTypes events); // OR of the members' codes

// Line control functions for EscapeComm.
namespace CommEscape {
inline constexpr uint32_t SETXOFF = 1; // act as if XOFF had been received: output stops
inline constexpr uint32_t SETXON = 2;  // act as if XON had been received: output resumes
inline constexpr uint32_t SETRTS = 3;
inline constexpr uint32_t CLRRTS = 4;
inline constexpr uint32_t SETDTR = 5;
inline constexpr uint32_t CLRDTR = 6;
inline constexpr uint32_t RESETDEV = 7; // printers only: fails on a serial line
inline constexpr uint32_t SETBREAK = 8;
inline constexpr uint32_t CLRBREAK = 9;
} // namespace CommEscape

// The component's error texts; "%d" becomes the error code (the system's errno or -1).
namespace CommError {
inline constexpr const char* PortAssigned = "Port already assigned (open) (Error: %d)";
inline constexpr const char* Buffers = "Error initializing Read/Write Buffers (Error: %d)";
inline constexpr const char* CommTimeouts = "Error updating CommTimeouts (Error: %d)";
inline constexpr const char* DataControlBlock = "Error updating DataControlBlock (Error: %d)";
inline constexpr const char* EscapeFunction = "EscapeCommFunction failure (Error: %d)";
inline constexpr const char* NotOpen = "Port not open (Error: %d)";
} // namespace CommError
std::string CommErrorMessage(const char* text, int code);

// The line status record: queue counts and hold flags.
struct TComStat {
    bool CtsHold = false;  // hardware handshake on and CTS off
    bool DsrHold = false;  // Linux has no DSR handshake: always false
    bool RlsdHold = false; // Linux has no carrier handshake: always false
    bool XoffHold = false; // no XON/XOFF handling in raw mode: always false
    bool XoffSent = false; // likewise
    bool Eof = false;
    bool Txim = false;
    uint32_t InQue = 0;  // bytes waiting to be read
    uint32_t OutQue = 0; // bytes not yet sent
};

class TThreadComm;
class TCommEventThread;

using TNotifyEvent = std::function<void(TThreadComm* Sender)>;
using TCommErrorEvent = std::function<void(TThreadComm* Sender, int32_t Errors)>;
using TCommRxCharEvent = std::function<void(TThreadComm* Sender, uint32_t Count)>;
using TCommStatEvent =
    std::function<void(TThreadComm* Sender, uint32_t Status, const TComStat& ComStat)>;

// The five special characters of the line. Setting one re-applies the line settings of the port
// that owns it (when it has one).
class TCommEventChars {
public:
    explicit TCommEventChars(TThreadComm* owner = nullptr) : owner_(owner) {}
    virtual ~TCommEventChars() = default;
    TCommEventChars(const TCommEventChars&) = delete;
    TCommEventChars& operator=(const TCommEventChars&) = delete;

    // Copies the five characters, then re-applies the owner's line settings once.
    virtual void Assign(const TCommEventChars& source);

    char XOnChar() const { return xOn_; }
    char XOffChar() const { return xOff_; }
    char ErrorChar() const { return error_; }
    char EoFChar() const { return eof_; }
    char EvtChar() const { return evt_; }
    void SetXOnChar(char c) { Set(xOn_, c); }
    void SetXOffChar(char c) { Set(xOff_, c); }
    void SetErrorChar(char c) { Set(error_, c); }
    void SetEoFChar(char c) { Set(eof_, c); }
    void SetEvtChar(char c) { Set(evt_, c); }

private:
    void Set(char& field, char c);
    void Changed();

    TThreadComm* owner_;
    char xOn_ = 0x11;
    char xOff_ = 0x13;
    char error_ = 0x00;
    char eof_ = 0x00;
    char evt_ = 0x00;
};

// Shared by an open port and its watcher (defined in Comm.cpp).
struct CommWatchLink;

// Counts kept by the current watcher, for diagnostics and tests.
struct TCommWatchStats {
    uint64_t Wakeups = 0;    // returns from its waits
    uint64_t Deliveries = 0; // deliveries handed to the user-interface thread
};

class TThreadComm : public SerialPort {
public:
    TThreadComm();
    ~TThreadComm() override; // closes an open port
    TThreadComm(const TThreadComm&) = delete;
    TThreadComm& operator=(const TThreadComm&) = delete;

    // Opens DeviceName and starts the watcher. A device that cannot be opened leaves the port
    // closed without an error. Raises "Port already assigned (open) (Error: -1)" on an open port
    // and "Error updating DataControlBlock (Error: %d)" when the line settings do not take; the
    // device is closed again then, so the next Open tries afresh.
    void Open();
    void Close() override;
    int Write(const void* buffer, int count) override;
    int Read(void* buffer, int count) override;
    bool Enabled() const override { return open_.load(std::memory_order_acquire); }

    // errno of the last Open that left the port closed (ENOENT, EBUSY, EACCES, ENOTTY, ...);
    // 0 after an Open that succeeded.
    int LastOpenError() const;
    // The same as a category.
    PortFault LastOpenFault() const;
    PortFault LastIoFault() const override;
    int LastIoError() const override;
    // The device path the last Open tried (DeviceName mapped by the port-name rules).
    std::string DevicePath() const;
    // How "COMn" names map to devices (default: /dev and /sys/class/tty, no settings file).
    void SetPortNameContext(PortNameContext context);

    void Lock() { lock_->lock(); }
    void Unlock() { lock_->unlock(); }
    void CheckOpen() const;
    int InQueCount() const;  // -1 when closed (or the driver cannot tell)
    int OutQueCount() const; // likewise
    void PurgeIn();
    void PurgeOut();
    // 1 = CTS, 2 = DSR, 3 = RING, 4 = carrier detect. False for other numbers, when closed, or
    // when the device has no modem lines (a pseudo-terminal).
    bool GetModemState(int line) const;
    // 2 = DSR hold, 3 = RLSD hold, 4 = XOFF received, 5 = XOFF sent, any other = CTS hold.
    // Only the CTS hold exists on Linux (hardware handshake on and CTS off); the others are false.
    bool GetComState(int flag) const;
    void SetDTRState(bool on);
    void SetRTSState(bool on);
    void SetBREAKState(bool on);
    void SetXONState(bool on); // tcflow TCOON / TCOOFF: output resumes or stops
    void EscapeComm(uint32_t function);

    // Runs on the user-interface thread for each delivery of the watcher, under the port's lock.
    void HandleCommEvent(TCommEventThread* Sender, uint32_t Status);

    TCommWatchStats WatcherStats() const;

    // Properties.
    const std::string& DeviceName() const { return deviceName_; }
    void SetDeviceName(const std::string& name);
    int32_t ReadTimeout() const { return readTimeout_; }
    void SetReadTimeout(int32_t ms) { readTimeout_ = ms; }
    int32_t WriteTimeout() const { return writeTimeout_; }
    void SetWriteTimeout(int32_t ms) { writeTimeout_ = ms; }
    uint16_t ReadBufSize() const { return readBufSize_; }
    void SetReadBufSize(uint16_t size);
    uint16_t WriteBufSize() const { return writeBufSize_; }
    void SetWriteBufSize(uint16_t size);
    uint32_t SuspendTime() const { return suspendTime_; }
    void SetSuspendTime(uint32_t ms);
    TCommEventTypes MonitorEvents() const { return monitorEvents_; }
    void SetMonitorEvents(TCommEventTypes events);
    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate rate);
    TParity Parity() const { return parity_; }
    void SetParity(TParity parity);
    TStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TStopBits bits);
    TDataBits DataBits() const { return dataBits_; }
    void SetDataBits(TDataBits bits);
    TCommEventChars& EventChars() { return *eventChars_; }
    const TCommEventChars& EventChars() const { return *eventChars_; }
    void SetEventChars(const TCommEventChars& chars) { eventChars_->Assign(chars); }
    TCommOptions Options() const { return options_; }
    void SetOptions(TCommOptions options);
    TFlowControl FlowControl() const { return flowControl_; }
    void SetFlowControl(TFlowControl flow);

    // Events, raised on the user-interface thread.
    TNotifyEvent OnBreak, OnCts, OnDsr, OnRing, OnRlsd;
    TCommErrorEvent OnError;
    TCommRxCharEvent OnRxChar;
    TNotifyEvent OnRxFlag, OnTxEmpty;
    TCommStatEvent OnComStatEvent;

protected:
    // Opens the device; true when the port is then open (sets the open flag).
    virtual bool CreateHandle();
    void UpdateCommTimeouts();
    void UpdateDataControlBlock();
    void UpdateDataControlBlockLock();

private:
    friend class TCommEventChars;
    friend class TCommEventThread;
    struct Device; // the open device: descriptor and saved line settings (Comm.cpp)

    // A delivery of the watcher (under the lock): runs HandleCommEvent and returns how many of
    // the bytes it announced are still unread, so the watcher can tell newer bytes from them.
    uint32_t DeliverCommEvent(TCommEventThread* sender, uint32_t status);

    template <typename T> void SetLineField(T& field, T value);
    template <typename T> void SetWhileClosed(T& field, T value);
    void StartWatcher();
    void NoteIoFault(PortFault fault, int error); // under lock_
    void DetachWatcher();
    TComStat LineStatus() const;

    // The lock is shared with the watcher's deliveries, which may run after the port is gone.
    std::shared_ptr<std::recursive_mutex> lock_;
    std::unique_ptr<Device> device_; // null while closed; under lock_
    std::atomic<bool> open_{false};
    uint64_t closes_ = 0;                 // under lock_: tells a handler that closed the port
    uint64_t bytesRead_ = 0;              // under lock_: every byte Read has returned
    uint32_t announced_ = 0;              // under lock_: input count of the last HandleCommEvent
    std::shared_ptr<CommWatchLink> link_; // the current watcher's link; under lock_
    uint32_t writeByteMicros_ = 0;        // write time-out per byte; under lock_
    int lastOpenError_ = 0;               // under lock_
    PortFault ioFault_ = PortFault::None; // under lock_: why the last Read or Write stopped
    int ioError_ = 0;                     // under lock_: its errno, 0 for none
    std::string devicePath_;              // under lock_
    PortNameContext portNames_;           // under lock_

    std::string deviceName_ = "Com2";
    int32_t readTimeout_ = 1000;
    int32_t writeTimeout_ = 1000;
    uint16_t readBufSize_ = 4096;
    uint16_t writeBufSize_ = 2048;
    uint32_t suspendTime_ = 5;
    TCommEventTypes monitorEvents_ = AllCommEvents;
    TBaudRate baudRate_ = br9600;
    TParity parity_ = paNone;
    TStopBits stopBits_ = sb10;
    TDataBits dataBits_ = da8;
    std::unique_ptr<TCommEventChars> eventChars_;
    TCommOptions options_;
    TFlowControl flowControl_ = fcDefault;
};

// The component as placed on a window; all of it is public in TThreadComm.
class TComm : public TThreadComm {
public:
    using TThreadComm::TThreadComm;
};

// Waits for line events on its own duplicate of the device descriptor and delivers each on the
// user-interface thread, waiting for the delivery. It owns itself: started by Open, it ends when
// the port is closed (or the device hangs up) and then destroys itself.
class TCommEventThread : public TThread {
public:
    // Takes ownership of `device` (a duplicate made for it) and sets its event mask from
    // `events`. `suspendTime` is the re-check interval in ms while bytes stay unread.
    TCommEventThread(int device, uint32_t suspendTime, TCommEventTypes events,
                     std::shared_ptr<CommWatchLink> link);
    ~TCommEventThread() override;

    uint32_t EventMask() const { return eventMask_; }

protected:
    void Execute() override;

private:
    void Deliver();

    int device_;
    uint32_t eventMask_;
    uint32_t status_ = 0;     // event mask of the last wait
    uint32_t leftUnread_ = 0; // announced bytes the last delivery left unread
    int recheckMs_;
    std::shared_ptr<CommWatchLink> link_;
};
