#include "sim/RegisterMap.h"

#include <cstring>

#include "sim/Answers.h"

namespace sim::registers {

uint32_t FloatBits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float BitsFloat(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

namespace {

constexpr uint16_t kValueLast = 9;
constexpr uint16_t kSetpointUpper = 200;
constexpr uint16_t kSetpointLower = 202;
constexpr uint16_t kSetpointUpper16 = 20484;
constexpr uint16_t kSetpointLower16 = 20486;
constexpr uint16_t kSystemFirst = 1000;
constexpr uint16_t kSystemLast = 1016;
constexpr uint16_t kInfoFirst = 1100;
constexpr uint16_t kInfoLast = 1131;
constexpr uint16_t kRelay2WriteFirst = 562;
constexpr uint16_t kRelay1HysteresisWrite = 570;
constexpr uint16_t kRelay2HysteresisWrite = 574;

uint16_t LowWord(uint32_t bits) {
    return uint16_t(bits & 0xFFFF);
}
uint16_t HighWord(uint32_t bits) {
    return uint16_t(bits >> 16);
}
uint32_t WithLowWord(uint32_t bits, uint16_t word) {
    return (bits & 0xFFFF0000u) | word;
}
uint32_t WithHighWord(uint32_t bits, uint16_t word) {
    return (bits & 0xFFFFu) | (uint32_t(word) << 16);
}

bool InRange(int value, int low, int high) {
    return value >= low && value <= high;
}

// Parameter p (0-based) and offset of a register in a block of `stride` from `base`, when
// the parameter exists.
bool ParameterRegister(const InstrumentState& state, uint16_t reg, uint16_t base, uint16_t stride,
                       uint16_t width, int& p, int& offset) {
    if (reg < base) return false;
    p = (reg - base) / stride;
    offset = (reg - base) % stride;
    return p < state.parameterCount && offset < width;
}

std::optional<uint16_t> ReadSystem(const InstrumentState& s, uint16_t reg) {
    switch (reg) {
        case 1000:
            return uint16_t(s.parameterCount);
        case 1002:
            return s.address;
        case 1004:
            return s.serialNumber;
        case 1005:
            return s.year;
        case 1006:
            return s.brightness;
        case 1008:
            return s.serialNumber;
        case 1010:
            return s.year;
        case 1012:
            return s.setpointFormat;
        case 1014:
            return s.speedRs1;
        case 1016:
            return s.speedRs2;
        default:
            return uint16_t(0);  // reserved words inside the block read 0
    }
}

std::optional<uint16_t> ReadRelay(const InstrumentState& s, uint16_t reg) {
    const Relay& relay = s.relays[(reg - kRelayParamsFirst) / 4];
    switch ((reg - kRelayParamsFirst) % 4) {
        case 0:
            return relay.mode;
        case 3:
            return uint16_t(relay.delay);
        default:
            return uint16_t(0);
    }
}

std::optional<uint16_t> ReadHysteresis(const InstrumentState& s, uint16_t reg) {
    const uint32_t bits = FloatBits(s.relays[(reg - kRelayHysteresisFirst) / 2].hysteresis);
    return (reg - kRelayHysteresisFirst) % 2 == 0 ? LowWord(bits) : HighWord(bits);
}

std::optional<uint16_t> ReadIec(const InstrumentState& s, uint16_t reg) {
    const uint16_t values[] = {s.iec.commonAddressSize, s.iec.objectAddressSize, s.iec.causeSize,
                               s.iec.type};
    return values[reg - kIecFirst];
}

std::optional<uint16_t> ReadInfo(const InstrumentState& s, uint16_t reg) {
    const size_t i = size_t(reg - kInfoFirst) * 2;
    return uint16_t(s.info[i] << 8 | s.info[i + 1]);
}

uint8_t WriteParameter(InstrumentState& s, uint16_t reg, uint16_t value) {
    int p = 0, offset = 0;
    if (!ParameterRegister(s, reg, kParameterBase, kParameterStride, 4, p, offset))
        return exception::kIllegalAddress;
    MeasuredParameter& parameter = s.parameters[size_t(p)];
    const uint32_t bits = FloatBits(parameter.scale);
    switch (offset) {
        case 0:
            parameter.scale = BitsFloat(WithLowWord(bits, value));
            return 0;
        case 1:
            parameter.scale = BitsFloat(WithHighWord(bits, value));
            return 0;
        case 2:
            if (!InRange(value, 1, 25)) return exception::kIllegalValue;
            parameter.unitCode = uint8_t(value);
            return 0;
        default:
            if (!InRange(value, 0, 3)) return exception::kIllegalValue;
            parameter.pointCode = uint8_t(value);
            return 0;
    }
}

// An 8-bit setpoint arrives in the low byte unless the instrument keeps 16-bit setpoints.
uint8_t WriteSetpoint(int16_t& setpoint, int value) {
    if (!InRange(value, -limits::kMaxSetpoint, limits::kMaxSetpoint))
        return exception::kIllegalValue;
    setpoint = int16_t(value);
    return 0;
}

int SetpointValue(const InstrumentState& s, uint16_t word) {
    return s.setpointFormat == kSixteenBitSetpoints ? int(int16_t(word)) : int(int8_t(word & 0xFF));
}

uint8_t WriteByteSetting(uint8_t& target, uint16_t value, int low, int high) {
    if (!InRange(value, low, high)) return exception::kIllegalValue;
    target = uint8_t(value);
    return 0;
}

uint8_t WriteWordSetting(uint16_t& target, uint16_t value, int low, int high) {
    if (!InRange(value, low, high)) return exception::kIllegalValue;
    target = value;
    return 0;
}

uint8_t WriteSystem(InstrumentState& s, uint16_t reg, uint16_t value) {
    switch (reg) {
        case 1002:
            return WriteWordSetting(s.address, value, 1, limits::kMaxModbusAddress);
        case 1006:
            return WriteByteSetting(s.brightness, value, 0, 2);
        case 1008:
            if (s.serialLocked) return exception::kProtected;
            s.serialNumber = value;
            return 0;
        case 1010:
            if (s.serialLocked) return exception::kProtected;
            return WriteByteSetting(s.year, value, 0, 99);
        case 1014:
            return WriteByteSetting(s.speedRs1, value, 1, 8);
        case 1016:
            return WriteByteSetting(s.speedRs2, value, 1, 8);
        default:
            return exception::kIllegalAddress;
    }
}

// Relay registers as written: mode, two unused words, delay.
uint8_t WriteRelay(Relay& relay, int offset, uint16_t value) {
    switch (offset) {
        case 0:
            return WriteWordSetting(relay.mode, value, 0, 4);
        case 3:
            relay.delay = int16_t(value);
            return 0;
        default:
            return 0;
    }
}

// Hysteresis as written: high-order word first.
uint8_t WriteHysteresis(Relay& relay, int offset, uint16_t value) {
    const uint32_t bits = FloatBits(relay.hysteresis);
    relay.hysteresis =
        BitsFloat(offset == 0 ? WithHighWord(bits, value) : WithLowWord(bits, value));
    return 0;
}

uint8_t WriteIec(IecSettings& iec, uint16_t reg, uint16_t value) {
    switch (reg - kIecFirst) {
        case 0:
            return WriteWordSetting(iec.commonAddressSize, value, 1, 3);
        case 1:
            return WriteWordSetting(iec.objectAddressSize, value, 1, 3);
        case 2:
            return WriteWordSetting(iec.causeSize, value, 1, 3);
        default:
            return WriteWordSetting(iec.type, value, 1, 255);
    }
}

uint8_t WriteOne(InstrumentState& s, uint16_t reg, uint16_t value) {
    if (reg >= kParameterBase && reg < kParameterBase + 3 * kParameterStride)
        return WriteParameter(s, reg, value);
    if (reg == kSetpointUpper) return WriteSetpoint(s.upperSetpoint, SetpointValue(s, value));
    if (reg == kSetpointLower) return WriteSetpoint(s.lowerSetpoint, SetpointValue(s, value));
    if (reg == kSetpointUpper16) return WriteSetpoint(s.upperSetpoint, int16_t(value));
    if (reg == kSetpointLower16) return WriteSetpoint(s.lowerSetpoint, int16_t(value));
    if (reg >= kSystemFirst && reg <= kSystemLast) return WriteSystem(s, reg, value);
    if (reg >= kInfoFirst && reg <= kInfoLast) {
        const size_t i = size_t(reg - kInfoFirst) * 2;
        s.info[i] = uint8_t(value >> 8);
        s.info[i + 1] = uint8_t(value & 0xFF);
        return 0;
    }
    if (reg >= kRelayParamsFirst && reg < kRelayParamsFirst + 4)
        return WriteRelay(s.relays[0], reg - kRelayParamsFirst, value);
    if (reg >= kRelay2WriteFirst && reg < kRelay2WriteFirst + 4)
        return WriteRelay(s.relays[1], reg - kRelay2WriteFirst, value);
    if (reg >= kRelay1HysteresisWrite && reg < kRelay1HysteresisWrite + 2)
        return WriteHysteresis(s.relays[0], reg - kRelay1HysteresisWrite, value);
    if (reg >= kRelay2HysteresisWrite && reg < kRelay2HysteresisWrite + 2)
        return WriteHysteresis(s.relays[1], reg - kRelay2HysteresisWrite, value);
    if (reg >= kIecFirst && reg < kIecFirst + 4) return WriteIec(s.iec, reg, value);
    if (reg == kSignallingMode) return WriteWordSetting(s.signallingMode, value, 0, 3);
    return exception::kIllegalAddress;
}

}  // namespace

std::optional<uint16_t> Read(const InstrumentState& s, uint16_t reg, double elapsedMs) {
    int p = 0, offset = 0;
    if (reg <= kValueLast) {
        if (!ParameterRegister(s, reg, 0, 4, 2, p, offset)) return std::nullopt;
        const uint32_t bits = FloatBits(MeasuredValue(s.parameters[size_t(p)], elapsedMs));
        return offset == 0 ? LowWord(bits) : HighWord(bits);
    }
    if (reg >= kParameterBase && reg < kParameterBase + 3 * kParameterStride) {
        if (!ParameterRegister(s, reg, kParameterBase, kParameterStride, 4, p, offset))
            return std::nullopt;
        const MeasuredParameter& parameter = s.parameters[size_t(p)];
        const uint32_t bits = FloatBits(parameter.scale);
        const uint16_t words[] = {LowWord(bits), HighWord(bits), parameter.unitCode,
                                  parameter.pointCode};
        return words[offset];
    }
    if (reg == kSetpointUpper) return uint16_t(s.upperSetpoint);
    if (reg == kSetpointLower) return uint16_t(s.lowerSetpoint);
    if (reg >= kSystemFirst && reg <= kSystemLast) return ReadSystem(s, reg);
    if (reg >= kInfoFirst && reg <= kInfoLast) return ReadInfo(s, reg);
    if (reg >= kRelayParamsFirst && reg < kRelayParamsFirst + 8) return ReadRelay(s, reg);
    if (reg >= kRelayHysteresisFirst && reg < kRelayHysteresisFirst + 4)
        return ReadHysteresis(s, reg);
    if (reg >= kIecFirst && reg < kIecFirst + 4) return ReadIec(s, reg);
    if (reg == kSignallingMode) return s.signallingMode;
    return std::nullopt;
}

uint8_t Write(InstrumentState& state, uint16_t first, const std::vector<uint16_t>& values) {
    if (state.writeProtected) return exception::kProtected;
    InstrumentState changed = state;
    for (size_t i = 0; i < values.size(); ++i) {
        if (size_t(first) + i > 0xFFFF) return exception::kIllegalAddress;
        if (const uint8_t code = WriteOne(changed, uint16_t(first + i), values[i])) return code;
    }
    state = changed;
    return 0;
}

bool IsModbusOnlyWrite(uint8_t function, uint16_t reg) {
    if (function == 0x06)
        return reg == kSignallingMode || reg == kSetpointUpper16 || reg == kSetpointLower16;
    if (function == 0x10)
        return reg == kIecFirst || reg == kRelayParamsFirst || reg == kRelay2WriteFirst ||
               reg == kRelay1HysteresisWrite || reg == kRelay2HysteresisWrite;
    return false;
}

}  // namespace sim::registers
