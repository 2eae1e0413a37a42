#pragma once
// The sensor's frame: start 0x02, whole-frame length, address 0x01, command, an optional payload
// of sixteen 16-bit words (low byte first), the XOR of bytes 1..L-3, end 0x03. There is no byte
// stuffing: frames are cut by count, never by looking for the end byte.
#include "model/SensorTables.h"

#include <array>
#include <cstdint>

struct SensorFrame {
    static constexpr uint8_t StartByte = 0x02;
    static constexpr uint8_t EndByte = 0x03;
    static constexpr uint8_t Address = 0x01;
    static constexpr int ShortLength = 6; // no payload
    static constexpr int LongLength = 38; // sixteen words
    static constexpr int MaxLength = LongLength;
    static constexpr int PayloadWords = 16;

    // Command codes.
    static constexpr uint8_t CmdReadSetup = 0x10;
    static constexpr uint8_t CmdReadBack = 0x11;
    static constexpr uint8_t CmdReadInfo = 0x15;
    static constexpr uint8_t CmdWriteSetup = 0x20;
    static constexpr uint8_t CmdWriteInfo = 0x25;
    static constexpr uint8_t CmdReadStatus = 0x50;
    static constexpr uint8_t CmdSample = 0x70; // sent by the sensor unasked, never requested
    static constexpr uint8_t CmdCmd80 = 0x80;
    static constexpr uint8_t CmdStoreEeprom = 0x90;

    using Buffer = std::array<uint8_t, MaxLength>;

    // Length of the request for a command: 38 for the writes 0x20 and 0x25, else 6.
    static constexpr int RequestLength(uint8_t command) {
        return command == CmdWriteSetup || command == CmdWriteInfo ? LongLength : ShortLength;
    }
    // Length of the reply the sensor sends to a request: 6 for the bare acknowledgements of
    // 0x20, 0x25, 0x80 and 0x90, 38 for the reads (and for the unsolicited 0x70).
    static constexpr int ReplyLength(uint8_t command) {
        switch (command) {
        case CmdWriteSetup:
        case CmdWriteInfo:
        case CmdCmd80:
        case CmdStoreEeprom:
            return ShortLength;
        default:
            return LongLength;
        }
    }

    // XOR of bytes 1..length-3. length must be at least 4 (callers pass 6 or 38).
    static uint8_t Checksum(const uint8_t* frame, int length) noexcept;
    // Only the checksum is checked: length, address and end byte are not looked at.
    static bool ChecksumOk(const uint8_t* frame, int length) noexcept {
        return Checksum(frame, length) == frame[length - 2];
    }

    // Encodes the request for a command into out and returns its length. The payload of 0x20
    // and 0x25 is read from the tables now: the low 16 bits of SetupWords[k] / InfoWords[k].
    static int EncodeRequest(uint8_t command, const SensorTables& tables, uint8_t* out) noexcept;

    // Payload word k of a 38-byte frame, as the unsigned 16-bit value on the wire.
    static uint16_t PayloadWord(const uint8_t* frame, int k) noexcept {
        return static_cast<uint16_t>(frame[4 + 2 * k] | (frame[5 + 2 * k] << 8));
    }

    // Stores a good reply's payload by its command byte (frame[3]) and sets the flags that go
    // with it. A 6-byte acknowledgement, or a code that carries no data, changes nothing; the
    // caller passes the reply's length so a short frame is never read past its end.
    static void DecodeReply(const uint8_t* frame, int length, SensorTables& tables,
                            ReplyHooks* hooks) noexcept;
};
