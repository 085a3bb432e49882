#include "line/BatchConfig.h"

#include "config/ConfigAnswers.h"
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

std::optional<config::InstrumentConfig> ReadConfig(Protocol protocol, const Ask& ask) {
    using namespace protocol;
    config::InstrumentConfig c;
    uint16_t setpointFormat = 0;
    auto take = [&c](const config::InstrumentConfig& values) {
        for (const auto& [key, value] : values) c[key] = value;
    };
    auto read = [&](const Request& request, int channel = 0) {
        if (const auto answer = ask(request))
            take(config::ConfigFromAnswer(request.command, channel, answer->bytes.data(),
                                          answer->length, protocol, setpointFormat));
        else
            take(config::AbsentKeys(request.command, channel));
    };
    // Nothing else is asked of an instrument that does not answer.
    const auto address = ask(Read(GetAdr));
    if (!address) return std::nullopt;
    take(config::ConfigFromAnswer(GetAdr, 0, address->bytes.data(), address->length, protocol, 0));
    c["protocol"] = std::string(protocol == Protocol::Qv ? "qv" : "modbus");
    read(Read(GetYear));
    read(Read(GetBright));
    read(Read(GetInfo));
    for (int n = 1; n <= 3; ++n) read(ReadParameter(n), n);
    read(Read(GetVersForUst1));
    if (const auto format = c["setpoint.format"]) {
        setpointFormat = uint16_t(config::IntegerValue(*format));
        read(Read(GetUst1));
        read(Read(GetUst2));
    } else {
        take(config::AbsentKeys(GetUst1, 0));
        take(config::AbsentKeys(GetUst2, 0));
    }
    c["speed.line1"] = std::nullopt;
    c["speed.line2"] = std::nullopt;
    read(Read(GetIEC));
    read(Read(GetSpeakerMode));
    read(ReadRelayParams());
    read(Read(GetRelayGist));
    return c;
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
