#include "cli/Platform.h"

#include <csignal>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace cli {

namespace {

volatile std::sig_atomic_t InterruptFlag = 0;

extern "C" void OnInterrupt(int) {
    InterruptFlag = 1;
}

}  // namespace

std::string PortPath(const std::string& port) {
#ifdef _WIN32
    return port;
#else
    if (!port.empty() && port[0] == '/') return port;
    // COMn names the n-th serial port, as in the program's settings: /dev/ttyS(n-1).
    if (port.size() > 3 && port.size() < 10 && port.compare(0, 3, "COM") == 0 &&
        port.find_first_not_of("0123456789", 3) == std::string::npos && port[3] != '0') {
        const long n = std::stol(port.substr(3));
        return "/dev/ttyS" + std::to_string(n - 1);
    }
    return "/dev/" + port;
#endif
}

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

void InstallInterruptHandler() {
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
}

bool Interrupted() {
    return InterruptFlag != 0;
}

}  // namespace cli
