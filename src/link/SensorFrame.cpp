#include "link/SensorFrame.h"

namespace {
int32_t SignExtend(uint16_t w) {
    return static_cast<int16_t>(w);
}
int32_t ZeroExtend(uint16_t w) {
    return w;
}
} // namespace

uint8_t SensorFrame::Checksum(const uint8_t* frame, int length) noexcept {
    uint8_t x = 0;
    for (int i = 1; i <= length - 3; ++i)
        x ^= frame[i];
    return x;
}

int SensorFrame::EncodeRequest(uint8_t command, const SensorTables& tables, uint8_t* out) noexcept {
    const int length = RequestLength(command);
    out[0] = StartByte;
    out[1] = static_cast<uint8_t>(length);
    out[2] = Address;
    out[3] = command;
    if (length == LongLength) {
        const Word* source =
            command == CmdWriteSetup ? tables.SetupWords.data() : tables.InfoWords.data();
        for (int k = 0; k < PayloadWords; ++k) {
            const auto v =
                static_cast<uint32_t>(source[k].Get()); // upper 16 bits dropped unchecked
            out[4 + 2 * k] = static_cast<uint8_t>(v & 0xFFu);
            out[5 + 2 * k] = static_cast<uint8_t>((v >> 8) & 0xFFu);
        }
    }
    out[length - 2] = Checksum(out, length);
    out[length - 1] = EndByte;
    return length;
}

void SensorFrame::DecodeReply(const uint8_t* frame, int length, SensorTables& tables,
                              ReplyHooks* hooks) noexcept {
    if (length < LongLength)
        return; // acknowledgements carry no payload
    switch (frame[3]) {
    case CmdReadSetup:
    case CmdReadBack: {
        const int base = frame[3] == CmdReadSetup ? 0 : SensorTables::ParamCount;
        for (int k = 0; k < PayloadWords; ++k) {
            const uint16_t w = PayloadWord(frame, k);
            tables.SetupWords[base + k] = k < 2 ? SignExtend(w) : ZeroExtend(w);
        }
        if (frame[3] == CmdReadSetup)
            tables.SetupReceived = 1;
        break;
    }
    case CmdReadInfo:
        for (int k = 0; k < PayloadWords; ++k)
            tables.InfoWords[k] = ZeroExtend(PayloadWord(frame, k));
        if (!(hooks && hooks->SerialNumberWindowVisible()))
            tables.InfoReceived = 1;
        break;
    case CmdReadStatus:
        for (int k = 0; k < PayloadWords; ++k) {
            const uint16_t w = PayloadWord(frame, k);
            tables.StatusWords[k] = (k == 10 || k == 11) ? SignExtend(w) : ZeroExtend(w);
        }
        break;
    case CmdSample:
        if (hooks) {
            auto& samples = hooks->SampleWords();
            for (int k = 0; k < 4; ++k)
                samples[k] = ZeroExtend(PayloadWord(frame, k));
            hooks->AddSample(samples[0], samples[1]);
        }
        break;
    default:
        break; // acknowledgements and unknown codes store nothing
    }
}
