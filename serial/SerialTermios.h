#pragma once
// The termios settings the POSIX backend derives from a LineSettings record. Kept apart from
// the device code so the flags can be checked without a device: a pseudo-terminal drops
// PARENB and forces CS8, so what the code asks for is only visible here.
#include <termios.h>

#include "serial/SerialBackend.h"

namespace serial_backend {

// The Bxxx constant for a speed Linux names, or B0 when the speed needs termios2/BOTHER.
speed_t StandardSpeed(int32_t baudRate);

// Puts `t` into raw mode with the data bits, parity and stop bits of `settings`, receiver
// on, modem control lines ignored, no flow control. Sets `needsArbitrarySpeed` when the
// speed has no Bxxx constant. Returns false for a combination the line cannot carry.
bool MakeRawTermios(const LineSettings& settings, termios& t, bool& needsArbitrarySpeed);

}  // namespace serial_backend
