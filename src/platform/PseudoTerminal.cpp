#include "platform/PseudoTerminal.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <system_error>

#include <fcntl.h>

namespace {
std::system_error SysError(const char* what, int err = errno) {
    return std::system_error(err, std::generic_category(), what);
}
} // namespace

PseudoTerminal OpenPseudoTerminal(bool nonBlocking) {
    PseudoTerminal pty;
    pty.Master = UniqueFd(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!pty.Master)
        throw SysError("posix_openpt");
    const int fd = pty.Master.Get();
    if (nonBlocking && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK) != 0)
        throw SysError("fcntl on the pseudo-terminal");
    if (::grantpt(fd) != 0)
        throw SysError("grantpt");
    if (::unlockpt(fd) != 0)
        throw SysError("unlockpt");
    char name[PATH_MAX] = {};
    if (const int err = ::ptsname_r(fd, name, sizeof name); err != 0)
        throw SysError("ptsname_r", err);
    pty.SlavePath = name;
    return pty;
}
