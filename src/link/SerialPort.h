#pragma once
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
};
