#pragma once
// The backends' openers, for Device::Open (SerialBackendOpen.cpp), which picks one by the
// port's name. Inside serial/ only.
#include <memory>
#include <string>

#include "serial/SerialBackend.h"

namespace serial_backend {

// This platform's serial device (SerialBackendPosix.cpp, SerialBackendWin32.cpp).
OpenStatus OpenSerialDevice(const std::string& path, std::unique_ptr<Device>& device);
// A connection to a network port (SerialBackendTcp.cpp).
OpenStatus OpenNetworkDevice(const NetworkPortName& name, const OpenOptions& options,
                             std::unique_ptr<Device>& device);

}  // namespace serial_backend
