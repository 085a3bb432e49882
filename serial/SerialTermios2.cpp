#include "serial/SerialTermios2.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace serial_backend {
namespace {

bool Ioctl(int fd, unsigned long request, termios2* t) {
    int rc;
    do rc = ioctl(fd, request, t);
    while (rc < 0 && errno == EINTR);
    return rc == 0;
}

}  // namespace

bool SetArbitrarySpeed(int fd, uint32_t baudRate) {
    termios2 t{};
    if (!Ioctl(fd, TCGETS2, &t)) return false;
    t.c_cflag &= ~tcflag_t(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = baudRate;
    t.c_ospeed = baudRate;
    return Ioctl(fd, TCSETS2, &t);
}

bool ReadOutputSpeed(int fd, uint32_t& baudRate) {
    termios2 t{};
    if (!Ioctl(fd, TCGETS2, &t)) return false;
    baudRate = t.c_ospeed;
    return true;
}

}  // namespace serial_backend
