#include "SensorSim.h"
