// QV side of the instrument, and the choice between the two protocols for one request.
#include <algorithm>
#include <cstring>

#include "sim/Answers.h"
#include "sim/FrameSplitter.h"
#include "sim/RegisterMap.h"

namespace sim {

namespace {

constexpr uint16_t kSearchAddress = 0x77FF;
constexpr uint16_t kSwitchAddress = 0;
constexpr uint8_t kSearch = 0xFF;
constexpr uint8_t kSwitchProtocol = 0xFE;
constexpr uint8_t kFirstReadCode = 0x40;
constexpr uint8_t kQvProtocolTag = 0;

enum Code : uint8_t {
    SetAdr = 0x00,
    SetPar = 0x01,
    SetSpeed = 0x02,
    SetBright = 0x03,
    SetSpeed2 = 0x04,
    SetInfo = 0x05,
    SetUst1 = 0x06,
    SetUst2 = 0x07,
    SetYear = 0x0F,
    SetMode = 0x21,
    SetNumberOfProduce = 0x31,
    SetYearMB = 0x32,
    GetVal = 0x40,
    GetPar = 0x41,
    GetBright = 0x43,
    GetYear = 0x44,
    GetInfo = 0x45,
    GetUst1 = 0x46,
    GetUst2 = 0x47,
    GetIEC = 0x48,
    GetAdr = 0x4A,
    GetSpeakerMode = 0x50,
    GetRelayParams = 0x51,
    GetRelayGist = 0x52,
    GetVersForUst1 = 0x53,
    GetVersForUst22 = 0x56,
    GetMode = 0x61,
};

// Header of every answer: the instrument's address low byte first, then the code.
Bytes Header(const InstrumentState& state, uint8_t code) {
    return {uint8_t(state.address & 0xFF), uint8_t(state.address >> 8), code};
}

Bytes Acknowledge(const InstrumentState& state, uint8_t code, uint8_t result) {
    Bytes answer = Header(state, code);
    answer.push_back(result);
    return WithCrc(answer);
}

void PutSingle(Bytes& out, float value) {
    const uint32_t bits = registers::FloatBits(value);
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(bits >> shift));
}

// GetVal and GetPar of a parameter beyond the count: zeros and status 2.
Bytes ParameterAnswer(const InstrumentState& state, const Bytes& request, double elapsedMs) {
    const uint8_t code = request[2];
    const int p = request[3];
    const bool exists = p >= 1 && p <= state.parameterCount;
    Bytes answer = Header(state, code);
    if (!exists) {
        answer.resize(size_t(QvAnswerLength(code)) - 2, 0);  // up to the CRC
        answer.back() = result::kNoSuchParameter;
        return WithCrc(answer);
    }
    const MeasuredParameter& parameter = state.parameters[size_t(p - 1)];
    if (code == GetVal) {
        PutSingle(answer, MeasuredValue(parameter, elapsedMs));
    } else {
        PutSingle(answer, parameter.scale);
        answer.push_back(parameter.unitCode);
        answer.push_back(parameter.pointCode);
    }
    answer.push_back(result::kAccepted);
    return WithCrc(answer);
}

// Answers whose data is the Modbus register block from `first`, cut to the QV answer length.
Bytes RegisterLayoutAnswer(const InstrumentState& state, uint8_t code, uint16_t first,
                           double elapsedMs) {
    Bytes answer = Header(state, code);
    const size_t dataBytes = size_t(QvAnswerLength(code)) - 5;
    for (uint16_t reg = first; answer.size() < 3 + dataBytes; ++reg) {
        const uint16_t word = registers::Read(state, reg, elapsedMs).value_or(0);
        answer.push_back(uint8_t(word >> 8));
        if (answer.size() < 3 + dataBytes) answer.push_back(uint8_t(word & 0xFF));
    }
    return WithCrc(answer);
}

Bytes OneByteAnswer(const InstrumentState& state, uint8_t code, uint8_t value) {
    Bytes answer = Header(state, code);
    answer.push_back(value);
    return WithCrc(answer);
}

Bytes ReadAnswer(const InstrumentState& state, const Bytes& request, double elapsedMs) {
    const uint8_t code = request[2];
    switch (code) {
        case GetVal:
        case GetPar:
            return ParameterAnswer(state, request, elapsedMs);
        case GetBright:
            return OneByteAnswer(state, code, state.brightness);
        case GetAdr:
            return WithCrc(Header(state, code));
        case GetInfo: {
            Bytes answer = Header(state, code);
            answer.insert(answer.end(), state.info.begin(), state.info.end());
            return WithCrc(answer);
        }
        case GetYear: {
            Bytes answer = Header(state, code);
            answer.insert(answer.end(),
                          {state.year, uint8_t(state.serialNumber >> 8),
                           uint8_t(state.serialNumber & 0xFF), uint8_t(state.parameterCount)});
            return WithCrc(answer);
        }
        // QV keeps setpoints as signed bytes and reports the low byte of the format word.
        case GetUst1:
            return OneByteAnswer(state, code, uint8_t(state.upperSetpoint & 0xFF));
        case GetUst2:
            return OneByteAnswer(state, code, uint8_t(state.lowerSetpoint & 0xFF));
        case GetIEC:
            return RegisterLayoutAnswer(state, code, registers::kIecFirst, elapsedMs);
        case GetSpeakerMode:
            return RegisterLayoutAnswer(state, code, registers::kSignallingMode, elapsedMs);
        case GetRelayParams:
            return RegisterLayoutAnswer(state, code, registers::kRelayParamsFirst, elapsedMs);
        case GetRelayGist:
            return RegisterLayoutAnswer(state, code, registers::kRelayHysteresisFirst, elapsedMs);
        case GetMode:
            return OneByteAnswer(state, code, state.analogOutput);
        default:
            if (code >= GetVersForUst1 && code <= GetVersForUst22)
                return OneByteAnswer(state, code, uint8_t(state.setpointFormat & 0xFF));
            return {};
    }
}

uint8_t CheckedByte(uint8_t& target, uint8_t value, int low, int high) {
    if (value < low || value > high) return result::kBadValue;
    target = value;
    return result::kAccepted;
}

uint8_t WriteScaleUnitPoint(InstrumentState& state, const Bytes& request) {
    const int p = request[3];
    if (p < 1 || p > state.parameterCount) return result::kNoSuchParameter;
    // scale arrives most significant byte first; the registers hold the low-order word first
    const uint16_t high = uint16_t(request[4] << 8 | request[5]);
    const uint16_t low = uint16_t(request[6] << 8 | request[7]);
    const uint16_t first =
        uint16_t(registers::kParameterBase + registers::kParameterStride * (p - 1));
    return registers::Write(state, first, {low, high, request[8], request[9]});
}

uint8_t WriteAddress(InstrumentState& state, const Bytes& request) {
    const uint16_t address = uint16_t(request[3] | request[4] << 8);
    if (address < 1 || address > limits::kMaxQvAddress) return result::kBadValue;
    state.address = address;
    return result::kAccepted;
}

uint8_t WriteSerial(InstrumentState& state, uint16_t serial, int year) {
    if (state.serialLocked) return result::kNumberLocked;
    if (year > 99) return result::kBadValue;
    state.serialNumber = serial;
    if (year >= 0) state.year = uint8_t(year);
    return result::kAccepted;
}

uint8_t ApplyWrite(InstrumentState& state, const Bytes& request) {
    const uint8_t* d = &request[3];
    switch (request[2]) {
        case SetAdr:
            return WriteAddress(state, request);
        case SetPar:
            return WriteScaleUnitPoint(state, request);
        case SetSpeed:
            return CheckedByte(state.speedRs1, d[0], 1, 8);
        case SetSpeed2:
            return CheckedByte(state.speedRs2, d[0], 1, 8);
        case SetBright:
            return CheckedByte(state.brightness, d[0], 0, 2);
        case SetInfo:
            std::memcpy(state.info.data(), d, state.info.size());
            return result::kAccepted;
        case SetUst1:
            state.upperSetpoint = int8_t(d[0]);
            return result::kAccepted;
        case SetUst2:
            state.lowerSetpoint = int8_t(d[0]);
            return result::kAccepted;
        case SetMode:
            return CheckedByte(state.analogOutput, d[0], 0, 1);
        case SetYear:
            return WriteSerial(state, uint16_t(d[1] << 8 | d[2]), d[0]);
        case SetNumberOfProduce:
            return WriteSerial(state, uint16_t(d[0] | d[1] << 8), -1);
        case SetYearMB: {
            if (state.serialLocked) return result::kNumberLocked;
            const int year = d[0] | d[1] << 8;
            if (year > 99) return result::kBadValue;
            state.year = uint8_t(year);
            return result::kAccepted;
        }
        default:
            return result::kBadValue;
    }
}

Bytes WriteAnswer(InstrumentState& state, const Bytes& request) {
    if (QvRequestLength(request[2]) == 0) return {};
    // the acknowledgement goes out from the address the request was sent to (SetAdr)
    const InstrumentState before = state;
    if (state.writeProtected) return Acknowledge(before, request[2], result::kProtected);
    return Acknowledge(before, request[2], ApplyWrite(state, request));
}

// Search in QV: address 0x77FF, code 0xFF and three zero data bytes (the Modbus search, which
// reads as the same address and code, carries other data and is not answered).
Bytes AnswerSearch(const InstrumentState& state, const Bytes& request) {
    if (request[3] != 0 || request[4] != 0 || request[5] != 0) return {};
    Bytes answer = Header(state, kSearch);
    answer.insert(answer.end(), {0x00, kQvProtocolTag});
    return WithCrc(answer);
}

// Switch to Modbus: sent to address 0 with the instrument's own address in the data.
Bytes AnswerSwitch(InstrumentState& state, const Bytes& request) {
    const uint16_t target = uint16_t(request[3] | request[4] << 8);
    if (target != state.address) return {};
    state.protocol = Protocol::Modbus;
    return Acknowledge(state, kSwitchProtocol, result::kAccepted);
}

bool IsModbusOnlyWriteFrame(const InstrumentState& state, const Bytes& request) {
    if (request.size() < 8 || request[0] != (state.address & 0xFF)) return false;
    const uint16_t reg = uint16_t(request[2] << 8 | request[3]);
    const size_t modbusLength = request[1] == 0x10 ? 9 + size_t(request[6]) : 8;
    return registers::IsModbusOnlyWrite(request[1], reg) && request.size() == modbusLength;
}

}  // namespace

Bytes AnswerQv(InstrumentState& state, const Bytes& request, double elapsedMs,
               bool modbusWritesInQv) {
    if (request.size() < 5) return {};
    if (modbusWritesInQv && IsModbusOnlyWriteFrame(state, request))
        return AnswerModbus(state, request, elapsedMs);
    if (size_t(QvRequestLength(request[2])) != request.size()) return {};
    const uint16_t address = uint16_t(request[0] | request[1] << 8);
    const uint8_t code = request[2];
    if (address == kSearchAddress && code == kSearch) return AnswerSearch(state, request);
    if (address == kSwitchAddress && code == kSwitchProtocol) return AnswerSwitch(state, request);
    if (address != state.address || code == kSearch || code == kSwitchProtocol) return {};
    return code < kFirstReadCode ? WriteAnswer(state, request)
                                 : ReadAnswer(state, request, elapsedMs);
}

Bytes Answer(InstrumentModel& model, const Bytes& request, bool modbusWritesInQv) {
    const double elapsedMs = model.ElapsedMs();
    Bytes answer;
    model.Change([&](InstrumentState& state) {
        answer = state.protocol == Protocol::Qv
                     ? AnswerQv(state, request, elapsedMs, modbusWritesInQv)
                     : AnswerModbus(state, request, elapsedMs);
    });
    return answer;
}

}  // namespace sim
