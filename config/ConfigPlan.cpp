#include "config/ConfigPlan.h"

#include "config/ConfigError.h"
#include "protocol/Requests.h"

namespace config {

protocol::IecFraming PlannedWrite::IecFraming() const {
    protocol::IecFraming f;
    f.commonAddressSize = uint8_t(Integer("iec.common_address_size"));
    f.objectAddressSize = uint8_t(Integer("iec.object_address_size"));
    f.causeSize = uint8_t(Integer("iec.cause_size"));
    f.type = uint8_t(Integer("iec.type"));
    return f;
}

bool Selected(const std::string& key, const std::vector<std::string>& only) {
    if (only.empty()) return true;
    for (const std::string& s : only)
        if (key == s || key.compare(0, s.size() + 1, s + ".") == 0) return true;
    return false;
}

ConfigPlan::ConfigPlan(const InstrumentConfig& file, const InstrumentConfig& current,
                       const std::vector<std::string>& only)
    : FFile(file), FCurrent(current), FOnly(only) {
    PlanParameters();
    if (Differs("info")) Add(WriteKind::Info, 0, "info", {"info"});
    if (Differs("brightness")) Add(WriteKind::Brightness, 0, "brightness", {"brightness"});
    PlanSetpoints();
    PlanGroups();
    PlanSerial();
    PlanLinkLast();
    const auto protocolNow = Current("protocol");
    const std::string protocolAfter =
        Wanted("protocol") ? *FFile.at("protocol") : protocolNow.value_or("");
    if (Differs("address") && protocolAfter == "modbus" &&
        IntegerValue(*FFile.at("address")) > protocol::HighestModbusAddress)
        throw ConfigError(ConfigError::Reason::Invalid,
                          "address: Modbus RTU addresses end at " +
                              std::to_string(protocol::HighestModbusAddress),
                          0, "address");
}

bool ConfigPlan::Wanted(const std::string& key) const {
    const auto it = FFile.find(key);
    const KeyInfo* info = FindKey(key);
    return it != FFile.end() && it->second && info && !info->readOnly && Selected(key, FOnly);
}

bool FileChanges(const InstrumentConfig& file, const InstrumentConfig& current,
                 const std::string& key) {
    const auto given = file.find(key);
    const KeyInfo* info = FindKey(key);
    if (given == file.end() || !given->second || !info || info->readOnly) return false;
    if (!info->readable) return true;
    const auto it = current.find(key);
    return it == current.end() || it->second != given->second;
}

namespace {

// QV tells the setpoint format in one byte (198 for 710): a value of one byte on either side
// (a file saved over QV, or an instrument that answers in QV) means the format whose low byte
// it is.
bool SameReadOnlyValue(const std::string& key, const std::string& file,
                       const std::string& instrument) {
    if (file == instrument) return true;
    if (key != "setpoint.format") return false;
    const long inFile = IntegerValue(file);
    const long held = IntegerValue(instrument);
    const bool oneByte = (inFile >= 0 && inFile <= 0xFF) || (held >= 0 && held <= 0xFF);
    return oneByte && (inFile & 0xFF) == (held & 0xFF);
}

}  // namespace

std::vector<ReadOnlyDifference> ReadOnlyDifferences(const InstrumentConfig& file,
                                                    const InstrumentConfig& current,
                                                    const std::vector<std::string>& only) {
    std::vector<ReadOnlyDifference> found;
    for (const KeyInfo& key : ConfigKeys()) {
        if (!key.readOnly || !Selected(key.name, only)) continue;
        const auto given = file.find(key.name);
        const auto held = current.find(key.name);
        // Absent on either side: nothing to compare.
        if (given == file.end() || !given->second || held == current.end() || !held->second)
            continue;
        if (!SameReadOnlyValue(key.name, *given->second, *held->second))
            found.push_back({key.name, *given->second, *held->second});
    }
    return found;
}

bool ConfigPlan::Differs(const std::string& key) const {
    return Selected(key, FOnly) && FileChanges(FFile, FCurrent, key);
}

std::optional<std::string> ConfigPlan::Current(const std::string& key) const {
    const auto it = FCurrent.find(key);
    return it == FCurrent.end() ? std::nullopt : it->second;
}

// The value a write of a group carries: the file's when wanted, else the instrument's.
std::string ConfigPlan::Value(const std::string& key, const std::string& group) const {
    if (Wanted(key)) return *FFile.at(key);
    if (const auto current = Current(key)) return *current;
    throw ConfigError(ConfigError::Reason::Invalid,
                      group + ": the file must give " + key + " (the instrument did not give it)",
                      0, key);
}

void ConfigPlan::Add(WriteKind kind, int index, const std::string& group,
                     const std::vector<std::string>& carried) {
    PlannedWrite write;
    write.kind = kind;
    write.index = index;
    write.group = group;
    for (const std::string& key : carried)
        if (Differs(key)) write.keys.push_back(key);
    if (write.keys.empty()) return;
    for (const std::string& key : carried) write.values[key] = Value(key, group);
    FWrites.push_back(std::move(write));
}

void ConfigPlan::PlanParameters() {
    for (int p = 1; p <= 3; ++p) {
        const std::string g = "param" + std::to_string(p);
        Add(WriteKind::Parameter, p, g, {g + ".scale", g + ".unit", g + ".point"});
    }
}

void ConfigPlan::PlanSetpoints() {
    for (int which = 1; which <= 2; ++which) {
        const std::string key = which == 1 ? "setpoint.upper" : "setpoint.lower";
        if (!Differs(key)) continue;
        if (!Current("setpoint.format"))
            throw ConfigError(ConfigError::Reason::NotAnswered,
                              key + ": the instrument did not tell its setpoint format", 0, key);
        Add(WriteKind::Setpoint, which, key, {key});
        FWrites.back().values["setpoint.format"] = Current("setpoint.format");
    }
}

void ConfigPlan::PlanGroups() {
    const std::vector<std::string> iec = {"iec.common_address_size", "iec.object_address_size",
                                          "iec.cause_size", "iec.type"};
    bool iecChanges = false;
    for (const auto& k : iec) iecChanges = iecChanges || Differs(k);
    if (iecChanges) Add(WriteKind::Iec, 0, "iec", iec);
    if (Differs("alarm.mode")) Add(WriteKind::Alarm, 0, "alarm", {"alarm.mode"});
    for (int r = 1; r <= 2; ++r) {
        const std::string g = "relay" + std::to_string(r);
        if (Differs(g + ".mode") || Differs(g + ".delay"))
            Add(WriteKind::RelayParams, r, g, {g + ".mode", g + ".delay"});
        if (Differs(g + ".hysteresis")) Add(WriteKind::RelayHysteresis, r, g, {g + ".hysteresis"});
    }
}

void ConfigPlan::PlanSerial() {
    if (Differs("serial.number") || Differs("serial.year"))
        Add(WriteKind::Serial, 0, "serial", {"serial.number", "serial.year"});
}

// Line speeds, then the address, then the protocol.
void ConfigPlan::PlanLinkLast() {
    for (int l = 1; l <= 2; ++l) {
        const std::string key = "speed.line" + std::to_string(l);
        if (Differs(key)) Add(WriteKind::Speed, l, key, {key});
    }
    if (Differs("address")) Add(WriteKind::Address, 0, "address", {"address"});
    if (Differs("protocol")) Add(WriteKind::Protocol, 0, "protocol", {"protocol"});
}

ConfigPlan::ReadBack ConfigPlan::Compare(const InstrumentConfig& after) const {
    ReadBack result;
    for (const KeyInfo& key : ConfigKeys()) {
        if (!Wanted(key.name)) continue;
        const auto it = after.find(key.name);
        const std::optional<std::string> now = it == after.end() ? std::nullopt : it->second;
        if (!key.readable || (!now && !Current(key.name))) {
            result.unverifiable.push_back(key.name);
            continue;
        }
        if (now != FFile.at(key.name)) result.differences.push_back(key.name);
    }
    return result;
}

}  // namespace config
