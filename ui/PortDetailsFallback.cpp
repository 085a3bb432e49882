// A stand-in for serial_backend::ListPortDetails while the serial backend has none: the
// kernel names of ListSerialPorts, with no by-id names and no descriptions. The definition is
// weak and sits in a library of its own that links after the backend, so a backend that
// defines the function wins; this file is to be deleted then.
#include <algorithm>
#include <string>
#include <vector>

#include "serial/SerialBackend.h"

namespace serial_backend {

bool ListPortDetailsFallbackKernelNamesOnly(std::vector<PortInfo>& ports) {
    std::vector<std::string> names;
    if (!ListSerialPorts(names)) return false;
    std::sort(names.begin(), names.end());
    ports.clear();
    for (const std::string& name : names) ports.push_back({name, "/dev/" + name, {}, {}});
    return true;
}

__attribute__((weak)) bool ListPortDetails(std::vector<PortInfo>& ports, const std::string&) {
    return ListPortDetailsFallbackKernelNamesOnly(ports);
}

}  // namespace serial_backend
