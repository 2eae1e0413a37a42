#pragma once
// Drops one capability from the calling thread only, so that a check the kernel skips for root
// (permission bits, the exclusive mode of a terminal) applies to it when the tests run as root.
// The rest of the process keeps its capabilities.
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

inline bool DropCapabilityInThisThread(int capability) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    data[capability / 32].effective &= ~(1u << (capability % 32));
    return syscall(SYS_capset, &header, data) == 0;
}
