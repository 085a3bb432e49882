#pragma once
// The computing part of the Win32 backend, apart from its API calls so that it compiles and is
// tested on any system: the device path of a port name, the DCB values of the line settings,
// the order of port names and the description inside a device's friendly name.
#include <cctype>
#include <cstdint>
#include <string>

#include "serial/SerialBackend.h"

namespace serial_backend {
namespace win32 {

// "COM12" -> "\\.\COM12": only the device namespace reaches the ports above COM9. A name that
// is already a path of that namespace (or any other "\\" path) is taken as it is.
inline std::string DevicePath(const std::string& port) {
    if (port.compare(0, 2, "\\\\") == 0) return port;
    return "\\\\.\\" + port;
}

// What SetCommState gets besides the fixed parts (binary mode, DTR and RTS raised, no flow
// control, XON 0x11 / XOFF 0x13).
struct DcbValues {
    uint32_t baudRate = 0;
    bool parityCheck = false;  // fParity: the receiver checks only a line that has a parity bit
    uint8_t byteSize = 8;
    uint8_t parity = 0;    // NOPARITY .. SPACEPARITY, the order of Parity
    uint8_t stopBits = 0;  // ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS, the order of StopBits
};

// False for settings no driver takes: a speed <= 0, data bits outside 5..8, an unknown code,
// 1.5 stop bits with more than 5 data bits or 2 stop bits with 5 (a UART has neither).
inline bool MakeDcbValues(const LineSettings& settings, DcbValues& values) {
    if (settings.baudRate <= 0 || settings.dataBits < 5 || settings.dataBits > 8) return false;
    if (settings.parity > Parity::Space || settings.stopBits > StopBits::Two) return false;
    if (settings.stopBits == StopBits::OneAndHalf && settings.dataBits != 5) return false;
    if (settings.stopBits == StopBits::Two && settings.dataBits == 5) return false;
    values.baudRate = uint32_t(settings.baudRate);
    values.parityCheck = settings.parity != Parity::None;
    values.byteSize = uint8_t(settings.dataBits);
    values.parity = uint8_t(settings.parity);
    values.stopBits = uint8_t(settings.stopBits);
    return true;
}

// The order an engineer expects in a list of ports: letters without regard to case, runs of
// digits by their value, so COM2 comes before COM10.
inline bool PortNameLess(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const unsigned char ca = a[i], cb = b[j];
        if (std::isdigit(ca) && std::isdigit(cb)) {
            size_t endA = i, endB = j;
            while (endA < a.size() && std::isdigit((unsigned char)a[endA])) ++endA;
            while (endB < b.size() && std::isdigit((unsigned char)b[endB])) ++endB;
            const std::string digitsA = a.substr(i, endA - i), digitsB = b.substr(j, endB - j);
            const size_t zerosA = digitsA.find_first_not_of('0');
            const size_t zerosB = digitsB.find_first_not_of('0');
            const std::string valueA = zerosA == std::string::npos ? "" : digitsA.substr(zerosA);
            const std::string valueB = zerosB == std::string::npos ? "" : digitsB.substr(zerosB);
            if (valueA.size() != valueB.size()) return valueA.size() < valueB.size();
            if (valueA != valueB) return valueA < valueB;
            i = endA;
            j = endB;
            continue;
        }
        const int la = std::tolower(ca), lb = std::tolower(cb);
        if (la != lb) return la < lb;
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
    return a < b;  // equal but for case or leading zeros: still a strict order
}

// Windows names a port's device "<adapter> (COM3)"; the adapter part is the description. A
// name that does not end in this port's own "(COMn)" is kept whole.
inline std::string DescriptionOf(const std::string& friendlyName, const std::string& port) {
    const std::string suffix = " (" + port + ")";
    if (friendlyName.size() <= suffix.size()) return friendlyName;
    const size_t at = friendlyName.size() - suffix.size();
    for (size_t k = 0; k < suffix.size(); ++k)
        if (std::tolower((unsigned char)friendlyName[at + k]) !=
            std::tolower((unsigned char)suffix[k]))
            return friendlyName;
    return friendlyName.substr(0, at);
}

}  // namespace win32
}  // namespace serial_backend
