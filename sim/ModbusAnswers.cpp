// Modbus RTU side of the instrument: functions 3, 6 and 16 on the register map, the search
// (0x77) and the protocol switch (0x76) at address 0xFF, exception answers.
#include "sim/Answers.h"
#include "sim/RegisterMap.h"

namespace sim {

namespace {

constexpr uint8_t kReadRegisters = 0x03;
constexpr uint8_t kWriteRegister = 0x06;
constexpr uint8_t kWriteRegisters = 0x10;
constexpr uint8_t kSwitchProtocol = 0x76;
constexpr uint8_t kSearch = 0x77;
constexpr uint8_t kServiceAddress = 0xFF;
constexpr uint16_t kMaxReadCount = 125;
constexpr uint16_t kMaxWriteCount = 123;
constexpr uint8_t kModbusProtocolTag = 1;

uint16_t Word(const Bytes& frame, size_t at) {
    return uint16_t(frame[at] << 8 | frame[at + 1]);
}

void PutWord(Bytes& out, uint16_t word) {
    out.push_back(uint8_t(word >> 8));
    out.push_back(uint8_t(word & 0xFF));
}

Bytes ExceptionAnswer(const Bytes& request, uint8_t code) {
    return WithCrc({request[0], uint8_t(request[1] | 0x80), code});
}

Bytes ReadRegisters(const InstrumentState& state, const Bytes& request, double elapsedMs) {
    const uint16_t first = Word(request, 2);
    const uint16_t count = Word(request, 4);
    if (count < 1 || count > kMaxReadCount)
        return ExceptionAnswer(request, exception::kIllegalValue);
    Bytes answer{request[0], kReadRegisters, uint8_t(count * 2)};
    for (uint32_t reg = first; reg < uint32_t(first) + count; ++reg) {
        const std::optional<uint16_t> value =
            reg <= 0xFFFF ? registers::Read(state, uint16_t(reg), elapsedMs) : std::nullopt;
        if (!value) return ExceptionAnswer(request, exception::kIllegalAddress);
        PutWord(answer, *value);
    }
    return WithCrc(answer);
}

Bytes WriteRegister(InstrumentState& state, const Bytes& request) {
    if (const uint8_t code = registers::Write(state, Word(request, 2), {Word(request, 4)}))
        return ExceptionAnswer(request, code);
    return request;  // echoed as received
}

Bytes WriteRegisters(InstrumentState& state, const Bytes& request) {
    const uint16_t count = Word(request, 4);
    if (count < 1 || count > kMaxWriteCount || request[6] != count * 2)
        return ExceptionAnswer(request, exception::kIllegalValue);
    std::vector<uint16_t> values;
    for (size_t i = 0; i < count; ++i) values.push_back(Word(request, 7 + 2 * i));
    if (const uint8_t code = registers::Write(state, Word(request, 2), values))
        return ExceptionAnswer(request, code);
    return WithCrc(Bytes(request.begin(), request.begin() + 6));
}

// Search: only the Modbus form (register field FF FF) is answered, never the QV search that
// happens to read as function 0x77 too.
Bytes AnswerSearch(const InstrumentState& state, const Bytes& request) {
    if (Word(request, 2) != 0xFFFF) return {};
    return WithCrc({uint8_t(state.address & 0xFF), kSearch, 0x00, 0x00, kModbusProtocolTag});
}

// Switch to QV: the own address low byte first, then high byte, then two zero bytes.
Bytes AnswerSwitch(InstrumentState& state, const Bytes& request) {
    const uint16_t target = uint16_t(request[2] | request[3] << 8);
    if (target != state.address || Word(request, 4) != 0) return {};
    state.protocol = Protocol::Qv;
    return WithCrc({kServiceAddress, kSwitchProtocol, request[2], request[3], 0x00});
}

}  // namespace

Bytes AnswerModbus(InstrumentState& state, const Bytes& request, double elapsedMs) {
    if (request.size() < 4) return {};
    const uint8_t function = request[1];
    if (request[0] == kServiceAddress && request.size() == 8) {
        if (function == kSearch) return AnswerSearch(state, request);
        if (function == kSwitchProtocol) return AnswerSwitch(state, request);
    }
    if (request[0] != (state.address & 0xFF)) return {};
    switch (function) {
        case kReadRegisters:
            return request.size() == 8 ? ReadRegisters(state, request, elapsedMs) : Bytes{};
        case kWriteRegister:
            return request.size() == 8 ? WriteRegister(state, request) : Bytes{};
        case kWriteRegisters:
            return request.size() >= 9 ? WriteRegisters(state, request) : Bytes{};
        default:
            return ExceptionAnswer(request, exception::kIllegalFunction);
    }
}

}  // namespace sim
