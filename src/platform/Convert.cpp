#include "platform/Convert.h"
