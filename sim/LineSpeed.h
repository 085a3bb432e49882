#pragma once
// Line speeds: the ones the instrument can be set to, and the speed the port side has set on a
// pseudo-terminal.
//
// A pty has no line timing, but it keeps the termios settings the port side makes, speed
// included, and a termios query on the far (master) side reports the port side's settings.
// The virtual instruments take that speed as the speed the request was sent at.
#include <cstdint>

namespace sim {

// The speed code the instrument reports for `bitsPerSecond` (1..8 for 1200..115200), 0 when
// the instrument has no such speed.
uint8_t SpeedCode(uint32_t bitsPerSecond);

// The output speed the port side of the pty set, in bits per second (custom speeds included);
// 0 when it cannot be read. `fd` is either side of the pty.
uint32_t PortSpeed(int fd);

}  // namespace sim
