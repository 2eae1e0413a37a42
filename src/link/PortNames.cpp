#include "link/PortNames.h"
