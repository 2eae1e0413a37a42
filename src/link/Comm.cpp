#include "link/Comm.h"
