// The protocol core on its own: request frames of every command in both protocols, the
// answer checks, and every decoder fed with answers of both protocols. The Modbus answers are
// built here from the instrument's register map and go through the same rewrite as on the
// line, so a decoder and the rewrite are checked together. Frames are compared as hex.
#include <QtTest>
#include <cmath>
#include <limits>
#include <random>

#include "protocol/Answers.h"
#include "protocol/Cp1251.h"
#include "protocol/Crc.h"
#include "protocol/Decoders.h"
#include "protocol/ModbusFrames.h"
#include "protocol/NumberText.h"
#include "protocol/Requests.h"
#include "protocol/Units.h"

using namespace protocol;

Q_DECLARE_METATYPE(protocol::Request)
Q_DECLARE_METATYPE(protocol::Protocol)
Q_DECLARE_METATYPE(protocol::AnswerStatus)

namespace {

QByteArray Hex(const std::vector<uint8_t>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()))
        .toHex(' ')
        .toUpper();
}

// "07 00 4A" -> the bytes with their CRC appended.
std::vector<uint8_t> WithCrc(const QByteArray& hex) {
    const QByteArray body = QByteArray::fromHex(hex);
    std::vector<uint8_t> frame(body.begin(), body.end());
    frame.resize(frame.size() + 2);
    StoreCrc(frame.data(), uint16_t(frame.size()));
    return frame;
}

// A request with raw data bytes, for the frames no helper makes.
Request Raw(TListComand command, const char* hexData, std::optional<uint16_t> fixedAddress = {}) {
    const QByteArray data = QByteArray::fromHex(hexData);
    Request request;
    request.command = command;
    request.data.assign(data.begin(), data.end());
    request.fixedAddress = fixedAddress;
    return request;
}

// The Modbus answer to a read of `registers` from `address`.
std::vector<uint8_t> ModbusRead(uint8_t address, const std::vector<uint16_t>& registers) {
    std::vector<uint8_t> frame = {address, 0x03, uint8_t(2 * registers.size())};
    for (uint16_t r : registers) {
        frame.push_back(uint8_t(r >> 8));
        frame.push_back(uint8_t(r & 0xFF));
    }
    frame.resize(frame.size() + 2);
    StoreCrc(frame.data(), uint16_t(frame.size()));
    return frame;
}

// A float as two registers, the low-order word first (the instrument's read layout).
std::vector<uint16_t> FloatRegisters(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return {uint16_t(bits & 0xFFFF), uint16_t(bits >> 16)};
}

std::vector<uint16_t> Join(std::initializer_list<std::vector<uint16_t>> parts) {
    std::vector<uint16_t> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::vector<uint16_t> InfoRegisters(const std::string& cp1251) {
    std::string bytes = cp1251;
    bytes.resize(64, '\0');
    std::vector<uint16_t> registers;
    for (size_t i = 0; i < 64; i += 2)
        registers.push_back(uint16_t(uint8_t(bytes[i]) << 8 | uint8_t(bytes[i + 1])));
    return registers;
}

template <typename T>
QString Or(const std::optional<T>& value, const std::function<QString(const T&)>& text) {
    return value ? text(*value) : QStringLiteral("absent");
}

// Seven significant digits: what a single holds.
QString Number(double v) {
    return QString::number(v, 'g', 7);
}

// What the decoder of `command` finds in a checked answer, as one line of text.
QString Decoded(TListComand command, const Answer& answer, Protocol protocol, uint16_t format,
                int relay) {
    const uint8_t* a = answer.bytes.data();
    const int n = answer.length;
    switch (command) {
        case GetAdr:
            return Or<uint16_t>(DecodeAddress(a, n), [](auto v) { return QString::number(v); });
        case GetPar:
            return Or<ParameterSetup>(DecodeParameter(a, n), [](const ParameterSetup& v) {
                return QStringLiteral("scale %1 unit %2 point %3%4")
                    .arg(Number(v.scale))
                    .arg(v.unitCode)
                    .arg(v.pointCode)
                    .arg(v.exists ? "" : " missing");
            });
        case GetYear:
            return Or<SerialAndYear>(DecodeSerialAndYear(a, n), [](const SerialAndYear& v) {
                return QStringLiteral("%1 %2 %3")
                    .arg(QString::fromStdString(SerialNumberText(v)),
                         QString::fromStdString(YearText(v)))
                    .arg(v.parameterCount);
            });
        case GetBright:
            return Or<int>(DecodeBrightness(a, n), [](auto v) { return QString::number(v); });
        case GetInfo:
            return Or<std::string>(DecodeInfoText(a, n),
                                   [](auto v) { return QString::fromStdString(v); });
        case GetUst1:
        case GetUst2:
            return Or<int>(DecodeSetpoint(a, n, protocol, format),
                           [](auto v) { return QString::number(v); });
        case GetVersForUst1:
        case GetVersForUst2:
        case GetVersForUst11:
        case GetVersForUst22:
            return Or<uint16_t>(DecodeSetpointFormat(a, n, protocol),
                                [](auto v) { return QString::number(v); });
        case GetIEC:
            return Or<IecFraming>(DecodeIecFraming(a, n), [](const IecFraming& v) {
                return QStringLiteral("%1 %2 %3 type %4 (item %5)")
                    .arg(v.commonAddressSize)
                    .arg(v.objectAddressSize)
                    .arg(v.causeSize)
                    .arg(v.type)
                    .arg(IecTypeIndex(v.type));
            });
        case GetSpeakerMode:
            return Or<int>(DecodeAlarmMode(a, n), [](auto v) { return QString::number(v); });
        case GetRelayParams:
            return Or<RelayParams>(DecodeRelayParams(a, n, relay), [](const RelayParams& v) {
                return QStringLiteral("mode %1 delay %2").arg(v.mode).arg(v.delay);
            });
        case GetRelayGist:
            return Or<double>(DecodeRelayHysteresis(a, n, relay), [](auto v) { return Number(v); });
        case GetTypeProt:
            return Or<ProtocolAnswer>(DecodeProtocolAnswer(a, n), [](const ProtocolAnswer& v) {
                return QStringLiteral("%1 %2").arg(v.address).arg(
                    v.protocol == Protocol::Modbus ? "MB" : "QV");
            });
        case GetVal:
            return Or<Reading>(DecodeReading(a, n), [](const Reading& v) {
                return Number(v.value) + (v.exists ? "" : " missing");
            });
        default:
            return Or<uint8_t>(DecodeWriteResult(a, n),
                               [](auto v) { return QStringLiteral("result %1").arg(v); });
    }
}

// The window's own formatting of a fixed-point field, with Qt's conversions: the oracle the
// Qt-free formatting must agree with.
QString QtFixedText(double value, int decimals) {
    if (!std::isfinite(value)) return QString::number(value);
    const double rounded = QString::number(value, 'g', 8).toDouble();
    if (std::fabs(rounded) >= 1e8) return QString::number(rounded, 'E', 7);
    return QString::number(rounded, 'f', decimals);
}

}  // namespace

class TestProtocol : public QObject {
    Q_OBJECT

private slots:
    // Every command in both protocols, byte for byte as the window's request builder sends
    // it. The six Modbus-only writes are Modbus frames in QV too; SetYear, SetMode and
    // GetMode have no Modbus form and stay QV frames.
    void requestFrames_data() {
        QTest::addColumn<Request>("request");
        QTest::addColumn<int>("address");
        QTest::addColumn<Protocol>("protocol");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("lengthIn");
        auto row = [](const char* tag, const Request& request, int address, Protocol protocol,
                      const QByteArray& frame, int lengthIn) {
            QTest::newRow(tag) << request << address << protocol << frame << lengthIn;
        };
        const QByteArray spaces = QByteArray(59, ' ').toHex(' ').toUpper();
        row("QV SetInfo", WriteInfo("Щит 1"), 7, Protocol::Qv,
            "07 00 05 D9 E8 F2 20 31 " + spaces + " 30 E8", 6);
        row("MB SetInfo", WriteInfo("Щит 1"), 7, Protocol::Modbus,
            "07 10 04 4C 00 20 40 D9 E8 F2 20 31 " + spaces + " A7 48", 8);
        row("QV SetPar", WriteParameter(2, 173.2, 1, 2), 7, Protocol::Qv,
            "07 00 01 02 43 2D 33 33 01 02 FE 3E", 6);
        row("QV GetPar", ReadParameter(3), 7, Protocol::Qv, "07 00 41 03 71 01", 12);
        row("QV SetMode", WriteAnalogMode(1), 7, Protocol::Qv, "07 00 21 01 D8 C0", 6);
        row("QV GetMode", Read(GetMode), 7, Protocol::Qv, "07 00 61 01 E9", 6);
        row("QV GetVal", ReadValue(2), 7, Protocol::Qv, "07 00 40 02 B1 51", 10);
        row("QV SetBright", WriteBrightness(2), 7, Protocol::Qv, "07 00 03 02 80 61", 6);
        row("QV GetBright", Read(GetBright), 7, Protocol::Qv, "07 00 43 81 F0", 6);
        row("QV SetAdr", WriteAddress(300), 7, Protocol::Qv, "07 00 00 2C 01 4C C0", 6);
        row("QV GetAdr", Read(GetAdr), 7, Protocol::Qv, "07 00 4A 41 F6", 5);
        row("QV GetInfo", Read(GetInfo), 7, Protocol::Qv, "07 00 45 01 F2", 69);
        row("QV SetUst1", WriteSetpoint(true, -100, 0), 7, Protocol::Qv, "07 00 06 9C 02 99", 6);
        row("QV GetUst1", Read(GetUst1), 7, Protocol::Qv, "07 00 46 41 F3", 6);
        row("QV SetUst2", WriteSetpoint(false, 50, 0), 7, Protocol::Qv, "07 00 07 32 82 B5", 6);
        row("QV GetUst2", Read(GetUst2), 7, Protocol::Qv, "07 00 47 80 33", 6);
        row("QV GetYear", Read(GetYear), 7, Protocol::Qv, "07 00 44 C0 32", 9);
        row("QV SetYear", WriteSerialAndYearQv(24, 1234), 7, Protocol::Qv,
            "07 00 0F 18 04 D2 00 22", 6);
        row("QV SetNumberOfProduce", WriteSerialNumber(1234), 7, Protocol::Qv,
            "07 00 31 D2 04 9D 6C", 6);
        row("QV GetNumberOfProduce", Read(GetNumberOfProduce), 7, Protocol::Qv, "", 0);
        row("QV SetYearMB", WriteYear(24), 7, Protocol::Qv, "07 00 32 18 00 3A 0F", 6);
        row("QV GetTypeProt", Search(), 30719, Protocol::Qv, "FF 77 FF 00 00 00 D0 0B", 7);
        row("QV SetTypeProt 1 byte", SwitchProtocol(7, Protocol::Qv), 0, Protocol::Qv,
            "00 00 FE 07 00 47 C0", 6);
        row("QV SetTypeProt 4 bytes", Raw(SetTypeProt, "2C010000", SwitchAddress), 0, Protocol::Qv,
            "00 00 FE 2C 01 98 F0", 6);
        row("QV SetSpeed", WriteSpeed(1, 5), 7, Protocol::Qv, "07 00 02 05 C0 33", 6);
        row("QV GetSpeed", Read(GetSpeed), 7, Protocol::Qv, "", 0);
        row("QV SetSpeed2", WriteSpeed(2, 8), 7, Protocol::Qv, "07 00 04 08 02 56", 6);
        row("QV GetIEC", Read(GetIEC), 7, Protocol::Qv, "07 00 48 00 37 50", 11);
        row("QV SetIEC", WriteIecFraming({1, 2, 1, 9}), 7, Protocol::Qv,
            "07 10 0A 00 00 04 08 00 01 00 02 00 01 00 09 D0 B4", 8);
        row("QV GetSpeakerMode", Read(GetSpeakerMode), 7, Protocol::Qv, "07 00 50 C0 3D", 6);
        row("QV SetSpeakerMode", WriteAlarmMode(3), 7, Protocol::Qv, "07 06 50 00 00 03 D8 AD", 8);
        row("QV GetRelayParams", ReadRelayParams(), 7, Protocol::Qv,
            "07 00 51 00 00 00 00 00 00 00 00 00 00 00 00 00 00 53 7D", 6);
        row("QV GetRelayGist", Read(GetRelayGist), 7, Protocol::Qv,
            "07 00 52 00 00 00 00 00 00 5F 05", 6);
        row("QV SetRelayParams relay 1", WriteRelayParams(1, 2, 500), 7, Protocol::Qv,
            "07 10 02 2A 00 04 08 00 02 00 00 00 00 01 F4 8D 4A", 8);
        row("QV SetRelayParams relay 2", WriteRelayParams(2, 2, 500), 7, Protocol::Qv,
            "07 10 02 32 00 04 08 00 02 00 00 00 00 01 F4 AD 6A", 8);
        row("QV SetRelayGist relay 1", WriteRelayHysteresis(1, 1.5), 7, Protocol::Qv,
            "07 10 02 3A 00 02 04 3F C0 00 00 7B 04", 8);
        row("QV SetRelayGist relay 2", WriteRelayHysteresis(2, 1.5), 7, Protocol::Qv,
            "07 10 02 3E 00 02 04 3F C0 00 00 7A F7", 8);
        row("QV GetVersForUst1", Read(GetVersForUst1), 7, Protocol::Qv, "07 00 53 80 3C", 6);
        row("QV GetVersForUst2", Read(GetVersForUst2), 7, Protocol::Qv, "07 00 54 C1 FE", 6);
        row("QV GetVersForUst11", Read(GetVersForUst11), 7, Protocol::Qv, "07 00 55 00 3E", 6);
        row("QV GetVersForUst22", Read(GetVersForUst22), 7, Protocol::Qv, "07 00 56 40 3F", 6);
        row("QV SetUst11", WriteSetpoint(true, -200, 710), 7, Protocol::Qv,
            "07 06 50 04 FF 38 99 4F", 8);
        row("QV SetUst22", WriteSetpoint(false, 150, 710), 7, Protocol::Qv,
            "07 06 50 06 00 96 F8 C3", 8);
        row("QV GetVal to 258", ReadValue(3), 258, Protocol::Qv, "02 01 40 03 21 9D", 10);
        row("QV GetAdr to 300", Read(GetAdr), 300, Protocol::Qv, "2C 01 4A 30 6E", 5);
        row("MB SetPar", WriteParameter(2, 173.2, 1, 2), 7, Protocol::Modbus,
            "07 10 00 6C 00 04 08 33 33 43 2D 00 01 00 02 92 1E", 8);
        row("MB GetPar", ReadParameter(3), 7, Protocol::Modbus, "07 03 00 74 00 04 04 75", 13);
        row("MB SetMode", WriteAnalogMode(1), 7, Protocol::Modbus, "07 00 21 01 D8 C0", 6);
        row("MB GetMode", Read(GetMode), 7, Protocol::Modbus, "07 00 61 01 E9", 6);
        row("MB GetVal", ReadValue(2), 7, Protocol::Modbus, "07 03 00 04 00 02 85 AC", 9);
        row("MB SetBright", WriteBrightness(2), 7, Protocol::Modbus, "07 06 03 EE 00 02 68 1C", 8);
        row("MB GetBright", Read(GetBright), 7, Protocol::Modbus, "07 03 03 EE 00 01 E4 1D", 7);
        row("MB SetAdr", WriteAddress(300), 7, Protocol::Modbus, "07 06 03 EA 01 2C A8 51", 8);
        row("MB GetAdr", Read(GetAdr), 7, Protocol::Modbus, "07 03 03 EA 00 01 A5 DC", 7);
        row("MB GetInfo", Read(GetInfo), 7, Protocol::Modbus, "07 03 04 4C 00 20 84 93", 69);
        row("MB SetUst1", WriteSetpoint(true, -100, 0), 7, Protocol::Modbus,
            "07 10 00 C8 00 01 02 00 9C 9D D1", 8);
        row("MB GetUst1", Read(GetUst1), 7, Protocol::Modbus, "07 03 00 C8 00 01 05 92", 7);
        row("MB SetUst2", WriteSetpoint(false, 50, 0), 7, Protocol::Modbus,
            "07 10 00 CA 00 01 02 00 32 1D 8F", 8);
        row("MB GetUst2", Read(GetUst2), 7, Protocol::Modbus, "07 03 00 CA 00 01 A4 52", 7);
        row("MB GetYear", Read(GetYear), 7, Protocol::Modbus, "07 03 03 E8 00 06 45 DE", 17);
        row("MB SetYear", WriteSerialAndYearQv(24, 1234), 7, Protocol::Modbus,
            "07 00 0F 18 04 D2 00 22", 6);
        row("MB SetNumberOfProduce", WriteSerialNumber(1234), 7, Protocol::Modbus,
            "07 06 03 F0 04 D2 0B 46", 8);
        row("MB GetNumberOfProduce", Read(GetNumberOfProduce), 7, Protocol::Modbus,
            "07 06 03 EA 00 00 A8 1C", 8);
        row("MB SetYearMB", WriteYear(24), 7, Protocol::Modbus, "07 06 03 F2 00 18 28 11", 8);
        row("MB GetTypeProt", Search(), 30719, Protocol::Modbus, "FF 77 FF FF 00 01 21 FB", 7);
        row("MB SetTypeProt 1 byte", Raw(SetTypeProt, "07", SwitchAddress), 0, Protocol::Modbus,
            "FF 76 07 00 00 00 DC AB", 7);
        row("MB SetTypeProt 4 bytes", SwitchProtocol(300, Protocol::Modbus), 0, Protocol::Modbus,
            "FF 76 2C 01 00 00 84 8F", 7);
        row("MB SetSpeed", WriteSpeed(1, 5), 7, Protocol::Modbus, "07 06 03 F6 00 05 A9 D9", 8);
        row("MB GetSpeed", Read(GetSpeed), 7, Protocol::Modbus, "07 06 03 EA 00 00 A8 1C", 8);
        row("MB SetSpeed2", WriteSpeed(2, 8), 7, Protocol::Modbus, "07 06 03 F8 00 08 09 DF", 8);
        row("MB GetIEC", Read(GetIEC), 7, Protocol::Modbus, "07 03 0A 00 00 04 47 B7", 13);
        row("MB SetIEC", WriteIecFraming({1, 2, 1, 9}), 7, Protocol::Modbus,
            "07 10 0A 00 00 04 08 00 01 00 02 00 01 00 09 D0 B4", 8);
        row("MB GetSpeakerMode", Read(GetSpeakerMode), 7, Protocol::Modbus,
            "07 03 50 00 00 01 95 6C", 7);
        row("MB SetSpeakerMode", WriteAlarmMode(3), 7, Protocol::Modbus, "07 06 50 00 00 03 D8 AD",
            8);
        row("MB GetRelayParams", ReadRelayParams(), 7, Protocol::Modbus, "07 03 02 2A 00 08 64 1A",
            21);
        row("MB GetRelayGist", Read(GetRelayGist), 7, Protocol::Modbus, "07 03 02 3A 00 04 65 DA",
            13);
        row("MB SetRelayParams relay 1", WriteRelayParams(1, 2, 500), 7, Protocol::Modbus,
            "07 10 02 2A 00 04 08 00 02 00 00 00 00 01 F4 8D 4A", 8);
        row("MB SetRelayParams relay 2", WriteRelayParams(2, 2, 500), 7, Protocol::Modbus,
            "07 10 02 32 00 04 08 00 02 00 00 00 00 01 F4 AD 6A", 8);
        row("MB SetRelayGist relay 1", WriteRelayHysteresis(1, 1.5), 7, Protocol::Modbus,
            "07 10 02 3A 00 02 04 3F C0 00 00 7B 04", 8);
        row("MB SetRelayGist relay 2", WriteRelayHysteresis(2, 1.5), 7, Protocol::Modbus,
            "07 10 02 3E 00 02 04 3F C0 00 00 7A F7", 8);
        row("MB GetVersForUst1", Read(GetVersForUst1), 7, Protocol::Modbus,
            "07 03 03 F4 00 01 C5 DA", 7);
        row("MB GetVersForUst2", Read(GetVersForUst2), 7, Protocol::Modbus,
            "07 03 03 F4 00 01 C5 DA", 7);
        row("MB GetVersForUst11", Read(GetVersForUst11), 7, Protocol::Modbus,
            "07 03 03 F4 00 01 C5 DA", 7);
        row("MB GetVersForUst22", Read(GetVersForUst22), 7, Protocol::Modbus,
            "07 03 03 F4 00 01 C5 DA", 7);
        row("MB SetUst11", WriteSetpoint(true, -200, 710), 7, Protocol::Modbus,
            "07 06 50 04 FF 38 99 4F", 8);
        row("MB SetUst22", WriteSetpoint(false, 150, 710), 7, Protocol::Modbus,
            "07 06 50 06 00 96 F8 C3", 8);
        row("MB GetVal to 258", ReadValue(3), 258, Protocol::Modbus, "02 03 00 08 00 02 45 FA", 9);
        row("MB GetAdr to 300", Read(GetAdr), 300, Protocol::Modbus, "2C 03 03 EA 00 01 A3 C7", 7);
    }
    void requestFrames() {
        QFETCH(Request, request);
        QFETCH(int, address);
        QFETCH(Protocol, protocol);
        QFETCH(QByteArray, frame);
        QFETCH(int, lengthIn);
        const RequestFrame built = BuildRequest(request, uint16_t(address), protocol);
        QCOMPARE(Hex(built.bytes), frame);
        QCOMPARE(int(built.lengthIn), lengthIn);
        const bool modbusFrame = IsModbusOnlyWrite(request.command) ||
                                 (protocol == Protocol::Modbus && request.command != SetYear &&
                                  request.command != SetMode && request.command != GetMode);
        QCOMPARE(built.modbus, modbusFrame);
    }

    // Answer bytes -> decoded values, for every kind of answer. Modbus answers are built from
    // the register map and taken as on the line: checked, rewritten, decoded.
    void decoders_data() {
        QTest::addColumn<Request>("request");
        QTest::addColumn<Protocol>("protocol");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("format");  // setpoint format in force
        QTest::addColumn<int>("relay");
        QTest::addColumn<QString>("decoded");
        auto qv = [](const char* tag, const Request& request, const char* hexWithoutCrc,
                     const QString& decoded, int format = 0, int relay = 1) {
            const std::vector<uint8_t> answer = WithCrc(hexWithoutCrc);
            QTest::newRow(tag) << request << Protocol::Qv
                               << QByteArray(reinterpret_cast<const char*>(answer.data()),
                                             int(answer.size()))
                               << format << relay << decoded;
        };
        auto mb = [](const char* tag, const Request& request, const std::vector<uint8_t>& answer,
                     const QString& decoded, int format = 0, int relay = 1) {
            QTest::newRow(tag) << request << Protocol::Modbus
                               << QByteArray(reinterpret_cast<const char*>(answer.data()),
                                             int(answer.size()))
                               << format << relay << decoded;
        };
        const float scale = 173.2f;
        const std::string info = "\xD9\xE8\xF2 1";  // "Щит 1" in Windows-1251

        qv("QV address", Read(GetAdr), "07 00 4A", "7");
        qv("QV address above 255", Read(GetAdr), "2C 01 4A", "300");
        mb("MB address is the register's low byte", Read(GetAdr), ModbusRead(7, {300}), "44");

        qv("QV parameter", ReadParameter(1), "07 00 41 43 2D 33 33 01 02 00",
           "scale 173.2 unit 1 point 2");
        qv("QV parameter missing", ReadParameter(3), "07 00 41 00 00 00 00 00 00 02",
           "scale 0 unit 0 point 0 missing");
        mb("MB parameter 2", ReadParameter(2),
           ModbusRead(7, Join({FloatRegisters(scale), {12, 1}})), "scale 173.2 unit 12 point 1");

        qv("QV serial and year", Read(GetYear), "07 00 44 05 00 2A 03", "050042 2005 3");
        qv("QV serial above 9999", Read(GetYear), "07 00 44 17 FF FF 01", "2365535 2023 1");
        mb("MB serial and year", Read(GetYear), ModbusRead(7, {3, 7, 0, 0, 4660, 24}),
           "244660 2024 3");

        qv("QV brightness", Read(GetBright), "07 00 43 02", "2");
        qv("QV brightness wraps at 3", Read(GetBright), "07 00 43 04", "1");
        mb("MB brightness", Read(GetBright), ModbusRead(7, {2}), "2");

        qv("QV info", Read(GetInfo),
           ("07 00 45 " + QByteArray::fromStdString(info).toHex() + QByteArray(59 * 2, '0'))
               .constData(),
           "Щит 1");
        qv("QV info without zero byte", Read(GetInfo),
           ("07 00 45 " + QByteArray(64, 'A').toHex()).constData(), QString(64, 'A'));
        mb("MB info", Read(GetInfo), ModbusRead(7, InfoRegisters(info)), "Щит 1");

        qv("QV setpoint is the signed data byte", Read(GetUst1), "07 00 46 9C", "-100");
        mb("MB setpoint 16-bit", Read(GetUst1), ModbusRead(7, {0xFF38}), "-200", 710);
        mb("MB setpoint 8-bit reads the low byte", Read(GetUst2), ModbusRead(7, {0xFF38}), "56");
        mb("MB setpoint 8-bit negative", Read(GetUst2), ModbusRead(7, {0x00F6}), "-10");

        qv("QV setpoint format is one byte", Read(GetVersForUst1), "07 00 53 C6", "198");
        mb("MB setpoint format", Read(GetVersForUst22), ModbusRead(7, {710}), "710");

        mb("MB IEC framing", Read(GetIEC), ModbusRead(7, {1, 2, 1, 13}), "1 2 1 type 13 (item 1)");
        mb("MB IEC unknown type", Read(GetIEC), ModbusRead(7, {2, 3, 2, 7}),
           "2 3 2 type 7 (item -1)");
        qv("QV IEC answer is too short for the layout", Read(GetIEC), "07 00 48 00 01 00 02 00 01",
           "absent");

        mb("MB alarm mode", Read(GetSpeakerMode), ModbusRead(7, {3}), "3");
        qv("QV alarm mode answer is too short", Read(GetSpeakerMode), "07 00 50 00", "absent");

        const std::vector<uint16_t> relays = {2, 0, 0, 500, 4, 0, 0, uint16_t(-30)};
        mb("MB relay 1", ReadRelayParams(), ModbusRead(7, relays), "mode 2 delay 500", 0, 1);
        mb("MB relay 2", ReadRelayParams(), ModbusRead(7, relays), "mode 4 delay -30", 0, 2);
        qv("QV relays answer is too short", ReadRelayParams(), "07 00 51 00", "absent");

        const auto hysteresis = Join({FloatRegisters(scale), FloatRegisters(-2.25f)});
        mb("MB hysteresis relay 1", Read(GetRelayGist), ModbusRead(7, hysteresis), "173.2", 0, 1);
        mb("MB hysteresis relay 2", Read(GetRelayGist), ModbusRead(7, hysteresis), "-2.25", 0, 2);

        qv("QV search answered", Search(), "11 00 FF 00 00", "17 QV");
        mb("MB search answered", Search(), WithCrc("11 77 00 00 01"), "17 MB");

        qv("QV reading", ReadValue(1), "01 00 40 41 48 00 00 00", "12.5");
        qv("QV reading missing", ReadValue(2), "07 00 40 00 00 00 00 02", "0 missing");
        mb("MB reading of parameter 2", ReadValue(2), WithCrc("07 03 04 00 00 41 20"), "10");
        mb("MB reading negative", ReadValue(3), ModbusRead(7, FloatRegisters(-0.5f)), "-0.5");

        qv("QV write accepted", WriteBrightness(2), "07 00 03 00", "result 0");
        qv("QV serial refused", WriteSerialAndYearQv(24, 1), "07 00 0F 0A", "result 10");
        mb("MB write echo is an acknowledgement", WriteBrightness(2), WithCrc("07 06 03 EE 00 02"),
           "result 0");
        mb("MB multiple-register write", WriteParameter(3, 100, 2, 1), WithCrc("07 10 00 74 00 04"),
           "result 0");
    }
    void decoders() {
        QFETCH(Request, request);
        QFETCH(Protocol, protocol);
        QFETCH(QByteArray, answer);
        QFETCH(int, format);
        QFETCH(int, relay);
        QFETCH(QString, decoded);
        // The request goes to the address the answer comes from.
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(answer.constData());
        const uint16_t address =
            protocol == Protocol::Qv ? uint16_t(bytes[0] | bytes[1] << 8) : bytes[0];
        const RequestFrame frame = BuildRequest(request, address, protocol);
        const Answer taken = TakeAnswer(frame, bytes, answer.size());
        QVERIFY2(taken.Ok(), qPrintable(QStringLiteral("check %1").arg(int(taken.check.status))));
        QCOMPARE(Decoded(request.command, taken, protocol, uint16_t(format), relay), decoded);
    }

    // The Modbus answer rewritten into exactly the QV answer the interpretation expects.
    void modbusAnswerRewrite_data() {
        QTest::addColumn<Request>("request");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QByteArray>("qvAnswer");
        QTest::newRow("reading") << ReadValue(2) << Hex(WithCrc("07 03 04 00 00 41 20"))
                                 << QByteArray("07 00 40 41 20 00 00 00 38 E2");
        QTest::newRow("write echo") << WriteBrightness(2) << Hex(WithCrc("07 06 03 EE 00 02"))
                                    << QByteArray("07 00 03 00 01 A0");
        QTest::newRow("untranslated read stays")
            << Read(GetUst1) << Hex(WithCrc("07 03 02 FF 38")) << Hex(WithCrc("07 03 02 FF 38"));
    }
    void modbusAnswerRewrite() {
        QFETCH(Request, request);
        QFETCH(QByteArray, answer);
        QFETCH(QByteArray, qvAnswer);
        const QByteArray bytes = QByteArray::fromHex(answer);
        const Answer taken =
            TakeAnswer(BuildRequest(request, 7, Protocol::Modbus),
                       reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        QVERIFY(taken.Ok());
        QCOMPARE(Hex(std::vector<uint8_t>(taken.bytes.begin(), taken.bytes.begin() + taken.length)),
                 qvAnswer);
    }

    void modbusFrameSilence_data() {
        QTest::addColumn<int>("bitsPerSecond");
        QTest::addColumn<int>("microseconds");
        // 3.5 characters of 11 bits, rounded up; above 19200 bit/s a fixed 1750 us.
        QTest::newRow("1200") << 1200 << 32084;
        QTest::newRow("9600") << 9600 << 4011;
        QTest::newRow("19200") << 19200 << 2006;
        QTest::newRow("38400") << 38400 << 1750;
        QTest::newRow("115200") << 115200 << 1750;
        QTest::newRow("unknown speed") << 0 << 1750;
    }
    void modbusFrameSilence() {
        QFETCH(int, bitsPerSecond);
        QFETCH(int, microseconds);
        QCOMPARE(int(protocol::FrameSilenceMicroseconds(bitsPerSecond)), microseconds);
    }

    void answerChecks_data() {
        QTest::addColumn<Request>("request");
        QTest::addColumn<Protocol>("protocol");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<AnswerStatus>("status");
        QTest::addColumn<int>("exceptionCode");
        auto row = [](const char* tag, const Request& request, Protocol protocol,
                      const std::vector<uint8_t>& answer, AnswerStatus status, int code = 0) {
            QTest::newRow(tag) << request << protocol
                               << QByteArray(reinterpret_cast<const char*>(answer.data()),
                                             int(answer.size()))
                               << status << code;
        };
        auto cut = [](std::vector<uint8_t> bytes, size_t n) {
            bytes.resize(bytes.size() - n);
            return bytes;
        };
        auto flip = [](std::vector<uint8_t> bytes, size_t at) {
            bytes[at] ^= 0x01;
            return bytes;
        };
        auto plus = [](std::vector<uint8_t> bytes, std::vector<uint8_t> more) {
            bytes.insert(bytes.end(), more.begin(), more.end());
            return bytes;
        };
        const auto qvGood = WithCrc("07 00 43 02");
        const auto mbGood = ModbusRead(7, {2});
        row("QV good", Read(GetBright), Protocol::Qv, qvGood, AnswerStatus::Ok);
        row("QV trailing bytes ignored", Read(GetBright), Protocol::Qv, plus(qvGood, {0x55}),
            AnswerStatus::Ok);
        row("QV one byte short", Read(GetBright), Protocol::Qv, cut(qvGood, 1),
            AnswerStatus::Short);
        row("QV nothing", Read(GetBright), Protocol::Qv, {}, AnswerStatus::Short);
        row("QV bad CRC", Read(GetBright), Protocol::Qv, flip(qvGood, 5), AnswerStatus::BadCrc);
        row("QV data byte changed", Read(GetBright), Protocol::Qv, flip(qvGood, 3),
            AnswerStatus::BadCrc);
        row("QV other address", Read(GetBright), Protocol::Qv, WithCrc("08 00 43 02"),
            AnswerStatus::WrongAddress);
        row("QV address high byte differs", Read(GetBright), Protocol::Qv, WithCrc("07 01 43 02"),
            AnswerStatus::WrongAddress);
        row("QV search answered from the instrument's address", Search(), Protocol::Qv,
            WithCrc("11 00 FF 00 00"), AnswerStatus::Ok);
        row("MB good", Read(GetBright), Protocol::Modbus, mbGood, AnswerStatus::Ok);
        row("MB short", Read(GetBright), Protocol::Modbus, cut(mbGood, 2), AnswerStatus::Short);
        row("MB bad CRC", Read(GetBright), Protocol::Modbus, flip(mbGood, 6), AnswerStatus::BadCrc);
        row("MB other address", Read(GetBright), Protocol::Modbus, ModbusRead(8, {2}),
            AnswerStatus::WrongAddress);
        row("MB exception", ReadParameter(1), Protocol::Modbus, WithCrc("07 83 02"),
            AnswerStatus::Exception, 2);
        row("MB exception to a write", WriteBrightness(9), Protocol::Modbus, WithCrc("07 86 03"),
            AnswerStatus::Exception, 3);
        row("MB exception with bad CRC", ReadParameter(1), Protocol::Modbus,
            flip(WithCrc("07 83 02"), 4), AnswerStatus::BadCrc);
        row("MB exception from another address", ReadParameter(1), Protocol::Modbus,
            WithCrc("08 83 02"), AnswerStatus::Short);
        row("MB exception to another function", ReadParameter(1), Protocol::Modbus,
            WithCrc("07 86 02"), AnswerStatus::Short);
        row("QV Modbus-only write refused", WriteAlarmMode(3), Protocol::Qv, WithCrc("07 86 46"),
            AnswerStatus::Exception, 0x46);
        row("MB search from the instrument's address", Search(), Protocol::Modbus,
            WithCrc("11 77 00 00 01"), AnswerStatus::Ok);
    }
    void answerChecks() {
        QFETCH(Request, request);
        QFETCH(Protocol, protocol);
        QFETCH(QByteArray, answer);
        QFETCH(AnswerStatus, status);
        QFETCH(int, exceptionCode);
        const AnswerCheck check =
            CheckAnswer(BuildRequest(request, 7, protocol),
                        reinterpret_cast<const uint8_t*>(answer.constData()), answer.size());
        QCOMPARE(check.status, status);
        QCOMPARE(int(check.exceptionCode), exceptionCode);
    }

    void exceptionTexts() {
        QCOMPARE(QString::fromUtf8(ExceptionText(2)), QStringLiteral("Несуществующий параметр"));
        QCOMPARE(QString::fromUtf8(ExceptionText(3)),
                 QStringLiteral("Неверное значение параметра"));
        QCOMPARE(QString::fromUtf8(ExceptionText(0x46)), QStringLiteral("Аппаратная защита"));
        QVERIFY(!ExceptionText(1));
        QVERIFY(ExceptionIsReported(2, GetPar));
        QVERIFY(!ExceptionIsReported(2, GetVal));
        QVERIFY(ExceptionIsReported(3, GetVal));
        QVERIFY(!ExceptionIsReported(4, GetPar));
    }

    // The Qt-free formatting against Qt's, which the window uses: exact halves round away
    // from zero, binary noise is rounded away at eight digits, large values go scientific.
    void fixedText_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("decimals");
        const std::pair<double, int> cases[] = {
            {173.2f, 1},       {173.2f, 2},        {0.125, 2},
            {2.5, 0},          {12.5, 0},          {-2.5, 0},
            {0.15, 1},         {-0.0, 2},          {-0.001, 2},
            {-0.005, 2},       {1234567.5, 0},     {99999999.5, 2},
            {123456789.0, 3},  {-9.99999999e9, 1}, {1e-20, 3},
            {0.1f, 3},         {5e-324, 2},        {std::numeric_limits<double>::infinity(), 2},
            {std::nan(""), 1}, {3.0, -4},          {1.0 / 3, 40}};
        for (const auto& [value, decimals] : cases)
            QTest::addRow("%.17g/%d", value, decimals) << value << decimals;
    }
    void fixedText() {
        QFETCH(double, value);
        QFETCH(int, decimals);
        const int clamped = std::clamp(decimals, 0, 18);
        QCOMPARE(QString::fromStdString(FixedText(value, decimals)), QtFixedText(value, clamped));
    }
    // Many singles, as the instrument sends them, with the decimals the page uses.
    void fixedTextAgreesOnSingles() {
        std::mt19937 random(11);
        std::uniform_int_distribution<uint32_t> bits;
        for (int i = 0; i < 20000; ++i) {
            uint32_t word = bits(random);
            if (i % 2) word = (word & 0x807FFFFF) | (uint32_t(120 + i % 40) << 23);  // 1e-3..1e9
            float single;
            std::memcpy(&single, &word, sizeof single);
            const int decimals = i % 4;
            const QString expected = QtFixedText(single, decimals);
            const QString actual = QString::fromStdString(FixedText(single, decimals));
            if (actual != expected)
                QFAIL(qPrintable(QStringLiteral("%1 with %2 decimals: %3, Qt %4")
                                     .arg(double(single), 0, 'g', 17)
                                     .arg(decimals)
                                     .arg(actual, expected)));
        }
    }

    void panelText_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("pointCode");
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QString>("reading");
        QTest::newRow("12.5, point code 2") << 12.5 << 2 << "  12.5"
                                            << "12.5";
        QTest::newRow("negative below one") << -0.5 << 2 << "-  0.5"
                                            << "-0.5";
        QTest::newRow("rounded half up") << 1.2345 << 0 << " 1.235"
                                         << "1.235";
        QTest::newRow("under the half") << 0.00049 << 0 << " 0.000"
                                        << "0.000";
        QTest::newRow("the half") << 0.0005 << 0 << " 0.001"
                                  << "0.001";
        QTest::newRow("no decimals") << 230.4 << 3 << "  230."
                                     << "230.";
        QTest::newRow("capped") << 123456.0 << 3 << " 9999."
                                << "9999.";
        QTest::newRow("infinity is capped")
            << std::numeric_limits<double>::infinity() << 1 << " 99.99"
            << "99.99";
        QTest::newRow("NaN") << std::nan("") << 2 << " ---.-"
                             << "---.-";
        QTest::newRow("point code without a point") << 7.0 << 5 << "    7"
                                                    << "7";
    }
    void panelText() {
        QFETCH(double, value);
        QFETCH(int, pointCode);
        QFETCH(QString, panel);
        QFETCH(QString, reading);
        QCOMPARE(QString::fromStdString(PanelText(value, uint8_t(pointCode))), panel);
        QCOMPARE(QString::fromStdString(ReadingText(value, uint8_t(pointCode))), reading);
    }

    void cp1251() {
        std::string all;
        for (int b = 0; b < 256; ++b) all += char(b);
        const std::string utf8 = FromCp1251(all);
        QCOMPARE(QString::fromStdString(FromCp1251("\xD9\xE8\xF2 \xA8\xB8\xB9")),
                 QStringLiteral("Щит Ёё№"));
        std::string back = ToCp1251(utf8);
        QCOMPARE(back.size(), all.size());
        back[0x98] = char(0x98);  // the one byte without a character comes back as "?"
        QCOMPARE(back, all);
        QCOMPARE(ToCp1251(FromCp1251("\x98")), std::string("?"));
        // Characters the code page lacks and broken UTF-8: one "?" each.
        QCOMPARE(ToCp1251("a\xE2\x82\xACz"), std::string("a\x88z"));  // the euro sign
        QCOMPARE(ToCp1251("\xE4\xB8\xAD|\xF0\x9F\x98\x80|"), std::string("?|?|"));
        QCOMPARE(ToCp1251("\xC3|\xD0"), std::string("?|?"));
        QCOMPARE(ToCp1251("\xC0\x80|\xED\xA0\x80"), std::string("??|???"));
    }

    void infoTextWrite() {
        const Request request = WriteInfo("Щит 1");
        QCOMPARE(request.data.size(), size_t(InfoTextBytes));
        QCOMPARE(request.data[0], uint8_t(0xD9));
        QCOMPARE(request.data[63], uint8_t(' '));
        const Request longText = WriteInfo(std::string(70, 'x') + "Ж");
        QCOMPARE(longText.data.size(), size_t(InfoTextBytes));
        QCOMPARE(longText.data.back(), uint8_t('x'));
    }

    void units() {
        QCOMPARE(QString::fromStdString(UnitName(1)), QStringLiteral("V"));
        QCOMPARE(QString::fromStdString(UnitName(13)), QStringLiteral("Hz"));
        QCOMPARE(QString::fromStdString(UnitName(21)), QStringLiteral("%"));
        QCOMPARE(QString::fromStdString(UnitName(0)), QString());
        QCOMPARE(QString::fromStdString(UnitName(26)), QString());
    }

    void writeHelpers() {
        QCOMPARE(ScalePointCode("173.2"), 2);
        QCOMPARE(ScalePointCode("1.5"), 0);
        QCOMPARE(ScalePointCode("100"), 3);
        QVERIFY(SetpointInRange(230) && SetpointInRange(-230));
        QVERIFY(!SetpointInRange(231) && !SetpointInRange(-231));
        QVERIFY(SwitchAddressValid(247, Protocol::Qv));
        QVERIFY(!SwitchAddressValid(248, Protocol::Qv));
        QVERIFY(SwitchAddressValid(300, Protocol::Modbus));
        QVERIFY(!SwitchAddressValid(0, Protocol::Modbus));
        QVERIFY(!SwitchAddressValid(65001, Protocol::Modbus));
        for (int code = 1; code <= 8; ++code) QCOMPARE(SpeedCode(SpeedOfCode(code)), code);
        QCOMPARE(SpeedCode(9600), 4);
        QCOMPARE(SpeedCode(14400), 0);
        for (int index = 0; index < 3; ++index) QCOMPARE(IecTypeIndex(IecTypeByte(index)), index);
    }

    void commandNames() {
        for (int i = 0; i < CommandCount; ++i) {
            TListComand back = SetPar;
            QVERIFY(CommandFromName(CommandName(TListComand(i)), back));
            QCOMPARE(int(back), i);
        }
        QCOMPARE(QString(CommandName(GetVal)), QStringLiteral("GetVal"));
        TListComand unused;
        QVERIFY(!CommandFromName("getval", unused));
    }
};

QTEST_APPLESS_MAIN(TestProtocol)
#include "test_protocol.moc"
