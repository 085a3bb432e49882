#pragma once
// Which configuration keys an instrument's answer gives, and their values: one mapping from
// decoded answers to the keys of the configuration file, for tessera-cli's reads and for the
// window, which takes the same answers through its own exchange.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "config/ConfigFile.h"
#include "protocol/Answers.h"
#include "protocol/Commands.h"
#include "protocol/ModbusFrames.h"
#include "protocol/Requests.h"

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

// Asks one request of the instrument: the checked answer (in the form the decoders read), or
// nothing when none usable came (silence, a damaged or a refused answer). It may also throw,
// which ends the reading there.
using AskInstrument = std::function<std::optional<protocol::Answer>(const protocol::Request&)>;

// Everything the instrument tells of its configuration, every key of the file with its value
// or absent: its address first, then the reads in the order the keys follow, the setpoints
// only once their format is known. Nothing when the address is not answered: nothing else is
// asked of a silent instrument. tessera-cli and the line view read through this one list.
std::optional<InstrumentConfig> ReadInstrumentConfig(protocol::Protocol protocol,
                                                     const AskInstrument& ask);

}  // namespace config
