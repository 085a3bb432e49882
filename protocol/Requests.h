#pragma once
// Every request the tool sends, with the data bytes each one carries, so that a program can
// build any read or write without the window.
//
//   const protocol::RequestFrame frame =
//       protocol::BuildRequest(protocol::WriteBrightness(2), 7, protocol::Protocol::Modbus);
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/Decoders.h"
#include "protocol/Limits.h"
#include "protocol/ModbusFrames.h"

namespace protocol {

constexpr int InfoTextBytes = 64;

struct Request {
    TListComand command = GetAdr;
    std::vector<uint8_t> data;             // in the order they go out
    int relay = 1;                         // SetRelayParams/SetRelayGist: relay 1 or 2
    std::optional<uint16_t> fixedAddress;  // the search and the switch ignore the address
};

// The frame of `request` for the instrument at `address`.
RequestFrame BuildRequest(const Request& request, uint16_t address, Protocol protocol);

// ---- reads ----
// A read without data: GetAdr, GetBright, GetInfo, GetYear, GetUst1, GetUst2, GetIEC,
// GetSpeakerMode, GetRelayGist, GetVersForUst1..22, GetMode.
Request Read(TListComand command);
// GetRelayParams; the relay is chosen when the answer is decoded (it holds both).
Request ReadRelayParams();
Request ReadParameter(int channel);  // GetPar, channel 1..3
Request ReadValue(int channel);      // GetVal, channel 1..3
Request Search();                    // GetTypeProt at SearchAddress

// ---- writes ----
Request WriteAddress(uint16_t address);  // SetAdr
// SetPar: the scale travels as an IEEE single, most significant byte first.
Request WriteParameter(int channel, double scale, uint8_t unitCode, uint8_t pointCode);
// The point code the parameter page derives from a scale text: the digits before the first
// ".", minus one; 3 without a point ("173.2" -> 2, "1.5" -> 0, "100" -> 3).
int ScalePointCode(const std::string& scaleText);
Request WriteBrightness(int brightness);  // SetBright, 0..2
// SetInfo: the text (UTF-8) in Windows-1251, padded with spaces and cut to 64 bytes.
Request WriteInfo(const std::string& text);
// QV SetYear: year (two digits), serial number high byte, low byte.
Request WriteSerialAndYearQv(int year, int number);
// SetNumberOfProduce: serial number low byte, high byte (Modbus RTU: the year follows with
// WriteYear).
Request WriteSerialNumber(int number);
Request WriteYear(int twoDigitYear);  // SetYearMB: year minus 2000, low byte, high byte
// Setpoint writes, after the format query: 16-bit (SetUst11/SetUst22, high byte first) when
// `format` is SixteenBitSetpoints, else one signed byte (SetUst1/SetUst2).
Request WriteSetpoint(bool upper, int value, uint16_t format);
bool SetpointInRange(int value);
// SetSpeed (line 1) or SetSpeed2 (line 2) with a speed code 1..8.
Request WriteSpeed(int line, int speedCode);
// Speed code 1..8 of 1200..115200 bits per second; 0 for another speed.
int SpeedCode(int32_t baud);
int32_t SpeedOfCode(int speedCode);                                // 0 outside 1..8
Request WriteIecFraming(const IecFraming& framing);                // SetIEC
Request WriteAlarmMode(int mode);                                  // SetSpeakerMode, 0..3
Request WriteRelayParams(int relay, uint8_t mode, int16_t delay);  // SetRelayParams
Request WriteRelayHysteresis(int relay, double hysteresis);        // SetRelayGist
Request WriteAnalogMode(uint8_t mode);                             // QV SetMode, 0 or 1

// SetTypeProt: switches the instrument at `address` from the protocol it speaks now to the
// other one. The QV form carries the address's low byte; the Modbus form low byte, high byte
// and two zero bytes.
Request SwitchProtocol(uint16_t address, Protocol current);
// The switch needs a real address: 1..65000, and at most 247 when the instrument is to speak
// Modbus RTU afterwards.
bool SwitchAddressValid(uint16_t address, Protocol current);

}  // namespace protocol
