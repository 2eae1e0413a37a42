#pragma once
// The sensor's state: three word tables and the flags that tell the display what changed.
// One instance lives in the main window; the reply dispatch fills it, the display reads it, the
// poller reads SetupWords[0..15] and InfoWords[0..15] when it encodes a write.
#include "model/SharedValue.h"

#include <array>
#include <cstdint>

struct SensorTables {
    static constexpr int SetupCount = 32;  // 0..15 working image, 16..31 read-back image
    static constexpr int InfoCount = 16;   // identification block
    static constexpr int StatusCount = 16; // live measurements
    static constexpr int ParamCount = 16;  // parameters of one block

    std::array<Word, SetupCount> SetupWords{};
    std::array<Word, InfoCount> InfoWords{};
    std::array<Word, StatusCount> StatusWords{};

    Flag LinkActive{0};    // link open; the poller may exchange frames
    Flag RxSeen{0};        // some byte arrived since the last probe
    Flag SetupReceived{0}; // SetupWords[0..15] changed and must be shown again
    Flag InfoReceived{0};  // InfoWords changed and must be shown again
    Flag DataModified{0};  // parameters on screen differ from the sensor's store
};

// What the reply dispatch needs from windows other than the main window.
class ReplyHooks {
public:
    virtual ~ReplyHooks() = default;
    // True while the batch and serial number window is shown: a 0x15 reply then leaves
    // InfoReceived alone so the user's entry is not overwritten.
    virtual bool SerialNumberWindowVisible() const = 0;
    // The acquisition window's four SampleWords, filled from a 0x70 frame.
    virtual std::array<int32_t, 4>& SampleWords() = 0;
    // The acquisition window's AddSample(primary, secondary).
    virtual void AddSample(int32_t primary, int32_t secondary) = 0;
};
