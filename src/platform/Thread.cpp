#include "platform/Thread.h"
