#include "config/ConfigAnswers.h"

#include "protocol/Decoders.h"

namespace config {

namespace {

std::string Param(int channel, const char* field) {
    return "param" + std::to_string(channel) + "." + field;
}

std::optional<std::string> Integer(long value) {
    return IntegerText(value);
}

std::optional<std::string> Number(double value) {
    return NumberText(float(value));
}

// The instrument pads the information text with blanks when it is written: they carry nothing.
std::string TrimmedRight(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

void FillParameter(InstrumentConfig& c, int channel, const uint8_t* a, int length) {
    const auto setup = protocol::DecodeParameter(a, length);
    if (!setup || !setup->exists) return;
    c[Param(channel, "scale")] = Number(setup->scale);
    c[Param(channel, "unit")] = Integer(setup->unitCode);
    c[Param(channel, "point")] = Integer(setup->pointCode);
}

void FillSerial(InstrumentConfig& c, const uint8_t* a, int length) {
    const auto serial = protocol::DecodeSerialAndYear(a, length);
    if (!serial) return;
    c["parameters"] = Integer(serial->parameterCount);
    c["serial.number"] = Integer(serial->number);
    c["serial.year"] = Integer(2000 + serial->year);
}

void FillIec(InstrumentConfig& c, const uint8_t* a, int length) {
    const auto iec = protocol::DecodeIecFraming(a, length);
    if (!iec) return;
    c["iec.common_address_size"] = Integer(iec->commonAddressSize);
    c["iec.object_address_size"] = Integer(iec->objectAddressSize);
    c["iec.cause_size"] = Integer(iec->causeSize);
    c["iec.type"] = Integer(iec->type);
}

void FillRelays(InstrumentConfig& c, const uint8_t* a, int length) {
    for (int r = 1; r <= 2; ++r) {
        const std::string g = "relay" + std::to_string(r);
        if (const auto params = protocol::DecodeRelayParams(a, length, r)) {
            c[g + ".mode"] = Integer(params->mode);
            c[g + ".delay"] = Integer(params->delay);
        }
    }
}

void FillHysteresis(InstrumentConfig& c, const uint8_t* a, int length) {
    for (int r = 1; r <= 2; ++r)
        if (const auto h = protocol::DecodeRelayHysteresis(a, length, r))
            c["relay" + std::to_string(r) + ".hysteresis"] = Number(*h);
}

}  // namespace

std::vector<std::string> KeysOfRead(TListComand command, int channel) {
    switch (command) {
        case GetAdr:
            return {"address"};
        case GetYear:
            return {"parameters", "serial.number", "serial.year"};
        case GetBright:
            return {"brightness"};
        case GetInfo:
            return {"info"};
        case GetPar:
            if (channel < 1 || channel > 3) return {};
            return {Param(channel, "scale"), Param(channel, "unit"), Param(channel, "point")};
        case GetVersForUst1:
        case GetVersForUst2:
            return {"setpoint.format"};
        case GetUst1:
            return {"setpoint.upper"};
        case GetUst2:
            return {"setpoint.lower"};
        case GetIEC:
            return {"iec.common_address_size", "iec.object_address_size", "iec.cause_size",
                    "iec.type"};
        case GetSpeakerMode:
            return {"alarm.mode"};
        case GetRelayParams:
            return {"relay1.mode", "relay1.delay", "relay2.mode", "relay2.delay"};
        case GetRelayGist:
            return {"relay1.hysteresis", "relay2.hysteresis"};
        default:
            return {};
    }
}

InstrumentConfig AbsentKeys(TListComand command, int channel) {
    InstrumentConfig c;
    for (const std::string& key : KeysOfRead(command, channel)) c[key] = std::nullopt;
    return c;
}

InstrumentConfig ConfigFromAnswer(TListComand command, int channel, const uint8_t* a, int length,
                                  protocol::Protocol protocol, uint16_t setpointFormat) {
    using namespace protocol;
    InstrumentConfig c = AbsentKeys(command, channel);
    switch (command) {
        case GetAdr:
            if (const auto address = DecodeAddress(a, length)) c["address"] = Integer(*address);
            break;
        case GetYear:
            FillSerial(c, a, length);
            break;
        case GetBright:
            if (const auto b = DecodeBrightness(a, length)) c["brightness"] = Integer(*b);
            break;
        case GetInfo:
            if (const auto text = DecodeInfoText(a, length)) c["info"] = TrimmedRight(*text);
            break;
        case GetPar:
            if (!c.empty()) FillParameter(c, channel, a, length);
            break;
        case GetVersForUst1:
        case GetVersForUst2:
            if (const auto format = DecodeSetpointFormat(a, length, protocol))
                c["setpoint.format"] = Integer(*format);
            break;
        case GetUst1:
        case GetUst2:
            if (const auto value = DecodeSetpoint(a, length, protocol, setpointFormat))
                c[command == GetUst1 ? "setpoint.upper" : "setpoint.lower"] = Integer(*value);
            break;
        case GetIEC:
            FillIec(c, a, length);
            break;
        case GetSpeakerMode:
            if (const auto mode = DecodeAlarmMode(a, length)) c["alarm.mode"] = Integer(*mode);
            break;
        case GetRelayParams:
            FillRelays(c, a, length);
            break;
        case GetRelayGist:
            FillHysteresis(c, a, length);
            break;
        default:
            break;
    }
    return c;
}

std::optional<InstrumentConfig> ReadInstrumentConfig(protocol::Protocol protocol,
                                                     const AskInstrument& ask) {
    using namespace protocol;
    InstrumentConfig c;
    uint16_t setpointFormat = 0;
    auto take = [&c](const InstrumentConfig& values) {
        for (const auto& [key, value] : values) c[key] = value;
    };
    auto read = [&](const Request& request, int channel = 0) {
        if (const auto answer = ask(request))
            take(ConfigFromAnswer(request.command, channel, answer->bytes.data(), answer->length,
                                  protocol, setpointFormat));
        else
            take(AbsentKeys(request.command, channel));
    };
    // Nothing else is asked of an instrument that does not answer.
    const auto address = ask(Read(GetAdr));
    if (!address) return std::nullopt;
    take(ConfigFromAnswer(GetAdr, 0, address->bytes.data(), address->length, protocol, 0));
    c["protocol"] = std::string(protocol == Protocol::Qv ? "qv" : "modbus");
    read(Read(GetYear));
    read(Read(GetBright));
    read(Read(GetInfo));
    for (int n = 1; n <= 3; ++n) read(ReadParameter(n), n);
    read(Read(GetVersForUst1));
    if (const auto format = c["setpoint.format"]) {
        setpointFormat = uint16_t(IntegerValue(*format));
        read(Read(GetUst1));
        read(Read(GetUst2));
    } else {
        take(AbsentKeys(GetUst1, 0));
        take(AbsentKeys(GetUst2, 0));
    }
    c["speed.line1"] = std::nullopt;
    c["speed.line2"] = std::nullopt;
    read(Read(GetIEC));
    read(Read(GetSpeakerMode));
    read(ReadRelayParams());
    read(Read(GetRelayGist));
    return c;
}

}  // namespace config
