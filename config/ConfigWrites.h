#pragma once
// How a planned write goes out: the requests that carry it, in order, and what changes on
// the line once they are made. tessera-cli, the line window's batch and the main window's
// configuration loading all send these requests, each through its own exchange.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "config/ConfigPlan.h"
#include "protocol/Requests.h"

namespace config {

struct WriteRequests {
    std::vector<protocol::Request> requests;  // in the order they go out
    // After the last request: the address the instrument answers at from then on ...
    std::optional<uint16_t> newAddress;
    // ... and the protocol it speaks from then on.
    std::optional<protocol::Protocol> newProtocol;
};

// The requests of `write` to the instrument at `address` that speaks `protocol`. A setpoint
// goes out in the format the write carries (setpoint.format); the Modbus RTU serial number is
// followed by its year in a request of its own. Throws ConfigError (Invalid) when the
// instrument cannot be told so: a protocol switch at an address the other protocol has not.
WriteRequests RequestsOf(const PlannedWrite& write, protocol::Protocol protocol, uint16_t address);

// A write that moves the instrument on its line (its address, its protocol, a line speed): a
// write to many instruments of one line never makes it, each keeping its own.
bool MovesOnTheLine(const PlannedWrite& write);

// What a write is called when it is told to an operator: one name per kind of write, the
// same for every instrument ("param", "setpoint.upper", "relay.hysteresis", "speed", ...);
// the write's index tells which parameter, relay or line.
std::string WriteName(const PlannedWrite& write);

}  // namespace config
