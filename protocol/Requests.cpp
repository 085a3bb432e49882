#include "protocol/Requests.h"

#include "protocol/Cp1251.h"
#include "protocol/Float.h"

namespace protocol {

namespace {

Request Make(TListComand command, std::vector<uint8_t> data = {}) {
    Request request;
    request.command = command;
    request.data = std::move(data);
    return request;
}

uint8_t Lo(int value) {
    return uint8_t(value & 0xFF);
}
uint8_t Hi(int value) {
    return uint8_t((value >> 8) & 0xFF);
}

}  // namespace

RequestFrame BuildRequest(const Request& request, uint16_t address, Protocol protocol) {
    return BuildRequest(request.command, request.fixedAddress.value_or(address), request.data,
                        protocol, request.relay);
}

Request Read(TListComand command) {
    return Make(command);
}

Request ReadRelayParams() {
    return Make(GetRelayParams);
}

Request ReadParameter(int channel) {
    return Make(GetPar, {Lo(channel)});
}

Request ReadValue(int channel) {
    return Make(GetVal, {Lo(channel)});
}

Request Search() {
    Request request = Make(GetTypeProt);
    request.fixedAddress = SearchAddress;
    return request;
}

Request WriteAddress(uint16_t address) {
    return Make(SetAdr, {Lo(address), Hi(address)});
}

Request WriteParameter(int channel, double scale, uint8_t unitCode, uint8_t pointCode) {
    TBytes4 bytes;
    SingleToBytesBE(bytes, scale);
    return Make(SetPar, {Lo(channel), bytes[0], bytes[1], bytes[2], bytes[3], unitCode, pointCode});
}

int ScalePointCode(const std::string& scaleText) {
    const size_t point = scaleText.find('.');
    const int position = point == std::string::npos ? 0 : int(point) + 1;
    return (position > 0 ? position : 5) - 2;
}

Request WriteBrightness(int brightness) {
    return Make(SetBright, {Lo(brightness)});
}

Request WriteInfo(const std::string& text) {
    const std::string bytes =
        ToCp1251(text + std::string(InfoTextBytes, ' ')).substr(0, InfoTextBytes);
    return Make(SetInfo, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

Request WriteSerialAndYearQv(int year, int number) {
    return Make(SetYear, {Lo(year), Hi(number), Lo(number)});
}

Request WriteSerialNumber(int number) {
    return Make(SetNumberOfProduce, {Lo(number), Hi(number)});
}

Request WriteYear(int twoDigitYear) {
    return Make(SetYearMB, {Lo(twoDigitYear), Hi(twoDigitYear)});
}

Request WriteSetpoint(bool upper, int value, uint16_t format) {
    if (format == SixteenBitSetpoints)
        return Make(upper ? SetUst11 : SetUst22, {Hi(value), Lo(value)});
    return Make(upper ? SetUst1 : SetUst2, {Lo(value)});
}

bool SetpointInRange(int value) {
    return value >= -SetpointLimit && value <= SetpointLimit;
}

Request WriteSpeed(int line, int speedCode) {
    return Make(line == 2 ? SetSpeed2 : SetSpeed, {Lo(speedCode)});
}

int SpeedCode(int32_t baud) {
    for (int i = 0; i < LineSpeedCount; ++i)
        if (LineSpeeds[i] == baud) return i + 1;
    return 0;
}

int32_t SpeedOfCode(int speedCode) {
    return speedCode >= 1 && speedCode <= LineSpeedCount ? LineSpeeds[speedCode - 1] : 0;
}

Request WriteIecFraming(const IecFraming& framing) {
    return Make(SetIEC, {0, framing.commonAddressSize, 0, framing.objectAddressSize, 0,
                         framing.causeSize, 0, framing.type});
}

Request WriteAlarmMode(int mode) {
    return Make(SetSpeakerMode, {0, Lo(mode)});
}

Request WriteRelayParams(int relay, uint8_t mode, int16_t delay) {
    Request request = Make(SetRelayParams, {0, mode, Hi(delay), Lo(delay)});
    request.relay = relay;
    return request;
}

Request WriteRelayHysteresis(int relay, double hysteresis) {
    TBytes4 bytes;
    SingleToBytesBE(bytes, hysteresis);
    Request request = Make(SetRelayGist, {bytes[0], bytes[1], bytes[2], bytes[3]});
    request.relay = relay;
    return request;
}

Request WriteAnalogMode(uint8_t mode) {
    return Make(SetMode, {mode});
}

Request SwitchProtocol(uint16_t address, Protocol current) {
    Request request = Make(SetTypeProt, {Lo(address)});
    if (current == Protocol::Modbus) request.data = {Lo(address), Hi(address), 0, 0};
    request.fixedAddress = SwitchAddress;
    return request;
}

bool SwitchAddressValid(uint16_t address, Protocol current) {
    if (address == 0 || address > HighestAddress) return false;
    return !(address > HighestModbusAddress && current == Protocol::Qv);
}

}  // namespace protocol
