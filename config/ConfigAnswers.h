#pragma once
// Which configuration keys an instrument's answer gives, and their values: one mapping from
// decoded answers to the keys of the configuration file, for tessera-cli's reads and for the
// window, which takes the same answers through its own exchange.
#include <cstdint>
#include <string>
#include <vector>

#include "config/ConfigFile.h"
#include "protocol/Commands.h"
#include "protocol/ModbusFrames.h"

namespace config {

// The keys the answer to `command` gives; empty for a command that gives none. `channel` is
// the parameter a GetPar asked for (1..3).
std::vector<std::string> KeysOfRead(TListComand command, int channel);

// Those keys with the values the answer holds (in the form the decoders read); a key the
// answer does not hold (too short, no such parameter) is absent. `setpointFormat` is the
// format word read before GetUst1/GetUst2.
InstrumentConfig ConfigFromAnswer(TListComand command, int channel, const uint8_t* answer,
                                  int length, protocol::Protocol protocol, uint16_t setpointFormat);

// The keys of `command`, every one absent: what an unanswered read gives.
InstrumentConfig AbsentKeys(TListComand command, int channel);

}  // namespace config
