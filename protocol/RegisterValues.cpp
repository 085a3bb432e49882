#include "protocol/RegisterValues.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace protocol {

namespace {

struct Named {
    const char* name;
    uint8_t value;
};

const Named TypeNames[] = {{"u16", 0}, {"s16", 1}, {"u32", 2}, {"s32", 3}, {"float", 4}};
const Named OrderNames[] = {{"ABCD", 0}, {"CDAB", 1}, {"BADC", 2}, {"DCBA", 3}};
const Named BaseNames[] = {{"dec", 0}, {"hex", 1}, {"bin", 2}};

template <size_t N>
bool Find(const Named (&names)[N], const std::string& text, uint8_t& value) {
    for (const Named& n : names)
        if (text == n.name) {
            value = n.value;
            return true;
        }
    return false;
}

uint16_t SwapBytes(uint16_t word) {
    return uint16_t(word << 8 | word >> 8);
}

std::string Bits(uint64_t value, int width) {
    std::string text = "0b";
    for (int bit = width - 1; bit >= 0; --bit) text += (value >> bit) & 1 ? '1' : '0';
    return text;
}

std::string Hex(uint64_t value, int width) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*llX", width / 4, static_cast<unsigned long long>(value));
    return text;
}

std::string SingleText(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", double(value));
    return text;
}

float BitsToFloat(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

uint32_t FloatToBits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// An integer in decimal (with a sign), or 0x / 0b digits read as the bits themselves.
std::optional<int64_t> ParseInteger(const std::string& text, bool& asBits) {
    asBits = false;
    int radix = 10;
    size_t from = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) radix = 16;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'b' || text[1] == 'B')) radix = 2;
    if (radix != 10) {
        asBits = true;
        from = 2;
        if (text.size() - from > 32) return std::nullopt;
    }
    const std::string digits = text.substr(from);
    // Only digits of the radix, a sign only before decimal ones: strtoll alone would also take
    // blanks, a second "0x" or a sign after the prefix.
    const size_t first = !asBits && !digits.empty() && (digits[0] == '-' || digits[0] == '+');
    if (digits.size() <= first) return std::nullopt;
    for (size_t i = first; i < digits.size(); ++i) {
        const char c = digits[i];
        const bool ok = radix == 16 ? std::isxdigit(uint8_t(c)) != 0
                                    : c >= '0' && c < char('0' + (radix == 2 ? 2 : 10));
        if (!ok) return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(digits.c_str(), &end, radix);
    if (errno != 0 || end != digits.c_str() + digits.size()) return std::nullopt;
    return int64_t(value);
}

}  // namespace

const char* RegisterTypeName(RegisterType type) {
    return TypeNames[int(type)].name;
}
const char* WordOrderName(WordOrder order) {
    return OrderNames[int(order)].name;
}
const char* NumberBaseName(NumberBase base) {
    return BaseNames[int(base)].name;
}
bool RegisterTypeFromName(const std::string& text, RegisterType& type) {
    uint8_t v = 0;
    if (!Find(TypeNames, text, v)) return false;
    type = RegisterType(v);
    return true;
}
bool WordOrderFromName(const std::string& text, WordOrder& order) {
    uint8_t v = 0;
    if (!Find(OrderNames, text, v)) return false;
    order = WordOrder(v);
    return true;
}
bool NumberBaseFromName(const std::string& text, NumberBase& base) {
    uint8_t v = 0;
    if (!Find(BaseNames, text, v)) return false;
    base = NumberBase(v);
    return true;
}

int RegisterWidth(RegisterType type) {
    return type == RegisterType::U16 || type == RegisterType::S16 ? 1 : 2;
}

uint32_t JoinRegisters(uint16_t first, uint16_t second, WordOrder order) {
    switch (order) {
        case WordOrder::ABCD:
            return uint32_t(first) << 16 | second;
        case WordOrder::CDAB:
            return uint32_t(second) << 16 | first;
        case WordOrder::BADC:
            return uint32_t(SwapBytes(first)) << 16 | SwapBytes(second);
        case WordOrder::DCBA:
            return uint32_t(SwapBytes(second)) << 16 | SwapBytes(first);
    }
    return 0;
}

void SplitRegisters(uint32_t bits, WordOrder order, uint16_t& first, uint16_t& second) {
    const uint16_t high = uint16_t(bits >> 16);
    const uint16_t low = uint16_t(bits & 0xFFFF);
    switch (order) {
        case WordOrder::ABCD:
            first = high, second = low;
            return;
        case WordOrder::CDAB:
            first = low, second = high;
            return;
        case WordOrder::BADC:
            first = SwapBytes(high), second = SwapBytes(low);
            return;
        case WordOrder::DCBA:
            first = SwapBytes(low), second = SwapBytes(high);
            return;
    }
}

std::string RegisterValueText(const uint16_t* registers, int available, RegisterType type,
                              WordOrder order, NumberBase base) {
    const int width = RegisterWidth(type);
    if (available < width) return std::string();
    const uint32_t bits =
        width == 1 ? registers[0] : JoinRegisters(registers[0], registers[1], order);
    if (base == NumberBase::Hex) return Hex(bits, 16 * width);
    if (base == NumberBase::Bin) return Bits(bits, 16 * width);
    switch (type) {
        case RegisterType::U16:
        case RegisterType::U32:
            return std::to_string(bits);
        case RegisterType::S16:
            return std::to_string(int16_t(bits));
        case RegisterType::S32:
            return std::to_string(int32_t(bits));
        case RegisterType::Float:
            return SingleText(BitsToFloat(bits));
    }
    return std::string();
}

std::optional<std::vector<uint16_t>> EncodeRegisterValue(const std::string& text, RegisterType type,
                                                         WordOrder order, std::string& problem) {
    problem.clear();
    if (text.empty()) {
        problem = "no value given";
        return std::nullopt;
    }
    uint32_t bits = 0;
    if (type == RegisterType::Float) {
        errno = 0;
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        const bool whole = end == text.c_str() + text.size() && !std::isspace(uint8_t(text[0]));
        if (!whole || std::isnan(value) || errno == ERANGE ||
            std::fabs(value) > double(std::numeric_limits<float>::max())) {
            problem = "\"" + text + "\" is not a number a single can hold";
            return std::nullopt;
        }
        bits = FloatToBits(float(value));
    } else {
        bool asBits = false;
        const auto value = ParseInteger(text, asBits);
        if (!value) {
            problem = "\"" + text + "\" is not an integer (decimal, 0x hex or 0b binary)";
            return std::nullopt;
        }
        const bool wide = RegisterWidth(type) == 2;
        const bool signedType = type == RegisterType::S16 || type == RegisterType::S32;
        // Hex and binary give the bits: any pattern of the width is taken.
        int64_t low = signedType && !asBits ? (wide ? INT32_MIN : INT16_MIN) : 0;
        int64_t high = signedType && !asBits ? (wide ? INT32_MAX : INT16_MAX)
                                             : (wide ? int64_t(UINT32_MAX) : int64_t(UINT16_MAX));
        if (*value < low || *value > high) {
            problem = "\"" + text + "\" is outside " + std::to_string(low) + ".." +
                      std::to_string(high) + " (" + RegisterTypeName(type) + ")";
            return std::nullopt;
        }
        bits = uint32_t(*value);
    }
    if (RegisterWidth(type) == 1) return std::vector<uint16_t>{uint16_t(bits)};
    uint16_t first = 0, second = 0;
    SplitRegisters(bits, order, first, second);
    return std::vector<uint16_t>{first, second};
}

std::optional<DataRequest> PlanDataWrite(uint8_t address, int function, uint16_t start,
                                         const std::vector<std::string>& items, RegisterType type,
                                         WordOrder order, std::string& problem) {
    DataRequest r;
    r.address = address;
    r.start = start;
    DataFunction asked = DataFunction::WriteRegister;
    if (function != 0 && (!DataFunctionFromNumber(function, asked) || IsReadFunction(asked))) {
        problem = "a write takes function 5, 6, 15 or 16";
        return std::nullopt;
    }
    if (items.empty()) {
        problem = "no value given";
        return std::nullopt;
    }
    for (const std::string& item : items) {
        if (CarriesBits(asked)) {
            if (item != "0" && item != "1") {
                problem = "a coil is 0 or 1, not \"" + item + "\"";
                return std::nullopt;
            }
            r.values.push_back(item == "1");
            continue;
        }
        const auto words = EncodeRegisterValue(item, type, order, problem);
        if (!words) return std::nullopt;
        r.values.insert(r.values.end(), words->begin(), words->end());
    }
    // One register goes with function 6 unless another is asked for; a block with 16.
    r.function = asked;
    if (function == 0 && r.values.size() > 1) r.function = DataFunction::WriteRegisters;
    const bool single =
        r.function == DataFunction::WriteRegister || r.function == DataFunction::WriteCoil;
    if (single && r.values.size() > 1) {
        problem = "function " + std::to_string(int(r.function)) + " writes one item; " +
                  std::to_string(r.values.size()) + " given (a block takes function " +
                  (CarriesBits(r.function) ? "15)" : "16)");
        return std::nullopt;
    }
    problem = DataRequestProblem(r);
    if (!problem.empty()) return std::nullopt;
    return r;
}

}  // namespace protocol
