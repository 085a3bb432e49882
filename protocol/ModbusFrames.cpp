#include "protocol/ModbusFrames.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "protocol/Crc.h"
#include "protocol/Registers.h"

namespace protocol {

namespace {

// Register of a channel-dependent request: channel 1..3 in the first data byte.
uint16_t ChannelRegister(uint16_t base, uint16_t stride, uint8_t channel) {
    return uint16_t(base + stride * (channel - 1));
}

void PutWord(uint8_t* at, uint16_t value) {
    at[0] = uint8_t(value >> 8);
    at[1] = uint8_t(value & 0xFF);
}

// Fills m for one QV request q; returns false for a code with no Modbus form.
bool BuildModbusRequest(const uint8_t* q, uint8_t* m, uint8_t& lengthOut, uint8_t& lengthIn) {
    m[0] = q[0];
    m[1] = q[2] >= 0x40 ? fn::ReadRegisters : fn::WriteRegister;
    auto single = [&](uint16_t reg, uint8_t hi, uint8_t lo) {
        PutWord(m + 2, reg);
        m[4] = hi;
        m[5] = lo;
        lengthOut = 8;
        lengthIn = 8;
    };
    auto read = [&](uint16_t reg, uint16_t count, uint8_t in) {
        PutWord(m + 2, reg);
        PutWord(m + 4, count);
        lengthOut = 8;
        lengthIn = in;
    };
    auto multiple = [&](uint16_t reg, uint16_t count, const uint8_t* data) {
        m[1] = fn::WriteRegisters;
        PutWord(m + 2, reg);
        PutWord(m + 4, count);
        m[6] = uint8_t(count * 2);
        std::memcpy(m + 7, data, count * 2);
        lengthOut = uint8_t(9 + count * 2);
        lengthIn = 8;
    };
    // The answers of reads: address, function, byte count, the registers, CRC.
    auto readAnswer = [](uint16_t count) { return uint8_t(5 + 2 * count); };
    auto service = [&](uint8_t function, uint8_t r0, uint8_t r1, uint8_t v0, uint8_t v1) {
        m[0] = fn::BroadcastAddress;
        m[1] = function;
        m[2] = r0;
        m[3] = r1;
        m[4] = v0;
        m[5] = v1;
        lengthOut = 8;
        lengthIn = 7;
    };
    switch (q[2]) {
        case 0x00:
            single(reg::Address, q[4], q[3]);
            return true;  // SetAdr
        case 0x01: {      // SetPar
            const uint8_t data[8] = {q[6], q[7], q[4], q[5], 0, q[8], 0, q[9]};
            multiple(ChannelRegister(reg::ParameterBase, reg::ParameterStride, q[3]),
                     reg::ParameterCount, data);
            return true;
        }
        case 0x02:
            single(reg::SpeedRs1, 0, q[3]);
            return true;  // SetSpeed
        case 0x03:
            single(reg::Brightness, 0, q[3]);
            return true;  // SetBright
        case 0x04:
            single(reg::SpeedRs2, 0, q[3]);
            return true;  // SetSpeed2
        case 0x05:
            multiple(reg::InfoText, reg::InfoTextCount, q + 3);
            return true;  // SetInfo
        case 0x06: {      // SetUst1
            const uint8_t data[2] = {0, q[3]};
            multiple(reg::UpperSetpoint, 1, data);
            return true;
        }
        case 0x07: {  // SetUst2
            const uint8_t data[2] = {0, q[3]};
            multiple(reg::LowerSetpoint, 1, data);
            return true;
        }
        case 0x31:
            single(reg::SerialNumberWrite, q[4], q[3]);
            return true;  // SetNumberOfProduce
        case 0x32:
            single(reg::YearWrite, q[4], q[3]);
            return true;  // SetYearMB
        case 0x40:        // GetVal
            read(ChannelRegister(reg::ValueBase, reg::ValueStride, q[3]), reg::ValueCount,
                 readAnswer(reg::ValueCount));
            return true;
        case 0x41:  // GetPar
            read(ChannelRegister(reg::ParameterBase, reg::ParameterStride, q[3]),
                 reg::ParameterCount, readAnswer(reg::ParameterCount));
            return true;
        case 0x43:
            read(reg::Brightness, 1, readAnswer(1));
            return true;  // GetBright
        case 0x44:        // GetYear
            read(reg::IdentityBlock, reg::IdentityCount, readAnswer(reg::IdentityCount));
            return true;
        case 0x45:  // GetInfo
            read(reg::InfoText, reg::InfoTextCount, readAnswer(reg::InfoTextCount));
            return true;
        case 0x46:
            read(reg::UpperSetpoint, 1, readAnswer(1));
            return true;  // GetUst1
        case 0x47:
            read(reg::LowerSetpoint, 1, readAnswer(1));
            return true;  // GetUst2
        case 0x48:
            read(reg::Iec, reg::IecCount, readAnswer(reg::IecCount));
            return true;
        case 0x4A:
            read(reg::Address, 1, readAnswer(1));
            return true;  // GetAdr
        case 0x50:
            read(reg::AlarmMode, 1, readAnswer(1));
            return true;  // GetSpeakerMode
        case 0x51:        // GetRelayParams
            read(reg::RelayParamsRead, reg::RelayParamsReadCount,
                 readAnswer(reg::RelayParamsReadCount));
            return true;
        case 0x52:  // GetRelayGist
            read(reg::RelayHysteresisRead, reg::RelayHysteresisReadCount,
                 readAnswer(reg::RelayHysteresisReadCount));
            return true;
        case 0x53:
        case 0x54:
        case 0x55:
        case 0x56:
            read(reg::SetpointFormat, 1, readAnswer(1));
            return true;
        // SetTypeProt: the instrument's address travels as data, low byte first.
        case 0xFE:
            service(fn::SwitchProtocol, q[3], q[4], 0, 0);
            return true;
        // GetTypeProt: the search goes to 0xFF whatever the address.
        case 0xFF:
            service(fn::Search, uint8_t(reg::Search >> 8), uint8_t(reg::Search & 0xFF), 0, 1);
            return true;
        default:
            return false;
    }
}

// The six Modbus-only writes, laid out over the start of `m`; returns the frame length.
uint8_t BuildModbusOnlyWrite(TListComand command, uint8_t address, const uint8_t* d, int relay,
                             uint8_t lengthOut, uint8_t* m) {
    auto put = [m](std::initializer_list<uint8_t> bytes) {
        std::memcpy(m, bytes.begin(), bytes.size());
    };
    auto hi = [](uint16_t r) { return uint8_t(r >> 8); };
    auto lo = [](uint16_t r) { return uint8_t(r & 0xFF); };
    const bool relay2 = relay == 2;
    switch (command) {
        case SetIEC:
            put({address, fn::WriteRegisters, hi(reg::Iec), lo(reg::Iec), 0x00, reg::IecCount,
                 2 * reg::IecCount, d[0], d[1], d[2], d[3], d[4], d[5], d[6], d[7]});
            return 17;
        case SetSpeakerMode:
            put({address, fn::WriteRegister, hi(reg::AlarmMode), lo(reg::AlarmMode), d[0], d[1]});
            return 8;
        case SetUst11:
            put({address, fn::WriteRegister, hi(reg::UpperSetpointWide), lo(reg::UpperSetpointWide),
                 d[0], d[1]});
            return 8;
        case SetUst22:
            put({address, fn::WriteRegister, hi(reg::LowerSetpointWide), lo(reg::LowerSetpointWide),
                 d[0], d[1]});
            return 8;
        case SetRelayParams: {
            const uint16_t r = relay2 ? reg::Relay2ParamsWrite : reg::Relay1ParamsWrite;
            put({address, fn::WriteRegisters, hi(r), lo(r), 0x00, reg::RelayParamsWriteCount,
                 2 * reg::RelayParamsWriteCount, d[0], d[1], 0x00, 0x00, 0x00, 0x00, d[2], d[3]});
            return 17;
        }
        case SetRelayGist: {
            const uint16_t r = relay2 ? reg::Relay2HysteresisWrite : reg::Relay1HysteresisWrite;
            put({address, fn::WriteRegisters, hi(r), lo(r), 0x00, reg::RelayHysteresisWriteCount,
                 2 * reg::RelayHysteresisWriteCount, d[0], d[1], d[2], d[3]});
            return 13;
        }
        default:
            return lengthOut;
    }
}

}  // namespace

bool ToModbusRequest(uint8_t* frame, uint8_t& lengthOut, uint8_t& lengthIn) {
    uint8_t m[RewriteFrameSize] = {};
    uint8_t out = lengthOut;
    uint8_t in = lengthIn;
    if (!BuildModbusRequest(frame, m, out, in)) return false;
    std::memcpy(frame, m, out - 2);
    StoreCrc(frame, out);
    lengthOut = out;
    lengthIn = in;
    return true;
}

void FromModbusAnswer(const uint8_t* request, uint8_t requestCode, uint8_t* answer,
                      uint8_t& lengthIn) {
    const uint8_t* a = answer;
    uint8_t b[RewriteFrameSize] = {};
    uint8_t length = lengthIn;
    const uint16_t r = uint16_t(request[2] << 8 | request[3]);
    b[0] = request[0];
    b[1] = 0;
    auto fill = [&](uint8_t code, std::initializer_list<uint8_t> data, uint8_t qvLength) {
        b[2] = code;
        // std::copy, not memcpy: an empty list (the address answer) may have a null begin(),
        // which memcpy must not be given even for zero bytes.
        std::copy(data.begin(), data.end(), b + 3);
        length = qvLength;
    };
    auto isChannel = [r](uint16_t base, uint16_t stride) {
        return r == base || r == base + stride || r == base + 2 * stride;
    };
    // The floats come out most significant byte first: the instrument's second register first.
    if (r == reg::Search) {
        b[0] = a[0];
        fill(0xFF, {0, 1}, 7);
    } else if (isChannel(reg::ValueBase, reg::ValueStride)) {
        fill(0x40, {a[5], a[6], a[3], a[4], 0}, 10);
    } else if (isChannel(reg::ParameterBase, reg::ParameterStride)) {
        fill(0x41, {a[5], a[6], a[3], a[4], a[8], a[10], 0}, 12);
    } else if (r == reg::IdentityBlock) {
        fill(0x44, {a[14], a[11], a[12], a[4]}, 9);
    } else if (r == reg::Address) {
        b[0] = a[4];
        fill(0x4A, {}, 5);
    } else if (r == reg::Brightness) {
        fill(0x43, {a[4]}, 6);
    } else if (r == reg::InfoText) {
        b[2] = 0x45;
        std::memcpy(b + 3, a + 3, 64);
        length = 69;
    }
    if (requestCode < 0x40) {  // every accepted write becomes the QV acknowledgement
        length = 6;
        b[2] = requestCode;
        b[3] = 0;
    }
    // An answer longer than the rewrite's frame is left as it came rather than copied from
    // beyond it.
    if (length < 3 || length > RewriteFrameSize) return;
    std::memcpy(answer, b, length - 2);
    StoreCrc(answer, length);
    lengthIn = length;
}

bool BuildRequestFrame(TListComand command, uint8_t code, uint8_t& lengthOut, uint8_t& lengthIn,
                       uint16_t address, const uint8_t* data, int dataCount, bool modbus, int relay,
                       uint8_t* frame) {
    std::memset(frame, 0, FrameBufferSize);
    frame[0] = uint8_t(address & 0xFF);
    frame[1] = uint8_t(address >> 8);
    frame[2] = code;
    // Data beyond the frame is cut off by the CRC (the Modbus switch pushes four bytes).
    const int dataRoom = lengthOut >= 5 ? lengthOut - 5 : 0;
    for (int i = 0; i < dataCount && i < dataRoom; ++i) frame[3 + i] = data[i];

    if (IsModbusOnlyWrite(command)) {
        // Only the pushed bytes are read; bytes not pushed go out as 0x00.
        uint8_t d[8] = {};
        std::copy(data, data + std::min(dataCount, 8), d);
        lengthOut =
            BuildModbusOnlyWrite(command, uint8_t(address & 0xFF), d, relay, lengthOut, frame);
        lengthIn = 8;
    }
    if (lengthOut >= 2) StoreCrc(frame, lengthOut);
    if (IsModbusOnlyWrite(command)) return true;
    return modbus && ToModbusRequest(frame, lengthOut, lengthIn);
}

uint32_t FrameSilenceMicroseconds(int32_t bitsPerSecond) {
    constexpr uint32_t FastLineSilence = 1750;
    if (bitsPerSecond <= 0 || bitsPerSecond > 19200) return FastLineSilence;
    constexpr uint64_t BitsOfSilenceTimesMillion = 35 * 11 * 100000;  // 3.5 characters of 11 bits
    return uint32_t((BitsOfSilenceTimesMillion + uint64_t(bitsPerSecond) - 1) /
                    uint64_t(bitsPerSecond));
}

RequestFrame BuildRequest(TListComand command, uint16_t address, const std::vector<uint8_t>& data,
                          Protocol protocol, int relay) {
    const TCommandEntry& entry = DefaultCommandTable()[command];
    uint8_t frame[FrameBufferSize];
    uint8_t lengthOut = entry.LengthOut;
    uint8_t lengthIn = entry.LengthIn;
    const bool modbusFrame =
        BuildRequestFrame(command, entry.Code, lengthOut, lengthIn, address, data.data(),
                          int(data.size()), protocol == Protocol::Modbus, relay, frame);
    RequestFrame request;
    request.command = command;
    request.code = entry.Code;
    request.bytes.assign(frame, frame + lengthOut);
    request.lengthIn = lengthIn;
    request.modbus = modbusFrame;
    request.data = data;
    return request;
}

}  // namespace protocol
