#pragma once
// Why a port could not be opened, or why its last read or write stopped short. The port maps the
// system's error codes to these; everyone else looks only at the category.
enum class PortFault {
    None,
    NotFound,     // no such device
    InUse,        // another program holds it
    NoPermission, // the user may not open it (group dialout)
    NotATerminal, // a device that is no serial line
    HangUp,       // the far end hung up or the adapter was pulled
    IoError,      // any other error the system reported
    TimeOut,      // the line did not move in time
};

// "hang-up", "I/O error", "time-out", ... for messages and the log.
const char* PortFaultText(PortFault fault) noexcept;

// What the poller and the receiver need of a serial port. TThreadComm implements it; unit tests
// of the state machine use a recording stand-in.
class SerialPort {
public:
    virtual ~SerialPort() = default;
    // Bytes written, or -1 when the port is closed. Returns when every byte has been handed over.
    virtual int Write(const void* buffer, int count) = 0;
    // Bytes read, or -1 when the port is closed. Returns when count bytes are in, or at the
    // latest 1000 ms after it started with the bytes received so far.
    virtual int Read(void* buffer, int count) = 0;
    // Closes the port; nothing when it is closed.
    virtual void Close() = 0;
    virtual bool Enabled() const = 0;
    // Why the last Read or Write stopped short (None when it did not), with the system's error
    // code where there was one. Reset by a successful Open.
    virtual PortFault LastIoFault() const { return PortFault::None; }
    virtual int LastIoError() const { return 0; }
};
