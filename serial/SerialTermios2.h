#pragma once
// Speeds through termios2 (any rate in bits per second). <asm/termbits.h> redefines struct
// termios, so this code lives in its own file that never includes <termios.h>.
#include <cstdint>

namespace serial_backend {

// Sets input and output speed to `baudRate` with BOTHER; false with errno on failure.
bool SetArbitrarySpeed(int fd, uint32_t baudRate);

// The output speed the driver reports (the kernel fills it for Bxxx speeds too).
bool ReadOutputSpeed(int fd, uint32_t& baudRate);

}  // namespace serial_backend
