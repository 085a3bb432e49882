#pragma once
// The backends' openers and event waiters, for Device::Open and EventWaiter
// (SerialBackendOpen.cpp), which pick one by the port's name and the device's transport.
// Inside serial/ only.
#include <memory>
#include <string>

#include "serial/SerialBackend.h"

namespace serial_backend {

// This platform's serial device (SerialBackendPosix.cpp, SerialBackendWin32.cpp).
OpenStatus OpenSerialDevice(const std::string& path, std::unique_ptr<Device>& device);
// A connection to a network port (SerialBackendTcp.cpp).
OpenStatus OpenNetworkDevice(const NetworkPortName& name, const OpenOptions& options,
                             std::unique_ptr<Device>& device);

// What EventWaiter hands its calls to; the same contract.
class LineWaiter {
public:
    virtual ~LineWaiter() = default;
    virtual bool Valid() const = 0;
    virtual void SetMask(uint32_t eventMask) = 0;
    virtual WaitResult Wait(uint32_t& mask) = 0;
    virtual void Stop() = 0;
};

// This platform's serial device's waiter (SerialBackendPosix.cpp, SerialBackendWin32.cpp).
std::unique_ptr<LineWaiter> MakeSerialWaiter(Device& device);
// A network port's waiter (SerialBackendTcp.cpp): the connection's socket and the device's
// own queue, which a Modbus TCP device fills with whole frames only.
std::unique_ptr<LineWaiter> MakeNetworkWaiter(Device& device);

}  // namespace serial_backend
