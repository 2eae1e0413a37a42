#include "link/Comthread.h"
