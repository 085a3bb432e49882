#pragma once
// The instrument's configuration as tessera-cli and the window read, write and compare it,
// and its file: "key = value" lines, UTF-8, "#" comments. A value the instrument did not give
// is "absent".
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace config {

enum class ValueKind { Integer, Number, Text, ProtocolName };

struct KeyInfo {
    const char* name;
    ValueKind kind;
    long low;
    long high;
    bool readOnly;     // reported, never written
    bool readable;     // the instrument can be asked for it (false: line speeds)
    const char* note;  // the comment written beside it, or nullptr
};

// Every key in the order of the file.
const std::vector<KeyInfo>& ConfigKeys();
const KeyInfo* FindKey(const std::string& name);

// Key -> canonical value text; std::nullopt for a key recorded as absent. Two configurations
// hold the same value of a key exactly when their texts are equal.
using InstrumentConfig = std::map<std::string, std::optional<std::string>>;

// Canonical texts of the values.
std::string IntegerText(long value);
std::string NumberText(float value);  // the shortest text that reads back as the same single

// The file text: a header comment, then every key of `config` in file order.
std::string FormatConfig(const InstrumentConfig& config, const std::string& header);
// Parses a file; throws ConfigError naming the line of the first mistake.
InstrumentConfig ParseConfig(const std::string& text);
// One JSON object, absent values as null.
std::string ConfigJson(const InstrumentConfig& config);

// Values of a parsed configuration.
long IntegerValue(const std::string& text);
float NumberValue(const std::string& text);

}  // namespace config
