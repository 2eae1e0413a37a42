#pragma once
// What every slot of SetupWords[0..15] and StatusWords means to the windows: its label key, the
// hint of its box, signedness, decimals, limits, where it is shown and how it is edited. The label
// texts themselves live in the translation files; the unit texts are the same in every language.
// Which reply words are signed on the wire is the frame codec's business (SensorFrame.cpp).
#include <array>
#include <cstdint>
#include <string_view>

// Where a slot's label and box are shown.
enum class SlotPanel : uint8_t {
    None,       // not shown (hidden box or no box)
    Panel2,     // sensor data
    Panel4,     // output type
    Panel6,     // duct characteristics; shown only while the output type is not 0
    Panel8,     // operating pressure
    Panel10,    // profile factor
    MainWindow, // directly on the main window, bottom right (firmware version)
};

// How the user changes a parameter slot.
enum class SlotEditable : uint8_t {
    HiddenBox,     // a box exists but is never shown; it is still validated on a store
    No,            // shown, never edited (firmware version)
    ChoiceBoxOnly, // through the output-type choice box only
    Yes,           // a visible edit box
};

// When a measurement slot is shown.
enum class SlotShownWhen : uint8_t {
    Never,
    Always,
    OutputTypeZero,
    OutputTypeNotZero,
    DuctPanelShownAndSquare, // output type not 0 and duct square (SetupWords[8] != 0)
};

// Format codes: the low four bits give the number of decimals.
constexpr char CodeInteger = 'P'; // 0x50, 0 decimals
constexpr char CodeOneDecimal = 'A';
constexpr char CodeThreeDecimals = 'C';
constexpr char CodeFourDecimals = 'D';
constexpr int DecimalsOfCode(char code) {
    return static_cast<unsigned char>(code) & 0x0F;
}

struct SlotLimits {
    int32_t Min;
    int32_t Max;
};

struct ParamSlotInfo {
    std::string_view Key;  // label key
    std::string_view Hint; // hint of the edit box
    bool Signed;           // the sensor word is two's complement
    char Code;   // format code, '\0' when the slot has none (firmware version, output type)
    int32_t Min; // accepted range of the scaled integer; see ParamLimits for slots 5, 6
    int32_t Max;
    bool Validated; // checked against Min..Max by a store
    SlotPanel Where;
    SlotEditable Edit;

    constexpr int Decimals() const { return Code == '\0' ? 0 : DecimalsOfCode(Code); }
};

struct StatusSlotInfo {
    std::string_view Key;
    std::string_view Hint;
    bool Signed;
    int Decimals;
    SlotPanel Where;
    SlotShownWhen Shown;
};

constexpr int ParamSlotCount = 16;
constexpr int StatusSlotCount = 16;
constexpr int OutputSlot = 4;     // SetupWords[4]: output type 0..3
constexpr int DuctBaseSlot = 8;   // SetupWords[8]: 0 means a circular duct
constexpr int OutputZeroSlot = 5; // slots 5 and 6: output range, limited by the output type
constexpr int OutputFullSlot = 6;

// Output types (SetupWords[4], the items of the output-type choice box).
constexpr int OutputVelocity = 0;
constexpr int OutputMassFlow = 1;
constexpr int OutputVolumeFlow = 2;
constexpr int OutputNormalVolumeFlow = 3;

// Slots 3 and 4 are not validated; their Min and Max are what the keypad is primed with. Slot 8's
// box is shown on the duct panel only while the duct is square.
inline constexpr std::array<ParamSlotInfo, ParamSlotCount> ParamSlots{{
    {"Mp_01", "P01", true, 'P', -1000, 60000, true, SlotPanel::None, SlotEditable::HiddenBox},
    {"Mp_02", "P02", true, 'P', -1000, 60000, true, SlotPanel::None, SlotEditable::HiddenBox},
    {"Mp_03", "P03", false, 'P', -1000, 60000, true, SlotPanel::None, SlotEditable::HiddenBox},
    {"Mp_04", "P04", false, '\0', -1000, 60000, false, SlotPanel::None, SlotEditable::No},
    {"Mp_05", "P05", false, '\0', -1000, 60000, false, SlotPanel::Panel4,
     SlotEditable::ChoiceBoxOnly},
    {"Mp_06", "P06", false, 'P', 0, 60000, true, SlotPanel::Panel4, SlotEditable::Yes},
    {"Mp_07", "P07", false, 'P', 0, 60000, true, SlotPanel::Panel4, SlotEditable::Yes},
    {"Mp_08", "P08", false, 'P', -1000, 60000, true, SlotPanel::Panel6, SlotEditable::Yes},
    {"Mp_09", "P09", false, 'P', -1000, 60000, true, SlotPanel::Panel6, SlotEditable::Yes},
    {"Mp_10", "P10", false, 'C', 0, 10000, true, SlotPanel::Panel8, SlotEditable::Yes},
    {"Mp_11", "P11", false, 'D', 0, 60000, true, SlotPanel::Panel8, SlotEditable::Yes},
    {"Mp_12", "P12", false, 'A', 0, 60000, true, SlotPanel::Panel6, SlotEditable::Yes},
    {"Mp_13", "P13", false, 'D', 0, 5000, true, SlotPanel::Panel10, SlotEditable::Yes},
    {"Mp_14", "P14", false, 'D', 0, 10000, true, SlotPanel::Panel10, SlotEditable::Yes},
    {"Mp_15", "P15", false, 'P', -1000, 60000, true, SlotPanel::None, SlotEditable::HiddenBox},
    {"Mp_16", "P16", false, 'P', -1000, 60000, true, SlotPanel::None, SlotEditable::HiddenBox},
}};

inline constexpr std::array<StatusSlotInfo, StatusSlotCount> StatusSlots{{
    {"St_01", "D01", false, 2, SlotPanel::Panel2, SlotShownWhen::OutputTypeZero},
    {"St_02", "D02", false, 0, SlotPanel::Panel2, SlotShownWhen::OutputTypeNotZero},
    {"St_03", "D03", false, 1, SlotPanel::Panel2, SlotShownWhen::Always},
    {"St_04", "D04", false, 3, SlotPanel::None, SlotShownWhen::Never},
    {"St_05", "D05", false, 4, SlotPanel::Panel10, SlotShownWhen::Always},
    {"St_06", "D06", false, 4, SlotPanel::None, SlotShownWhen::Never},
    {"St_07", "D07", false, 2, SlotPanel::Panel2, SlotShownWhen::Always},
    {"St_08", "D08", false, 0, SlotPanel::Panel6, SlotShownWhen::DuctPanelShownAndSquare},
    {"St_09", "D09", false, 0, SlotPanel::None, SlotShownWhen::Never},
    {"St_10", "D10", false, 2, SlotPanel::None, SlotShownWhen::Never},
    {"St_11", "D11", true, 4, SlotPanel::Panel10, SlotShownWhen::Always},
    {"St_12", "D12", true, 0, SlotPanel::None, SlotShownWhen::Never},
    {"St_13", "D13", false, 0, SlotPanel::Panel6, SlotShownWhen::DuctPanelShownAndSquare},
    {"St_14", "D14", false, 3, SlotPanel::Panel2, SlotShownWhen::Always},
    {"St_15", "D15", false, 3, SlotPanel::Panel2, SlotShownWhen::Always},
    {"St_16", "D16", false, 2, SlotPanel::MainWindow, SlotShownWhen::Always},
}};

// The accepted range of parameter slot `slot` (0..15) under the given output type: slots 5 and 6
// take 0 to 30 while the output type is flow velocity (0), else 0 to 60000.
constexpr SlotLimits ParamLimits(int slot, int outputType) {
    const ParamSlotInfo& p = ParamSlots[static_cast<size_t>(slot)];
    if ((slot == OutputZeroSlot || slot == OutputFullSlot) && outputType == OutputVelocity)
        return {p.Min, 30};
    return {p.Min, p.Max};
}

// The format code the numeric keypad is primed with for parameter box `slot`: the slot's own,
// 'P' for the slots without one.
constexpr char KeypadCode(int slot) {
    const char code = ParamSlots[static_cast<size_t>(slot)].Code;
    return code == '\0' ? CodeInteger : code;
}

// Label key of parameter slot `slot`: slot 7 is the duct's height (Mes01) while the duct is
// square, its diameter (Mp_08) while it is circular.
constexpr std::string_view ParamKey(int slot, bool ductSquare) {
    return slot == 7 && ductSquare ? std::string_view("Mes01")
                                   : ParamSlots[static_cast<size_t>(slot)].Key;
}

// Label key of measurement slot `slot`: slot 13 is the velocity output current (St_14) while the
// output type is 0, else the flow output current (St_17).
constexpr std::string_view StatusKey(int slot, int outputType) {
    return slot == 13 && outputType != OutputVelocity ? std::string_view("St_17")
                                                      : StatusSlots[static_cast<size_t>(slot)].Key;
}

// The duct panel (Panel6) is shown while the output type is not 0.
constexpr bool DuctPanelShown(int outputType) {
    return outputType != OutputVelocity;
}

// Whether measurement slot `slot` is shown under the given output type and duct shape.
constexpr bool StatusShown(int slot, int outputType, bool ductSquare) {
    switch (StatusSlots[static_cast<size_t>(slot)].Shown) {
    case SlotShownWhen::Never:
        return false;
    case SlotShownWhen::Always:
        return true;
    case SlotShownWhen::OutputTypeZero:
        return outputType == OutputVelocity;
    case SlotShownWhen::OutputTypeNotZero:
        return outputType != OutputVelocity;
    case SlotShownWhen::DuctPanelShownAndSquare:
        return DuctPanelShown(outputType) && ductSquare;
    }
    return false;
}

// Unit of the output quantity by output type (the choice box's selected item; -1 or any index
// outside 0..3 gives Unit5). The texts are not translated.
struct UnitInfo {
    std::string_view Key;
    std::string_view Text;
};
inline constexpr std::array<UnitInfo, 5> UnitTable{{
    {"Unit1", "[mt/sec]"},
    {"Unit2", "[Kg/h]"},
    {"Unit3", "[mc/h]"},
    {"Unit4", "[Nmc/h]"},
    {"Unit5", "[----]"},
}};
constexpr const UnitInfo& UnitOf(int outputType) {
    return outputType >= 0 && outputType < 4 ? UnitTable[static_cast<size_t>(outputType)]
                                             : UnitTable[4];
}
