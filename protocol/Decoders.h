#pragma once
// Answers turned into typed values, one decoder per kind of answer.
//
// Each decoder reads a checked answer in the form TakeAnswer leaves it: QV form, or Modbus
// layout for the reads listed by IsUntranslatedRead (the setpoints, their format, the IEC
// framing, the alarm mode, the relays). It reads the same bytes the window's answer
// interpretation reads, and returns nothing when the answer is too short to hold them with
// its CRC after them (so QV answers to the Modbus-layout reads, which are shorter, give
// nothing rather than a CRC byte read as a value).
#include <cstdint>
#include <optional>
#include <string>

#include "protocol/ModbusFrames.h"

namespace protocol {

// Setpoint format word meaning signed 16-bit setpoints; any other value means signed 8-bit.
constexpr uint16_t SixteenBitSetpoints = 710;

// GetAdr: the answer's own address field.
std::optional<uint16_t> DecodeAddress(const uint8_t* a, int length);

struct ParameterSetup {
    double scale = 0;
    uint8_t unitCode = 0;   // 1..25 (UnitName)
    uint8_t pointCode = 0;  // decimals shown: 3 - pointCode
    bool exists = true;     // false: the instrument has no such parameter (status 2)
};
// GetPar: scale, unit code, point code, status.
std::optional<ParameterSetup> DecodeParameter(const uint8_t* a, int length);

struct SerialAndYear {
    uint8_t year = 0;  // two digits
    uint16_t number = 0;
    uint8_t parameterCount = 0;
};
// GetYear: year, serial number, number of measured parameters.
std::optional<SerialAndYear> DecodeSerialAndYear(const uint8_t* a, int length);
// The serial number as the window shows it: year in at least two digits, number in at least
// four ("050042").
std::string SerialNumberText(const SerialAndYear& value);
// The year of manufacture as the window shows it ("2005").
std::string YearText(const SerialAndYear& value);

// GetBright: brightness 0..2.
std::optional<int> DecodeBrightness(const uint8_t* a, int length);

// GetInfo: the 64 text bytes up to the first zero byte, as UTF-8.
std::optional<std::string> DecodeInfoText(const uint8_t* a, int length);

// GetUst1/GetUst2: QV: the signed data byte; Modbus: the signed register when `format` is
// SixteenBitSetpoints, else its low byte as a signed byte.
std::optional<int> DecodeSetpoint(const uint8_t* a, int length, Protocol protocol, uint16_t format);
// GetVersForUst*: QV: the data byte; Modbus: the register.
std::optional<uint16_t> DecodeSetpointFormat(const uint8_t* a, int length, Protocol protocol);

struct IecFraming {
    uint8_t commonAddressSize = 0;  // the window's item index is the size - 1
    uint8_t objectAddressSize = 0;
    uint8_t causeSize = 0;
    uint8_t type = 0;  // 9, 13 or 21 (IecTypeIndex)
};
// GetIEC (Modbus layout): the low bytes of the four registers.
std::optional<IecFraming> DecodeIecFraming(const uint8_t* a, int length);
// Item index of an IEC type byte: 9 -> 0, 13 -> 1, 21 -> 2, -1 for any other.
int IecTypeIndex(uint8_t type);
// The type byte of an item index; 0 for an index outside 0..2.
uint8_t IecTypeByte(int index);

// GetSpeakerMode (Modbus layout): the alarm's signalling mode 0..3.
std::optional<int> DecodeAlarmMode(const uint8_t* a, int length);

struct RelayParams {
    uint8_t mode = 0;  // 0..4
    int16_t delay = 0;
};
// GetRelayParams (Modbus layout, both relays in one answer): relay 1 or 2.
std::optional<RelayParams> DecodeRelayParams(const uint8_t* a, int length, int relay);
// GetRelayGist (Modbus layout, both relays in one answer): relay 1 or 2.
std::optional<double> DecodeRelayHysteresis(const uint8_t* a, int length, int relay);

struct ProtocolAnswer {
    uint16_t address = 0;
    Protocol protocol = Protocol::Qv;
};
// GetTypeProt (the search): the answering instrument's address and protocol.
std::optional<ProtocolAnswer> DecodeProtocolAnswer(const uint8_t* a, int length);

struct Reading {
    double value = 0;
    bool exists = true;  // false: the instrument has no such parameter (status 2)
};
// GetVal: the measured value and the status.
std::optional<Reading> DecodeReading(const uint8_t* a, int length);

// A write's acknowledgement: the result byte (0 accepted; QV SetYear 10: the number cannot
// be changed).
std::optional<uint8_t> DecodeWriteResult(const uint8_t* a, int length);
constexpr uint8_t WriteAccepted = 0;
constexpr uint8_t NumberCannotChange = 10;

}  // namespace protocol
