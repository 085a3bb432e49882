// <asm/termbits.h> defines its own struct termios, so this file never includes <termios.h>:
// termios2 reports any speed in bits per second, the kernel fills it for the Bxxx speeds too.
#include "sim/LineSpeed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

#include "protocol/Limits.h"

namespace sim {

uint8_t SpeedCode(uint32_t bitsPerSecond) {
    for (int i = 0; i < protocol::LineSpeedCount; ++i)
        if (uint32_t(protocol::LineSpeeds[i]) == bitsPerSecond) return uint8_t(i + 1);
    return 0;
}

uint32_t PortSpeed(int fd) {
    termios2 settings{};
    int rc;
    do rc = ::ioctl(fd, TCGETS2, &settings);
    while (rc < 0 && errno == EINTR);
    return rc == 0 ? settings.c_ospeed : 0;
}

}  // namespace sim
