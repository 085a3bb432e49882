#pragma once
// The instrument's Modbus RTU register map, one constant per register number the requests
// and the answer rewrite use. Some values are read at one number and written at another
// (relay 2, the 16-bit setpoints); both numbers are the instrument's.
#include <cstdint>

namespace protocol::reg {

// Measured value of parameter p (1..3): ValueBase + ValueStride * (p - 1), two registers,
// IEEE single with the low-order word first.
constexpr uint16_t ValueBase = 0;
constexpr uint16_t ValueStride = 4;
constexpr uint16_t ValueCount = 2;

// Setup of parameter p: ParameterBase + ParameterStride * (p - 1): scale (two registers,
// low-order word first), unit code, point code.
constexpr uint16_t ParameterBase = 100;
constexpr uint16_t ParameterStride = 8;
constexpr uint16_t ParameterCount = 4;

// Setpoints in the 8-bit format, read and written here.
constexpr uint16_t UpperSetpoint = 200;
constexpr uint16_t LowerSetpoint = 202;

// Identity block read as one: number of parameters (1000), address (1002), serial number
// (1004), year (1005).
constexpr uint16_t IdentityBlock = 1000;
constexpr uint16_t IdentityCount = 6;
constexpr uint16_t Address = 1002;
constexpr uint16_t Brightness = 1006;
constexpr uint16_t SerialNumberWrite = 1008;
constexpr uint16_t YearWrite = 1010;  // year minus 2000
constexpr uint16_t SetpointFormat = 1012;
constexpr uint16_t SpeedRs1 = 1014;
constexpr uint16_t SpeedRs2 = 1016;

// Information text: 64 bytes in 32 registers.
constexpr uint16_t InfoText = 1100;
constexpr uint16_t InfoTextCount = 32;

// Relay parameters, read as one block of eight registers: relay 1 mode (554) and delay (557),
// relay 2 mode (558) and delay (561).
constexpr uint16_t RelayParamsRead = 554;
constexpr uint16_t RelayParamsReadCount = 8;
// Written per relay as four registers: mode, two zero registers, delay.
constexpr uint16_t Relay1ParamsWrite = 554;
constexpr uint16_t Relay2ParamsWrite = 562;
constexpr uint16_t RelayParamsWriteCount = 4;

// Relay hysteresis, read as one block: relay 1 (570-571), relay 2 (572-573), low-order word
// first. Written per relay as two registers, high-order word first.
constexpr uint16_t RelayHysteresisRead = 570;
constexpr uint16_t RelayHysteresisReadCount = 4;
constexpr uint16_t Relay1HysteresisWrite = 570;
constexpr uint16_t Relay2HysteresisWrite = 574;
constexpr uint16_t RelayHysteresisWriteCount = 2;

// IEC 60870-5-101 link settings: common address size, object address size, cause size, type.
constexpr uint16_t Iec = 2560;
constexpr uint16_t IecCount = 4;

constexpr uint16_t AlarmMode = 20480;
// Setpoints in the 16-bit format, written here (read at 200/202).
constexpr uint16_t UpperSetpointWide = 20484;
constexpr uint16_t LowerSetpointWide = 20486;

// Not a register: what the search request carries in the register field.
constexpr uint16_t Search = 0xFFFF;

}  // namespace protocol::reg

namespace protocol::fn {

constexpr uint8_t ReadRegisters = 0x03;
constexpr uint8_t WriteRegister = 0x06;
constexpr uint8_t WriteRegisters = 0x10;
constexpr uint8_t SwitchProtocol = 0x76;  // sent to BroadcastAddress
constexpr uint8_t Search = 0x77;          // sent to BroadcastAddress
constexpr uint8_t ExceptionFlag = 0x80;

constexpr uint8_t BroadcastAddress = 0xFF;

}  // namespace protocol::fn
