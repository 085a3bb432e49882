#include "exchange/mb.h"

#include <algorithm>
#include <cstring>

#include "protocol/Crc.h"
#include "exchange/typeCMD.h"

namespace {

constexpr int LocalFrameSize = 104;

struct ModbusRow {
    uint8_t function;
    uint16_t reg;
    uint8_t lengthOut;
    uint8_t lengthIn;
};

// Register of a channel-dependent request: channel 1..3 in the first data byte.
uint16_t ChannelRegister(uint16_t base, uint16_t stride, uint8_t channel) {
    return uint16_t(base + stride * (channel - 1));
}

void PutWord(uint8_t* at, uint16_t value) {
    at[0] = uint8_t(value >> 8);
    at[1] = uint8_t(value & 0xFF);
}

// Fills m[1..] for one QV request q; returns false for a code with no Modbus form.
bool BuildModbusRequest(const uint8_t* q, uint8_t* m, uint8_t& lengthOut, uint8_t& lengthIn) {
    m[0] = q[0];
    m[1] = q[2] >= 0x40 ? 3 : 6;
    auto single = [&](uint16_t reg, uint8_t hi, uint8_t lo) {  // function 6
        PutWord(m + 2, reg);
        m[4] = hi;
        m[5] = lo;
        lengthOut = 8;
        lengthIn = 8;
    };
    auto read = [&](uint16_t reg, uint16_t count, uint8_t in) {  // function 3
        PutWord(m + 2, reg);
        PutWord(m + 4, count);
        lengthOut = 8;
        lengthIn = in;
    };
    auto multiple = [&](uint16_t reg, uint16_t count, const uint8_t* data) {  // function 16
        m[1] = 16;
        PutWord(m + 2, reg);
        PutWord(m + 4, count);
        m[6] = uint8_t(count * 2);
        std::memcpy(m + 7, data, count * 2);
        lengthOut = uint8_t(9 + count * 2);
        lengthIn = 8;
    };
    switch (q[2]) {
        case 0x00: single(1002, q[4], q[3]); return true;  // SetAdr
        case 0x01: {                                       // SetPar
            const uint8_t data[8] = {q[6], q[7], q[4], q[5], 0, q[8], 0, q[9]};
            multiple(ChannelRegister(100, 8, q[3]), 4, data);
            return true;
        }
        case 0x02: single(1014, 0, q[3]); return true;  // SetSpeed
        case 0x03: single(1006, 0, q[3]); return true;  // SetBright
        case 0x04: single(1016, 0, q[3]); return true;  // SetSpeed2
        case 0x05: multiple(1100, 32, q + 3); return true;  // SetInfo
        case 0x06: {  // SetUst1
            const uint8_t data[2] = {0, q[3]};
            multiple(200, 1, data);
            return true;
        }
        case 0x07: {  // SetUst2
            const uint8_t data[2] = {0, q[3]};
            multiple(202, 1, data);
            return true;
        }
        case 0x31: single(1008, q[4], q[3]); return true;  // SetNumberOfProduce
        case 0x32: single(1010, q[4], q[3]); return true;  // SetYearMB
        case 0x40: read(ChannelRegister(0, 4, q[3]), 2, 9); return true;     // GetVal
        case 0x41: read(ChannelRegister(100, 8, q[3]), 4, 13); return true;  // GetPar
        case 0x43: read(1006, 1, 7); return true;                             // GetBright
        case 0x44: read(1000, 6, 17); return true;                            // GetYear
        case 0x45: read(1100, 32, 69); return true;                           // GetInfo
        case 0x46: read(200, 1, 7); return true;                              // GetUst1
        case 0x47: read(202, 1, 7); return true;                              // GetUst2
        case 0x48: read(2560, 4, 13); return true;                            // GetIEC
        case 0x4A: read(1002, 1, 7); return true;                             // GetAdr
        case 0x50: read(20480, 1, 7); return true;                            // GetSpeakerMode
        case 0x51: read(554, 8, 21); return true;                             // GetRelayParams
        case 0x52: read(570, 4, 13); return true;                             // GetRelayGist
        case 0x53:
        case 0x54:
        case 0x55:
        case 0x56: read(1012, 1, 7); return true;  // setpoint format queries
        case 0xFE:                                 // SetTypeProt: the address travels as data
            m[0] = 0xFF;
            m[1] = 0x76;
            m[2] = q[3];
            m[3] = q[4];
            m[4] = 0;
            m[5] = 0;
            lengthOut = 8;
            lengthIn = 7;
            return true;
        case 0xFF:  // GetTypeProt: the search goes to 0xFF whatever the address
            m[0] = 0xFF;
            m[1] = 0x77;
            m[2] = 0xFF;
            m[3] = 0xFF;
            m[4] = 0;
            m[5] = 1;
            lengthOut = 8;
            lengthIn = 7;
            return true;
        default:
            return false;
    }
}

}  // namespace

void ToModbusRequest() {
    uint8_t m[LocalFrameSize] = {};
    uint8_t lengthOut = CurrentQuery->LengthOut;
    uint8_t lengthIn = CurrentQuery->LengthIn;
    // Commands without a Modbus form (SetYear, SetMode, GetMode) are never sent in Modbus
    // RTU; the callers refuse them before they get here.
    if (!BuildModbusRequest(RequestBuffer, m, lengthOut, lengthIn)) return;
    std::memcpy(RequestBuffer, m, lengthOut - 2);
    StoreCrc(RequestBuffer, lengthOut);
    CurrentQuery->LengthOut = lengthOut;
    CurrentQuery->LengthIn = lengthIn;
}

void FromModbusAnswer() {
    const uint8_t* a = AnswerBuffer;
    uint8_t b[LocalFrameSize] = {};
    uint8_t lengthIn = CurrentQuery->LengthIn;
    const uint16_t reg = uint16_t(RequestBuffer[2] << 8 | RequestBuffer[3]);
    b[0] = RequestBuffer[0];
    b[1] = 0;
    auto fill = [&](uint8_t code, std::initializer_list<uint8_t> data, uint8_t length) {
        b[2] = code;
        // std::copy, not memcpy: an empty list (the address answer) may have a null begin(),
        // which memcpy must not be given even for zero bytes.
        std::copy(data.begin(), data.end(), b + 3);
        lengthIn = length;
    };
    if (reg == 0xFFFF) {  // the device search
        b[0] = a[0];
        fill(0xFF, {0, 1}, 7);
    } else {
        switch (reg) {
            case 0:
            case 4:
            case 8: fill(0x40, {a[5], a[6], a[3], a[4], 0}, 10); break;
            case 100:
            case 108:
            case 116: fill(0x41, {a[5], a[6], a[3], a[4], a[8], a[10], 0}, 12); break;
            case 1000: fill(0x44, {a[14], a[11], a[12], a[4]}, 9); break;
            case 1002:
                b[0] = a[4];
                fill(0x4A, {}, 5);
                break;
            case 1006: fill(0x43, {a[4]}, 6); break;
            case 1100:
                b[2] = 0x45;
                std::memcpy(b + 3, a + 3, 64);
                lengthIn = 69;
                break;
            default: break;
        }
    }
    if (CurrentQuery->Code < 0x40) {  // every accepted write becomes the QV acknowledgement
        lengthIn = 6;
        b[2] = CurrentQuery->Code;
        b[3] = 0;
    }
    // An answer of a register this rewrite does not know keeps its length; one longer than
    // the rewrite's frame is left as it came rather than copied from beyond it.
    if (lengthIn < 3 || lengthIn > LocalFrameSize) return;
    std::memcpy(AnswerBuffer, b, lengthIn - 2);
    StoreCrc(AnswerBuffer, lengthIn);
    CurrentQuery->LengthIn = lengthIn;
}
