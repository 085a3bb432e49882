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
// The text of the file at `path`: only a regular file of at most LargestConfigFile bytes is
// read; a FIFO, a directory or a device is refused without being waited on. Throws
// ConfigError saying why it cannot be read.
constexpr size_t LargestConfigFile = 64 * 1024;  // a configuration file is a few KiB
std::string ReadConfigFile(const std::string& path);
// Parses a file; throws ConfigError naming the line of the first mistake (a value out
// of its key's range, a text with a character the instrument cannot show, a file not in
// UTF-8), so that nothing is written from a file with any mistake in it.
InstrumentConfig ParseConfig(const std::string& text);
// One JSON object, absent values as null.
std::string ConfigJson(const InstrumentConfig& config);

// Values of a parsed configuration.
long IntegerValue(const std::string& text);
float NumberValue(const std::string& text);

}  // namespace config
