#include "model/SlotInfo.h"

// The tables are constant data; these checks keep an edit of them from going wrong unseen.
static_assert(DecimalsOfCode(CodeInteger) == 0 && DecimalsOfCode(CodeOneDecimal) == 1 &&
              DecimalsOfCode(CodeThreeDecimals) == 3 && DecimalsOfCode(CodeFourDecimals) == 4);
static_assert([] {
    for (const ParamSlotInfo& p : ParamSlots)
        if (p.Min > p.Max || p.Decimals() > 4)
            return false;
    for (const StatusSlotInfo& s : StatusSlots)
        if (s.Decimals < 0 || s.Decimals > 4 ||
            (s.Shown == SlotShownWhen::Never) != (s.Where == SlotPanel::None))
            return false;
    return true;
}());
