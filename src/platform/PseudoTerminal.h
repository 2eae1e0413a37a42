#pragma once
// A pseudo-terminal pair: the master end this process keeps and the path of the slave device
// that a serial port opens like a real line. For the simulated sensor, the tests and the
// benchmarks.
#include "platform/UniqueFd.h"

#include <string>

struct PseudoTerminal {
    UniqueFd Master;       // close-on-exec; non-blocking when asked for
    std::string SlavePath; // "/dev/pts/N"
};

// Opens a new pair. Raises std::system_error naming the call that failed.
PseudoTerminal OpenPseudoTerminal(bool nonBlocking);
