#include "config/ConfigWrites.h"

#include "config/ConfigError.h"

namespace config {

using protocol::Protocol;

WriteRequests RequestsOf(const PlannedWrite& w, Protocol protocol, uint16_t address) {
    const std::string& g = w.group;
    WriteRequests out;
    std::vector<protocol::Request>& r = out.requests;
    switch (w.kind) {
        case WriteKind::Parameter:
            r.push_back(protocol::WriteParameter(w.index, w.Number(g + ".scale"),
                                                 uint8_t(w.Integer(g + ".unit")),
                                                 uint8_t(w.Integer(g + ".point"))));
            break;
        case WriteKind::Info:
            r.push_back(protocol::WriteInfo(w.Text("info")));
            break;
        case WriteKind::Brightness:
            r.push_back(protocol::WriteBrightness(int(w.Integer("brightness"))));
            break;
        case WriteKind::Setpoint:
            // As on the parameter page: any value within -230..230 goes out; in the 8-bit
            // format only its low byte travels, and a read-back shows what the instrument took.
            r.push_back(protocol::WriteSetpoint(w.index == 1, int(w.Integer(g)),
                                                uint16_t(w.Integer("setpoint.format"))));
            break;
        case WriteKind::Iec:
            r.push_back(protocol::WriteIecFraming(w.IecFraming()));
            break;
        case WriteKind::Alarm:
            r.push_back(protocol::WriteAlarmMode(int(w.Integer("alarm.mode"))));
            break;
        case WriteKind::RelayParams:
            r.push_back(protocol::WriteRelayParams(w.index, uint8_t(w.Integer(g + ".mode")),
                                                   int16_t(w.Integer(g + ".delay"))));
            break;
        case WriteKind::RelayHysteresis:
            r.push_back(protocol::WriteRelayHysteresis(w.index, w.Number(g + ".hysteresis")));
            break;
        case WriteKind::Serial: {
            const int number = int(w.Integer("serial.number"));
            const int year = int(w.Integer("serial.year") - 2000);
            if (protocol == Protocol::Qv) {
                r.push_back(protocol::WriteSerialAndYearQv(year, number));
            } else {
                r.push_back(protocol::WriteSerialNumber(number));
                r.push_back(protocol::WriteYear(year));
            }
            break;
        }
        case WriteKind::Speed:
            r.push_back(protocol::WriteSpeed(w.index, protocol::SpeedCode(int32_t(w.Integer(g)))));
            break;
        case WriteKind::Address:
            out.newAddress = uint16_t(w.Integer("address"));
            r.push_back(protocol::WriteAddress(*out.newAddress));
            break;
        case WriteKind::Protocol:
            if (!protocol::SwitchAddressValid(address, protocol))
                throw ConfigError(ConfigError::Reason::Invalid,
                                  "the protocol switch needs an address within 1.." +
                                      std::to_string(protocol::HighestModbusAddress),
                                  0, "protocol");
            r.push_back(protocol::SwitchProtocol(address, protocol));
            out.newProtocol = protocol == Protocol::Qv ? Protocol::Modbus : Protocol::Qv;
            break;
    }
    return out;
}

bool MovesOnTheLine(const PlannedWrite& w) {
    return w.kind == WriteKind::Address || w.kind == WriteKind::Protocol ||
           w.kind == WriteKind::Speed;
}

std::string WriteName(const PlannedWrite& w) {
    switch (w.kind) {
        case WriteKind::Parameter:
            return "param";
        case WriteKind::Info:
            return "info";
        case WriteKind::Brightness:
            return "brightness";
        case WriteKind::Setpoint:
            return w.index == 1 ? "setpoint.upper" : "setpoint.lower";
        case WriteKind::Iec:
            return "iec";
        case WriteKind::Alarm:
            return "alarm";
        case WriteKind::RelayParams:
            return "relay";
        case WriteKind::RelayHysteresis:
            return "relay.hysteresis";
        case WriteKind::Serial:
            return "serial";
        case WriteKind::Speed:
            return "speed";
        case WriteKind::Address:
            return "address";
        case WriteKind::Protocol:
            return "protocol";
    }
    return std::string();
}

}  // namespace config
