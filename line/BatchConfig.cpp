#include "line/BatchConfig.h"

#include "config/ConfigFile.h"
#include "config/ConfigWrites.h"

namespace line_batch {

using protocol::Protocol;

namespace {

bool KeptByEachInstrument(const std::string& key) {
    return key == "address" || key == "protocol" || key.rfind("speed.", 0) == 0;
}

}  // namespace

const std::vector<std::string>& BatchKeys() {
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> chosen;
        for (const config::KeyInfo& key : config::ConfigKeys())
            if (!KeptByEachInstrument(key.name)) chosen.push_back(key.name);
        return chosen;
    }();
    return keys;
}

config::ConfigPlan Plan(const config::InstrumentConfig& file,
                        const config::InstrumentConfig& current) {
    return config::ConfigPlan(file, current, BatchKeys());
}

std::vector<protocol::Request> WriteRequests(const config::PlannedWrite& w, Protocol protocol) {
    // The address matters only to the protocol switch, which a batch never makes.
    if (config::MovesOnTheLine(w)) return {};
    return config::RequestsOf(w, protocol, 0).requests;
}

std::vector<std::string> ChangedKeys(const config::ConfigPlan& plan) {
    std::vector<std::string> keys;
    for (const config::PlannedWrite& w : plan.Writes()) {
        if (config::MovesOnTheLine(w)) continue;
        for (const std::string& key : w.keys)
            if (plan.Differs(key)) keys.push_back(key);
    }
    return keys;
}

}  // namespace line_batch
