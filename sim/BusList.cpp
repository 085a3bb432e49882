#include "sim/BusList.h"

#include <cstdlib>

#include "protocol/Limits.h"
#include "sim/LineSpeed.h"

namespace sim {

namespace {

bool ParseNumber(const std::string& text, unsigned long low, unsigned long high,
                 unsigned long& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    char* end = nullptr;
    value = std::strtoul(text.c_str(), &end, 10);
    return *end == '\0' && value >= low && value <= high;
}

bool ParseProtocol(const std::string& text, Protocol& protocol) {
    if (text == "modbus")
        protocol = Protocol::Modbus;
    else if (text == "qv")
        protocol = Protocol::Qv;
    else
        return false;
    return true;
}

constexpr unsigned long kLongestAnswerDelayMs = 10000;

// Takes a trailing "+Nms" off `text` into `delayMs`; false when it is there but malformed.
bool TakeAnswerDelay(std::string& text, int& delayMs) {
    delayMs = 0;
    const size_t plus = text.find('+');
    if (plus == std::string::npos) return true;
    const std::string delay = text.substr(plus + 1);
    unsigned long number = 0;
    if (delay.size() < 3 || delay.compare(delay.size() - 2, 2, "ms") != 0 ||
        !ParseNumber(delay.substr(0, delay.size() - 2), 0, kLongestAnswerDelayMs, number))
        return false;
    delayMs = int(number);
    text.erase(plus);
    return true;
}

}  // namespace

bool ParseInstrument(const std::string& whole, Config& config, std::string& error) {
    std::string text = whole;
    int delayMs = 0;
    if (!TakeAnswerDelay(text, delayMs)) {
        error = "answer delay in '" + whole + "' must be +Nms with N 0.." +
                std::to_string(kLongestAnswerDelayMs);
        return false;
    }
    const size_t colon = text.find(':');
    const size_t at = text.find('@');
    if (colon == std::string::npos || (at != std::string::npos && at < colon)) {
        error = "'" + whole + "' is not protocol:address[@speed][+Nms]";
        return false;
    }
    Config parsed = config;
    if (!ParseProtocol(text.substr(0, colon), parsed.protocol)) {
        error = "unknown protocol in '" + text + "' (modbus or qv)";
        return false;
    }
    const std::string address =
        text.substr(colon + 1, at == std::string::npos ? at : at - colon - 1);
    const unsigned long highest =
        parsed.protocol == Protocol::Modbus ? limits::kMaxModbusAddress : limits::kMaxQvAddress;
    unsigned long number = 0;
    if (!ParseNumber(address, 1, highest, number)) {
        error = "address in '" + text + "' must be 1.." + std::to_string(highest);
        return false;
    }
    parsed.address = uint16_t(number);
    parsed.lineSpeed = kDefaultLineSpeed;
    if (at != std::string::npos) {
        if (!ParseNumber(text.substr(at + 1), 1,
                         uint32_t(protocol::LineSpeeds[protocol::LineSpeedCount - 1]), number) ||
            SpeedCode(uint32_t(number)) == 0) {
            error = "speed in '" + text + "' must be one of " + protocol::LineSpeedsText(" ");
            return false;
        }
        parsed.lineSpeed = uint32_t(number);
    }
    parsed.answerDelayMs = delayMs;
    config = parsed;
    return true;
}

bool ParseBus(const std::string& text, std::vector<Config>& configs, std::string& error) {
    std::vector<Config> parsed;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        Config config;
        if (!ParseInstrument(text.substr(start, comma - start), config, error)) return false;
        parsed.push_back(config);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    configs.insert(configs.end(), parsed.begin(), parsed.end());
    return true;
}

std::string Describe(const Config& config) {
    std::string text = std::string(config.protocol == Protocol::Modbus ? "modbus:" : "qv:") +
                       std::to_string(config.address) + "@" + std::to_string(config.lineSpeed);
    if (config.answerDelayMs > 0) text += "+" + std::to_string(config.answerDelayMs) + "ms";
    return text;
}

}  // namespace sim
