#pragma once
// A configuration file carried out on many instruments of one line: what each holds is read,
// only what differs from the file is written, and each keeps its own network address and
// protocol (and its line speeds, which would take it off the speed the line talks at). Plain
// C++ over the configuration plan; what each holds is read by config::ReadInstrumentConfig.
#include <string>
#include <vector>

#include "config/ConfigPlan.h"
#include "protocol/Requests.h"

namespace line_batch {

// The keys a batch may write: every key of the file but the address, the protocol and the
// line speeds.
const std::vector<std::string>& BatchKeys();

// The plan of the batch for one instrument: the file's keys that differ from what it holds,
// the address, protocol and speeds left out whatever the file says. Throws config::ConfigError
// as ConfigPlan does.
config::ConfigPlan Plan(const config::InstrumentConfig& file,
                        const config::InstrumentConfig& current);

// The requests that carry one planned write to an instrument speaking `protocol`, in order.
// Empty for the address, the protocol and the speeds: a batch never writes them.
std::vector<protocol::Request> WriteRequests(const config::PlannedWrite& write,
                                             protocol::Protocol protocol);

// The keys the plan writes, in its order.
std::vector<std::string> ChangedKeys(const config::ConfigPlan& plan);

}  // namespace line_batch
