#pragma once
// What is wrong with a configuration file, or with carrying it out on an instrument. The
// message is whole as it stands (it names the line or the key); the reason tells a caller
// whether the file is at fault or the instrument's answers are.
#include <stdexcept>
#include <string>
#include <utility>

namespace config {

class ConfigError : public std::runtime_error {
public:
    enum class Reason {
        Invalid,     // the file: a mistake on a line, a value it must give, an address too high
        NotAnswered  // the instrument did not give what a write needs
    };

    ConfigError(Reason reason, const std::string& message, int line = 0, std::string key = {})
        : std::runtime_error(message), FReason(reason), FLine(line), FKey(std::move(key)) {}

    Reason Why() const { return FReason; }
    int Line() const { return FLine; }  // the file's line, 1-based; 0 when no line is at fault
    const std::string& Key() const { return FKey; }  // the key at fault, or empty

private:
    Reason FReason;
    int FLine;
    std::string FKey;
};

}  // namespace config
