#include "model/SlotInfo.h"
