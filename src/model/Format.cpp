#include "model/Format.h"
