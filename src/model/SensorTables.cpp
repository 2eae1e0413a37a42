#include "model/SensorTables.h"

static_assert(sizeof(Word) == 4 && alignof(Word) == 4);
