#include "model/SlotInfo.h"

#include <gtest/gtest.h>

#include <string>

namespace {
TEST(SlotInfo, DecimalsComeFromTheLowFourBitsOfTheCode) {
    EXPECT_EQ(DecimalsOfCode('P'), 0);
    EXPECT_EQ(DecimalsOfCode('A'), 1);
    EXPECT_EQ(DecimalsOfCode('B'), 2);
    EXPECT_EQ(DecimalsOfCode('C'), 3);
    EXPECT_EQ(DecimalsOfCode('D'), 4);
    EXPECT_EQ(DecimalsOfCode('\xC4'), 4);   // high bits ignored
    EXPECT_EQ(ParamSlots[3].Decimals(), 0); // no code
    EXPECT_EQ(ParamSlots[9].Decimals(), 3);
    EXPECT_EQ(ParamSlots[11].Decimals(), 1);
}

TEST(SlotInfo, OutputRangeLimitFollowsTheOutputType) {
    for (const int slot : {OutputZeroSlot, OutputFullSlot}) {
        SCOPED_TRACE(slot);
        EXPECT_EQ(ParamLimits(slot, OutputVelocity).Max, 30);
        EXPECT_EQ(ParamLimits(slot, OutputMassFlow).Max, 60000);
        EXPECT_EQ(ParamLimits(slot, OutputNormalVolumeFlow).Max, 60000);
        EXPECT_EQ(ParamLimits(slot, -1).Max, 60000); // no item selected
        EXPECT_EQ(ParamLimits(slot, OutputVelocity).Min, 0);
    }
    // No other slot depends on it.
    for (int slot = 0; slot < ParamSlotCount; ++slot) {
        if (slot == OutputZeroSlot || slot == OutputFullSlot)
            continue;
        EXPECT_EQ(ParamLimits(slot, OutputVelocity).Max, ParamLimits(slot, OutputMassFlow).Max)
            << slot;
    }
}

// The keypad priming of the parameter boxes, as the main window's key filter uses it.
TEST(SlotInfo, KeypadPrimingOfEveryParameterBox) {
    struct Prime {
        char code;
        int32_t min, maxVelocity, maxFlow;
    };
    const Prime expected[ParamSlotCount] = {
        {'P', -1000, 60000, 60000}, {'P', -1000, 60000, 60000}, {'P', -1000, 60000, 60000},
        {'P', -1000, 60000, 60000}, {'P', -1000, 60000, 60000}, {'P', 0, 30, 60000},
        {'P', 0, 30, 60000},        {'P', -1000, 60000, 60000}, {'P', -1000, 60000, 60000},
        {'C', 0, 10000, 10000},     {'D', 0, 60000, 60000},     {'A', 0, 60000, 60000},
        {'D', 0, 5000, 5000},       {'D', 0, 10000, 10000},     {'P', -1000, 60000, 60000},
        {'P', -1000, 60000, 60000},
    };
    for (int slot = 0; slot < ParamSlotCount; ++slot) {
        SCOPED_TRACE(slot);
        EXPECT_EQ(KeypadCode(slot), expected[slot].code);
        EXPECT_EQ(ParamLimits(slot, OutputVelocity).Min, expected[slot].min);
        EXPECT_EQ(ParamLimits(slot, OutputVelocity).Max, expected[slot].maxVelocity);
        EXPECT_EQ(ParamLimits(slot, OutputMassFlow).Max, expected[slot].maxFlow);
    }
    EXPECT_FALSE(ParamSlots[3].Validated);
    EXPECT_FALSE(ParamSlots[4].Validated);
}

TEST(SlotInfo, KeysAndHintsNumberTheSlots) {
    for (int i = 0; i < 16; ++i) {
        char n[3] = {static_cast<char>('0' + (i + 1) / 10), static_cast<char>('0' + (i + 1) % 10),
                     0};
        EXPECT_EQ(ParamSlots[i].Key, std::string("Mp_") + n);
        EXPECT_EQ(ParamSlots[i].Hint, std::string("P") + n);
        EXPECT_EQ(StatusSlots[i].Key, std::string("St_") + n);
        EXPECT_EQ(StatusSlots[i].Hint, std::string("D") + n);
    }
}

TEST(SlotInfo, AlternativeKeys) {
    EXPECT_EQ(ParamKey(7, false), "Mp_08");
    EXPECT_EQ(ParamKey(7, true), "Mes01");
    EXPECT_EQ(ParamKey(8, true), "Mp_09");
    EXPECT_EQ(StatusKey(13, OutputVelocity), "St_14");
    EXPECT_EQ(StatusKey(13, OutputMassFlow), "St_17");
    EXPECT_EQ(StatusKey(13, 5), "St_17");
    EXPECT_EQ(StatusKey(14, OutputMassFlow), "St_15");
}

TEST(SlotInfo, MeasurementVisibility) {
    // Velocity shows slot 0, flows (and an unknown type) slot 1 and, with a square duct, 7 and 12.
    EXPECT_TRUE(StatusShown(0, OutputVelocity, true));
    EXPECT_FALSE(StatusShown(1, OutputVelocity, true));
    EXPECT_FALSE(StatusShown(7, OutputVelocity, true));
    EXPECT_FALSE(StatusShown(0, 5, false));
    EXPECT_TRUE(StatusShown(1, 5, false));
    EXPECT_FALSE(StatusShown(12, OutputMassFlow, false));
    EXPECT_TRUE(StatusShown(12, OutputMassFlow, true));
    EXPECT_TRUE(StatusShown(7, OutputVolumeFlow, true));
    for (const int never : {3, 5, 8, 9, 11})
        EXPECT_FALSE(StatusShown(never, OutputMassFlow, true)) << never;
    EXPECT_TRUE(StatusShown(15, OutputVelocity, false));
    EXPECT_EQ(StatusSlots[15].Where, SlotPanel::MainWindow);
}

TEST(SlotInfo, UnitsByOutputType) {
    const char* texts[] = {"[mt/sec]", "[Kg/h]", "[mc/h]", "[Nmc/h]"};
    for (int type = 0; type < 4; ++type) {
        EXPECT_EQ(UnitOf(type).Text, texts[type]);
        EXPECT_EQ(UnitOf(type).Key, "Unit" + std::to_string(type + 1));
    }
    for (const int other : {-1, 4, 5, 65535}) {
        EXPECT_EQ(UnitOf(other).Key, "Unit5") << other;
        EXPECT_EQ(UnitOf(other).Text, "[----]") << other;
    }
}
} // namespace
