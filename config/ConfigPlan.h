#pragma once
// What a configuration file changes on an instrument, and in which order: only the keys that
// differ from what the instrument holds, grouped into the writes that carry them, in a safe
// order — parameters, text, brightness, setpoints, IEC, alarm, relays, serial number, line
// speeds, then the address and the protocol last (each of these can cut the line). tessera-cli
// and the window both carry out this plan, each through its own exchange.
#include <optional>
#include <string>
#include <vector>

#include "config/ConfigFile.h"
#include "protocol/Decoders.h"

namespace config {

enum class WriteKind {
    Parameter,
    Info,
    Brightness,
    Setpoint,
    Iec,
    Alarm,
    RelayParams,
    RelayHysteresis,
    Serial,
    Speed,
    Address,
    Protocol
};

struct PlannedWrite {
    WriteKind kind = WriteKind::Info;
    int index = 0;                  // parameter 1..3, relay 1..2, line 1..2; setpoint: 1 upper
    std::string group;              // "param1", "relay2", "speed.line1", ...
    std::vector<std::string> keys;  // the keys of the file that change
    // Every value the write carries: the file's where the key is wanted, else the
    // instrument's (a parameter's scale, unit and point travel together).
    InstrumentConfig values;

    const std::string& Text(const std::string& key) const { return *values.at(key); }
    long Integer(const std::string& key) const { return IntegerValue(Text(key)); }
    float Number(const std::string& key) const { return NumberValue(Text(key)); }
    // The IEC framing the write carries (WriteKind::Iec).
    protocol::IecFraming IecFraming() const;
};

// A key chosen by a list of keys and group prefixes ("param1" chooses param1.scale, ...); an
// empty list chooses every key.
bool Selected(const std::string& key, const std::vector<std::string>& only);

// The file gives a value for a key that can be written and the instrument does not already
// hold it (a key that cannot be read always counts as changed).
bool FileChanges(const InstrumentConfig& file, const InstrumentConfig& current,
                 const std::string& key);

// A key the instrument cannot be told (read-only) that the file gives otherwise than the
// instrument holds: such a file describes another instrument, and no write can change that.
struct ReadOnlyDifference {
    std::string key;
    std::string file;
    std::string instrument;
};
std::vector<ReadOnlyDifference> ReadOnlyDifferences(const InstrumentConfig& file,
                                                    const InstrumentConfig& current,
                                                    const std::vector<std::string>& only = {});

class ConfigPlan {
public:
    // Throws ConfigError: Invalid when a write needs a value that neither the file nor the
    // instrument gives, or the address does not fit the protocol; NotAnswered when a setpoint
    // is to be written and the instrument did not tell its setpoint format.
    ConfigPlan(const InstrumentConfig& file, const InstrumentConfig& current,
               const std::vector<std::string>& only = {});

    const std::vector<PlannedWrite>& Writes() const { return FWrites; }

    // The key is to be written: given in the file, writable, chosen.
    bool Wanted(const std::string& key) const;
    // Wanted and not already so on the instrument (a key that cannot be read always is).
    bool Differs(const std::string& key) const;
    std::optional<std::string> Current(const std::string& key) const;

    // What reading the instrument back after the writes shows: the wanted keys that differ
    // from the file, and those that cannot be checked (no read for them, or absent before
    // and after).
    struct ReadBack {
        std::vector<std::string> differences;
        std::vector<std::string> unverifiable;
    };
    ReadBack Compare(const InstrumentConfig& after) const;

private:
    std::string Value(const std::string& key, const std::string& group) const;
    void Add(WriteKind kind, int index, const std::string& group,
             const std::vector<std::string>& carried);
    void PlanParameters();
    void PlanSetpoints();
    void PlanGroups();
    void PlanSerial();
    void PlanLinkLast();

    InstrumentConfig FFile;
    InstrumentConfig FCurrent;
    std::vector<std::string> FOnly;
    std::vector<PlannedWrite> FWrites;
};

}  // namespace config
