#include "protocol/Decoders.h"

#include "protocol/Cp1251.h"
#include "protocol/Float.h"

namespace protocol {

namespace {

constexpr int HeaderAndCrc = 5;

// The answer holds byte `last` and its two CRC bytes after it.
bool Holds(int length, int last) {
    return length >= last + 3 && length >= HeaderAndCrc;
}

// single(a, b, c, d): a is the least significant byte.
double Single(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    return BytesToSingle({a, b, c, d});
}

int S8(uint8_t x) {
    return int8_t(x);
}
int S16(int word) {
    return int16_t(uint16_t(word));
}

std::string AtLeastDigits(int value, size_t digits) {
    std::string text = std::to_string(value);
    if (text.size() < digits) text.insert(0, digits - text.size(), '0');
    return text;
}

}  // namespace

std::optional<uint16_t> DecodeAddress(const uint8_t* a, int length) {
    if (!Holds(length, 2)) return std::nullopt;
    return uint16_t(a[0] + 256 * a[1]);
}

std::optional<ParameterSetup> DecodeParameter(const uint8_t* a, int length) {
    if (!Holds(length, 9)) return std::nullopt;
    ParameterSetup setup;
    setup.scale = Single(a[6], a[5], a[4], a[3]);
    setup.unitCode = a[7];
    setup.pointCode = a[8];
    setup.exists = a[9] != 2;
    return setup;
}

std::optional<SerialAndYear> DecodeSerialAndYear(const uint8_t* a, int length) {
    if (!Holds(length, 6)) return std::nullopt;
    SerialAndYear value;
    value.year = a[3];
    value.number = uint16_t(256 * a[4] + a[5]);
    value.parameterCount = a[6];
    return value;
}

std::string SerialNumberText(const SerialAndYear& value) {
    return AtLeastDigits(value.year, 2) + AtLeastDigits(value.number, 4);
}

std::string YearText(const SerialAndYear& value) {
    return "20" + AtLeastDigits(value.year, 2);
}

std::optional<int> DecodeBrightness(const uint8_t* a, int length) {
    if (!Holds(length, 3)) return std::nullopt;
    return a[3] % 3;
}

std::optional<std::string> DecodeInfoText(const uint8_t* a, int length) {
    constexpr int TextBytes = 64;
    if (!Holds(length, 3 + TextBytes - 1)) return std::nullopt;
    std::string bytes(reinterpret_cast<const char*>(a + 3), TextBytes);
    const size_t end = bytes.find('\0');
    if (end != std::string::npos) bytes.resize(end);
    return FromCp1251(bytes);
}

std::optional<int> DecodeSetpoint(const uint8_t* a, int length, Protocol protocol,
                                  uint16_t format) {
    if (protocol == Protocol::Qv) {
        if (!Holds(length, 3)) return std::nullopt;
        return S8(a[3]);
    }
    if (!Holds(length, 4)) return std::nullopt;
    return format == SixteenBitSetpoints ? S16(a[3] << 8 | a[4]) : S8(a[4]);
}

std::optional<uint16_t> DecodeSetpointFormat(const uint8_t* a, int length, Protocol protocol) {
    if (protocol == Protocol::Qv) {
        if (!Holds(length, 3)) return std::nullopt;
        return a[3];
    }
    if (!Holds(length, 4)) return std::nullopt;
    return uint16_t(a[3] << 8 | a[4]);
}

std::optional<IecFraming> DecodeIecFraming(const uint8_t* a, int length) {
    if (!Holds(length, 10)) return std::nullopt;
    IecFraming value;
    value.commonAddressSize = a[4];
    value.objectAddressSize = a[6];
    value.causeSize = a[8];
    value.type = a[10];
    return value;
}

int IecTypeIndex(uint8_t type) {
    switch (type) {
        case 9:
            return 0;
        case 13:
            return 1;
        case 21:
            return 2;
        default:
            return -1;
    }
}

uint8_t IecTypeByte(int index) {
    switch (index) {
        case 0:
            return 9;
        case 1:
            return 13;
        case 2:
            return 21;
        default:
            return 0;
    }
}

std::optional<int> DecodeAlarmMode(const uint8_t* a, int length) {
    if (!Holds(length, 4)) return std::nullopt;
    return a[4];
}

std::optional<RelayParams> DecodeRelayParams(const uint8_t* a, int length, int relay) {
    const int k = relay == 2 ? 12 : 4;
    if (!Holds(length, k + 6)) return std::nullopt;
    RelayParams value;
    value.mode = a[k];
    value.delay = int16_t(S16(256 * a[k + 5] + a[k + 6]));
    return value;
}

std::optional<double> DecodeRelayHysteresis(const uint8_t* a, int length, int relay) {
    const int k = relay == 2 ? 7 : 3;
    if (!Holds(length, k + 3)) return std::nullopt;
    // The first register of the pair holds the low-order 16 bits.
    return Single(a[k + 1], a[k], a[k + 3], a[k + 2]);
}

std::optional<ProtocolAnswer> DecodeProtocolAnswer(const uint8_t* a, int length) {
    if (!Holds(length, 4)) return std::nullopt;
    ProtocolAnswer value;
    value.address = uint16_t(a[0] + 256 * a[1]);
    value.protocol = a[4] == 0 ? Protocol::Qv : Protocol::Modbus;
    return value;
}

std::optional<Reading> DecodeReading(const uint8_t* a, int length) {
    if (!Holds(length, 7)) return std::nullopt;
    Reading value;
    value.value = Single(a[6], a[5], a[4], a[3]);
    value.exists = a[7] != 2;
    return value;
}

std::optional<uint8_t> DecodeWriteResult(const uint8_t* a, int length) {
    if (!Holds(length, 3)) return std::nullopt;
    return a[3];
}

}  // namespace protocol
