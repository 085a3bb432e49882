#pragma once
// The few things tessera-cli needs from the operating system beyond the serial backend: a
// port name turned into what the backend opens, whether a stream is a terminal, and Ctrl+C.
#include <cstdio>
#include <string>

namespace cli {

// "COM3" and a name under /dev ("ttyUSB0") become the path the serial backend opens; a path
// is taken as it is. On Windows every name is already what the backend opens.
std::string PortPath(const std::string& port);

// True when `stream` is an interactive terminal (progress goes there, not into a file).
bool IsTerminal(std::FILE* stream);

// Ctrl+C sets a flag instead of ending the program, so the exchange under way finishes and
// the line is left idle; the commands look at Interrupted() between exchanges.
void InstallInterruptHandler();
bool Interrupted();

}  // namespace cli
