// <asm/termbits.h> defines its own struct termios, so this file never includes <termios.h>:
// termios2 reports any speed in bits per second, the kernel fills it for the Bxxx speeds too.
#include "sim/LineSpeed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace sim {

namespace {

constexpr uint32_t kInstrumentSpeeds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

}  // namespace

uint8_t SpeedCode(uint32_t bitsPerSecond) {
    for (uint8_t i = 0; i < sizeof kInstrumentSpeeds / sizeof kInstrumentSpeeds[0]; ++i)
        if (kInstrumentSpeeds[i] == bitsPerSecond) return uint8_t(i + 1);
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
