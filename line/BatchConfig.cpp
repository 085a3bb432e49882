#include "line/BatchConfig.h"

#include "config/ConfigFile.h"

namespace line_batch {

using config::WriteKind;
using protocol::Protocol;

namespace {

bool KeptByEachInstrument(const std::string& key) {
    return key == "address" || key == "protocol" || key.rfind("speed.", 0) == 0;
}

bool NeverInBatch(WriteKind kind) {
    return kind == WriteKind::Address || kind == WriteKind::Protocol || kind == WriteKind::Speed;
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
    const std::string& g = w.group;
    switch (w.kind) {
        case WriteKind::Parameter:
            return {protocol::WriteParameter(w.index, w.Number(g + ".scale"),
                                             uint8_t(w.Integer(g + ".unit")),
                                             uint8_t(w.Integer(g + ".point")))};
        case WriteKind::Info:
            return {protocol::WriteInfo(w.Text("info"))};
        case WriteKind::Brightness:
            return {protocol::WriteBrightness(int(w.Integer("brightness")))};
        case WriteKind::Setpoint:
            return {protocol::WriteSetpoint(w.index == 1, int(w.Integer(g)),
                                            uint16_t(w.Integer("setpoint.format")))};
        case WriteKind::Iec:
            return {protocol::WriteIecFraming(w.IecFraming())};
        case WriteKind::Alarm:
            return {protocol::WriteAlarmMode(int(w.Integer("alarm.mode")))};
        case WriteKind::RelayParams:
            return {protocol::WriteRelayParams(w.index, uint8_t(w.Integer(g + ".mode")),
                                               int16_t(w.Integer(g + ".delay")))};
        case WriteKind::RelayHysteresis:
            return {protocol::WriteRelayHysteresis(w.index, w.Number(g + ".hysteresis"))};
        case WriteKind::Serial: {
            const int number = int(w.Integer("serial.number"));
            const int year = int(w.Integer("serial.year") - 2000);
            if (protocol == Protocol::Qv) return {protocol::WriteSerialAndYearQv(year, number)};
            return {protocol::WriteSerialNumber(number), protocol::WriteYear(year)};
        }
        case WriteKind::Speed:
        case WriteKind::Address:
        case WriteKind::Protocol:
            break;
    }
    return {};
}

std::vector<std::string> ChangedKeys(const config::ConfigPlan& plan) {
    std::vector<std::string> keys;
    for (const config::PlannedWrite& w : plan.Writes()) {
        if (NeverInBatch(w.kind)) continue;
        for (const std::string& key : w.keys)
            if (plan.Differs(key)) keys.push_back(key);
    }
    return keys;
}

}  // namespace line_batch
