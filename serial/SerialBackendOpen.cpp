// The one place where a port's name chooses its backend: a network name opens a connection,
// any other name a serial device of this system; the device's transport chooses its event
// waiter. Everything above sees a Device and an EventWaiter either way.
#include <cstdlib>

#include "serial/SerialBackend.h"
#include "serial/SerialBackendDevices.h"

namespace serial_backend {

namespace {

struct Scheme {
    const char* prefix;
    Transport transport;
};

constexpr Scheme Schemes[] = {
    {"tcp://", Transport::RawTcp},
    {"modbus-tcp://", Transport::ModbusTcp},
};

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    size_t i = 0;
    for (; prefix[i]; ++i) {
        if (i >= text.size()) return false;
        const char c = text[i];
        const char lower = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
        if (lower != prefix[i]) return false;
    }
    return true;
}

// "1".."65535", digits only.
bool ParsePortNumber(const std::string& text, uint16_t& port) {
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value < 1 || value > 65535) return false;
    port = uint16_t(value);
    return true;
}

}  // namespace

Device::~Device() = default;

bool ParseNetworkPortName(const std::string& name, NetworkPortName& parsed) {
    parsed = NetworkPortName();
    std::string rest;
    for (const Scheme& scheme : Schemes)
        if (StartsWithNoCase(name, scheme.prefix)) {
            parsed.transport = scheme.transport;
            rest = name.substr(std::string(scheme.prefix).size());
        }
    if (parsed.transport == Transport::Serial) return false;
    if (!rest.empty() && rest.back() == '/') rest.pop_back();  // "tcp://host:4001/"
    std::string host, port;
    if (!rest.empty() && rest[0] == '[') {  // [::1]:502
        const size_t close = rest.find(']');
        if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':')
            return false;
        host = rest.substr(1, close - 1);
        port = rest.substr(close + 2);
    } else {
        const size_t colon = rest.rfind(':');
        if (colon == std::string::npos) return false;
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (host.find(':') != std::string::npos) return false;  // IPv6 wants brackets
    }
    if (host.empty() || host.find_first_of(" /\\@") != std::string::npos) return false;
    if (!ParsePortNumber(port, parsed.port)) return false;
    parsed.host = host;
    return true;
}

OpenStatus Device::Open(const std::string& path, std::unique_ptr<Device>& device,
                        const OpenOptions& options) {
    NetworkPortName network;
    const bool wellFormed = ParseNetworkPortName(path, network);
    if (network.transport == Transport::Serial) return OpenSerialDevice(path, device);
    if (!wellFormed) return OpenStatus::BadName;
    return OpenNetworkDevice(network, options, device);
}

EventWaiter::EventWaiter(Device& device)
    : FWaiter(device.Kind() == Transport::Serial ? MakeSerialWaiter(device)
                                                 : MakeNetworkWaiter(device)) {}

EventWaiter::~EventWaiter() = default;

bool EventWaiter::Valid() const {
    return FWaiter->Valid();
}

void EventWaiter::SetMask(uint32_t eventMask) {
    FWaiter->SetMask(eventMask);
}

WaitResult EventWaiter::Wait(uint32_t& mask) {
    return FWaiter->Wait(mask);
}

void EventWaiter::Stop() {
    FWaiter->Stop();
}

const char* NetworkFailureText(OpenStatus status) {
    switch (status) {
        case OpenStatus::BadName:
            return "not a network port name (tcp://HOST:PORT or modbus-tcp://HOST:PORT)";
        case OpenStatus::HostUnknown:
            return "unknown host";
        case OpenStatus::Refused:
            return "connection refused (nothing listens at that port)";
        case OpenStatus::Unreachable:
            return "host unreachable";
        case OpenStatus::TimedOut:
            return "no answer to the connection (timed out)";
        default:
            return "";
    }
}

std::string DescribeTransportNote(const TransportNote& note) {
    const std::string dropped =
        "dropped " + std::to_string(note.bytes) + " bytes from the gateway: ";
    switch (note.kind) {
        case TransportNote::Kind::WrongTransaction:
            return dropped + "an answer with transaction id " + std::to_string(note.value) +
                   ", awaited " + std::to_string(note.expected);
        case TransportNote::Kind::WrongUnit:
            return dropped + "an answer from unit " + std::to_string(note.value) + ", awaited " +
                   std::to_string(note.expected);
        case TransportNote::Kind::BadHeader:
            return dropped + "no valid Modbus TCP header (garbage)";
        case TransportNote::Kind::BadLength:
            return dropped + "the Modbus TCP length " + std::to_string(note.value) +
                   " does not fit the answer it carries";
        case TransportNote::Kind::Unexpected:
            return dropped + "an answer while none was awaited";
    }
    return dropped;
}

}  // namespace serial_backend
