#pragma once
// Instruments named in text, for the tessera-sim command line and tests:
//   "modbus:7"  "qv:12@19200"  "modbus:9+300ms"  "qv:12@19200+300ms"
//   and lists of them: "modbus:7,qv:12,modbus:30@19200".
// The speed defaults to 9600 and must be one the instrument has (1200..115200); the address is
// 1..247 in Modbus, 1..65000 in QV; "+Nms" makes a slow instrument that starts every answer
// N ms (0..10000) after the request.
#include <string>
#include <vector>

#include "protocol/Limits.h"
#include "sim/Station.h"

namespace sim {

constexpr uint32_t kDefaultLineSpeed = protocol::DefaultLineSpeed;

// Sets protocol, address and speed of `config` from one instrument's text (the other fields
// stay); on failure returns false, leaves `config` alone and says why in `error`.
bool ParseInstrument(const std::string& text, Config& config, std::string& error);
// A comma-separated list of instruments, appended to `configs` when all of it parses.
bool ParseBus(const std::string& text, std::vector<Config>& configs, std::string& error);

// "modbus:7@9600", "modbus:9@9600+300ms"
std::string Describe(const Config& config);

}  // namespace sim
