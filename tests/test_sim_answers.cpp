// The instrument's answers frame by frame, without a line: what each request gets back, that
// every item reads back what was written in both protocols, the framing of a byte stream and
// the fault plans.
#include <QtTest>

#include "sim/Answers.h"
#include "sim/Faults.h"
#include "sim/FrameSplitter.h"
#include "sim/InstrumentModel.h"

using namespace sim;

Q_DECLARE_METATYPE(sim::Protocol)

namespace {

// The instrument every frame row talks to: QV at address 1, Modbus at address 7; parameter 1
// scale 173.2, unit 1, point 2, value 12.5; parameter 2 value 10.0. `setup` adds flags:
// "three" (three parameters instead of two), "locked", "protected", "eight-bit" setpoints.
InstrumentState StandardState(Protocol protocol, const QString& setup) {
    InstrumentState s;
    s.protocol = protocol;
    s.address = protocol == Protocol::Qv ? 1 : 7;
    s.parameterCount = setup.contains("three") ? 3 : 2;
    s.parameters[0] = {173.2f, 1, 2, 12.5f, 0.0f, 10000};
    s.parameters[1] = {100.0f, 2, 1, 10.0f, 0.0f, 10000};
    s.year = 5;
    s.serialNumber = 0x2A;
    s.brightness = 1;
    s.upperSetpoint = -5;
    s.lowerSetpoint = 7;
    s.setpointFormat = setup.contains("eight-bit") ? 0 : kSixteenBitSetpoints;
    s.serialLocked = setup.contains("locked");
    s.writeProtected = setup.contains("protected");
    return s;
}

QString AnswerHex(InstrumentModel& model, const QString& requestHex) {
    return QString::fromStdString(ToHex(Answer(model, FromHex(requestHex.toStdString()))));
}

void AddFrameRow(const char* name, Protocol protocol, const char* setup, const char* request,
                 const char* answer) {
    QTest::newRow(name) << protocol << QString(setup) << QString(request) << QString(answer);
}

void AddRoundTrip(const char* name, Protocol protocol, const char* setup, const char* write,
                  const char* read, const char* answer) {
    QTest::newRow(name) << protocol << QString(setup) << QString(write) << QString(read)
                        << QString(answer);
}

bool IsPositiveAcknowledgement(Protocol protocol, const Bytes& answer) {
    if (!CrcOk(answer)) return false;
    if (protocol == Protocol::Modbus) return answer.size() == 8 && answer[1] < 0x80;
    return answer.size() == 6 && answer[3] == 0;
}

}  // namespace

class TestSimAnswers : public QObject {
    Q_OBJECT
private slots:
    void frames_data() {
        QTest::addColumn<Protocol>("protocol");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("answer");
        AddFrameRow("QV: GetAdr", Protocol::Qv, "", "01 00 4A A1 F7", "01 00 4A A1 F7");
        AddFrameRow("QV: GetPar of parameter 1", Protocol::Qv, "", "01 00 41 01 F0 48",
                    "01 00 41 43 2D 33 33 01 02 00 CB 67");
        AddFrameRow("QV: GetVal of parameter 1", Protocol::Qv, "", "01 00 40 01 F1 D8",
                    "01 00 40 41 48 00 00 00 A4 A8");
        AddFrameRow("QV: GetPar beyond the count", Protocol::Qv, "", "01 00 41 03 71 89",
                    "01 00 41 00 00 00 00 00 00 02 65 FF");
        AddFrameRow("QV: GetVal beyond the count", Protocol::Qv, "", "01 00 40 03 70 19",
                    "01 00 40 00 00 00 00 02 0E C6");
        AddFrameRow("QV: GetBright", Protocol::Qv, "", "01 00 43 61 F1", "01 00 43 01 F1 28");
        AddFrameRow("QV: GetYear", Protocol::Qv, "", "01 00 44 20 33",
                    "01 00 44 05 00 2A 02 65 A2");
        AddFrameRow("QV: GetUst1 as a signed byte", Protocol::Qv, "", "01 00 46 A1 F2",
                    "01 00 46 FB 72 3B");
        AddFrameRow("QV: GetVersForUst1 as the format byte", Protocol::Qv, "", "01 00 53 60 3D",
                    "01 00 53 C6 BD 7A");
        AddFrameRow("QV: GetIEC in register layout", Protocol::Qv, "", "01 00 48 00 37 D8",
                    "01 00 48 00 01 00 02 00 01 92 A4");
        AddFrameRow("QV: SetYear while the number is locked", Protocol::Qv, "locked",
                    "01 00 0F 05 00 2B 52 C0", "01 00 0F 0A 84 2F");
        AddFrameRow("QV: SetBright while write protected", Protocol::Qv, "protected",
                    "01 00 03 02 80 E9", "01 00 03 46 80 DA");
        AddFrameRow("QV: SetBright out of range", Protocol::Qv, "", "01 00 03 05 C1 2B",
                    "01 00 03 03 41 29");
        AddFrameRow("QV: search", Protocol::Qv, "", "FF 77 FF 00 00 00 D0 0B",
                    "01 00 FF 00 00 29 F0");
        AddFrameRow("QV: Modbus search stays unanswered", Protocol::Qv, "",
                    "FF 77 FF FF 00 01 21 FB", "");
        AddFrameRow("QV: another address", Protocol::Qv, "", "02 00 4A 51 F7", "");
        AddFrameRow("QV: switch to Modbus", Protocol::Qv, "", "00 00 FE 01 00 44 60",
                    "01 00 FE 00 41 B8");
        AddFrameRow("QV: switch for another instrument", Protocol::Qv, "", "00 00 FE 02 00 44 90",
                    "");
        AddFrameRow("QV: Modbus-only write of the signalling mode", Protocol::Qv, "",
                    "01 06 50 00 00 02 19 0B", "01 06 50 00 00 02 19 0B");
        AddFrameRow("Modbus: GetVal of parameter 2", Protocol::Modbus, "",
                    "07 03 00 04 00 02 85 AC", "07 03 04 00 00 41 20 AD BB");
        AddFrameRow("Modbus: SetBright 2 echoed", Protocol::Modbus, "", "07 06 03 EE 00 02 68 1C",
                    "07 06 03 EE 00 02 68 1C");
        AddFrameRow("Modbus: SetPar of parameter 3", Protocol::Modbus, "three",
                    "07 10 00 74 00 04 08 00 00 42 C8 00 02 00 01 0E 3A",
                    "07 10 00 74 00 04 81 B6");
        AddFrameRow("Modbus: SetPar beyond the count", Protocol::Modbus, "",
                    "07 10 00 74 00 04 08 00 00 42 C8 00 02 00 01 0E 3A", "07 90 02 2D C0");
        AddFrameRow("Modbus: GetPar beyond the count", Protocol::Modbus, "",
                    "07 03 00 74 00 04 04 75", "07 83 02 20 F0");
        AddFrameRow("Modbus: search", Protocol::Modbus, "", "FF 77 FF FF 00 01 21 FB",
                    "07 77 00 00 01 4B B4");
        AddFrameRow("Modbus: QV search stays unanswered", Protocol::Modbus, "",
                    "FF 77 FF 00 00 00 D0 0B", "");
        AddFrameRow("Modbus: unmapped register", Protocol::Modbus, "", "07 03 0B B8 00 01 06 6D",
                    "07 83 02 20 F0");
        AddFrameRow("Modbus: read of no registers", Protocol::Modbus, "", "07 03 00 00 00 00 45 AC",
                    "07 83 03 E1 30");
        AddFrameRow("Modbus: brightness out of range", Protocol::Modbus, "",
                    "07 06 03 EE 00 05 29 DE", "07 86 03 E2 60");
        AddFrameRow("Modbus: write while protected", Protocol::Modbus, "protected",
                    "07 06 03 EE 00 02 68 1C", "07 86 46 23 93");
        AddFrameRow("Modbus: serial number while locked", Protocol::Modbus, "locked",
                    "07 06 03 F0 00 01 48 1B", "07 86 46 23 93");
        AddFrameRow("Modbus: unknown function", Protocol::Modbus, "", "07 2B 0E 01 00 F8 77",
                    "07 AB 01 7E F1");
        AddFrameRow("Modbus: another address", Protocol::Modbus, "", "08 03 03 EA 00 01 A5 23", "");
        AddFrameRow("Modbus: switch to QV", Protocol::Modbus, "", "FF 76 07 00 00 00 DC AB",
                    "FF 76 07 00 00 9B 9D");
        AddFrameRow("Modbus: switch for another instrument", Protocol::Modbus, "",
                    "FF 76 08 00 00 00 DF BF", "");
        AddFrameRow("Modbus: setpoint format", Protocol::Modbus, "", "07 03 03 F4 00 01 C5 DA",
                    "07 03 02 02 C6 B1 76");
        AddFrameRow("Modbus: serial block", Protocol::Modbus, "", "07 03 03 E8 00 06 45 DE",
                    "07 03 0C 00 02 00 00 00 07 00 00 00 2A 00 05 89 C1");
        AddFrameRow("Modbus: setpoint written as 16 bits", Protocol::Modbus, "",
                    "07 06 50 04 FF 38 99 4F", "07 06 50 04 FF 38 99 4F");
        AddFrameRow("Modbus: setpoint beyond 230", Protocol::Modbus, "", "07 06 50 04 00 E7 99 27",
                    "07 86 03 E2 60");
    }
    void frames() {
        QFETCH(Protocol, protocol);
        QFETCH(QString, setup);
        QFETCH(QString, request);
        QFETCH(QString, answer);
        InstrumentModel model(StandardState(protocol, setup));
        QCOMPARE(AnswerHex(model, request), answer);
    }

    void writeThenReadBack_data() {
        QTest::addColumn<Protocol>("protocol");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("write");
        QTest::addColumn<QString>("read");
        QTest::addColumn<QString>("answer");
        AddRoundTrip("QV: SetPar then GetPar", Protocol::Qv, "",
                     "01 00 01 02 42 C8 00 00 02 01 ED 9C", "01 00 41 02 B0 49",
                     "01 00 41 42 C8 00 00 02 01 00 36 22");
        AddRoundTrip("QV: SetMode then GetMode", Protocol::Qv, "", "01 00 21 01 D8 48",
                     "01 00 61 E1 E8", "01 00 61 01 E9 88");
        AddRoundTrip("QV: SetBright then GetBright", Protocol::Qv, "", "01 00 03 02 80 E9",
                     "01 00 43 61 F1", "01 00 43 02 B1 29");
        AddRoundTrip("QV: SetInfo then GetInfo", Protocol::Qv, "",
                     "01 00 05 54 65 73 73 65 72 61 20 74 65 73 74 20 69 6E 73 74 72 75 6D 65 6E "
                     "74 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 "
                     "20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 2B 88",
                     "01 00 45 E1 F3",
                     "01 00 45 54 65 73 73 65 72 61 20 74 65 73 74 20 69 6E 73 74 72 75 6D 65 6E "
                     "74 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 "
                     "20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 1A 44");
        AddRoundTrip("QV: SetUst1 then GetUst1", Protocol::Qv, "", "01 00 06 9C 02 11",
                     "01 00 46 A1 F2", "01 00 46 9C 33 D1");
        AddRoundTrip("QV: SetUst2 then GetUst2", Protocol::Qv, "", "01 00 07 14 03 E7",
                     "01 00 47 60 32", "01 00 47 14 32 27");
        AddRoundTrip("QV: SetYear then GetYear", Protocol::Qv, "", "01 00 0F 07 12 34 BE 68",
                     "01 00 44 20 33", "01 00 44 07 12 34 03 0C 7F");
        AddRoundTrip("QV: SetNumberOfProduce then GetYear", Protocol::Qv, "",
                     "01 00 31 78 56 EA 31", "01 00 44 20 33", "01 00 44 05 56 78 03 79 12");
        AddRoundTrip("QV: SetYearMB then GetYear", Protocol::Qv, "", "01 00 32 0B 00 BF 3F",
                     "01 00 44 20 33", "01 00 44 0B 00 2A 03 A6 8A");
        AddRoundTrip("QV: SetAdr then GetAdr at the new address", Protocol::Qv, "",
                     "01 00 00 34 12 8F 0D", "34 12 4A BD 59", "34 12 4A BD 59");
        AddRoundTrip("Modbus: SetPar then GetPar", Protocol::Modbus, "",
                     "07 10 00 74 00 04 08 00 00 42 C8 00 02 00 01 0E 3A",
                     "07 03 00 74 00 04 04 75", "07 03 08 00 00 42 C8 00 02 00 01 05 AD");
        AddRoundTrip("Modbus: SetBright then GetBright", Protocol::Modbus, "",
                     "07 06 03 EE 00 00 E9 DD", "07 03 03 EE 00 01 E4 1D", "07 03 02 00 00 30 44");
        AddRoundTrip("Modbus: SetAdr then GetAdr at the new address", Protocol::Modbus, "",
                     "07 06 03 EA 00 09 68 1A", "09 03 03 EA 00 01 A4 F2", "09 03 02 00 09 99 83");
        AddRoundTrip("Modbus: SetInfo then GetInfo", Protocol::Modbus, "",
                     "07 10 04 4C 00 20 40 54 65 73 73 65 72 61 20 74 65 73 74 20 69 6E 73 74 72 "
                     "75 6D 65 6E 74 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 "
                     "20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 C4 A0",
                     "07 03 04 4C 00 20 84 93",
                     "07 03 40 54 65 73 73 65 72 61 20 74 65 73 74 20 69 6E 73 74 72 75 6D 65 6E "
                     "74 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 "
                     "20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 61 A0");
        AddRoundTrip("Modbus: SetUst1 in the 8-bit format", Protocol::Modbus, "eight-bit",
                     "07 10 00 C8 00 01 02 00 F6 1D FE", "07 03 00 C8 00 01 05 92",
                     "07 03 02 FF F6 F1 F2");
        AddRoundTrip("Modbus: SetUst2 in the 8-bit format", Protocol::Modbus, "eight-bit",
                     "07 10 00 CA 00 01 02 00 0C 9C 5F", "07 03 00 CA 00 01 A4 52",
                     "07 03 02 00 0C 30 41");
        AddRoundTrip("Modbus: SetUst11 read at 200", Protocol::Modbus, "",
                     "07 06 50 04 FF 38 99 4F", "07 03 00 C8 00 01 05 92", "07 03 02 FF 38 70 66");
        AddRoundTrip("Modbus: SetUst22 read at 202", Protocol::Modbus, "",
                     "07 06 50 06 00 E6 F9 27", "07 03 00 CA 00 01 A4 52", "07 03 02 00 E6 B1 CE");
        AddRoundTrip("Modbus: SetNumberOfProduce read at 1004", Protocol::Modbus, "",
                     "07 06 03 F0 12 34 84 AC", "07 03 03 EC 00 01 45 DD", "07 03 02 12 34 3D 33");
        AddRoundTrip("Modbus: SetYearMB read at 1005", Protocol::Modbus, "",
                     "07 06 03 F2 00 11 E8 17", "07 03 03 ED 00 01 14 1D", "07 03 02 00 11 F0 48");
        AddRoundTrip("Modbus: SetSpeed", Protocol::Modbus, "", "07 06 03 F6 00 08 68 1C",
                     "07 03 03 F6 00 01 64 1A", "07 03 02 00 08 31 82");
        AddRoundTrip("Modbus: SetSpeed2", Protocol::Modbus, "", "07 06 03 F8 00 02 89 D8",
                     "07 03 03 F8 00 01 05 D9", "07 03 02 00 02 B1 85");
        AddRoundTrip("Modbus: SetIEC then GetIEC", Protocol::Modbus, "",
                     "07 10 0A 00 00 04 08 00 02 00 03 00 02 00 0D 2F B7",
                     "07 03 0A 00 00 04 47 B7", "07 03 08 00 02 00 03 00 02 00 0D 8C 9A");
        AddRoundTrip("Modbus: SetSpeakerMode then GetSpeakerMode", Protocol::Modbus, "",
                     "07 06 50 00 00 03 D8 AD", "07 03 50 00 00 01 95 6C", "07 03 02 00 03 70 45");
        AddRoundTrip("Modbus: SetRelayParams of relay 1", Protocol::Modbus, "",
                     "07 10 02 2A 00 04 08 00 02 00 00 00 00 FF 9C CC C4",
                     "07 03 02 2A 00 08 64 1A",
                     "07 03 10 00 02 00 00 00 00 FF 9C 00 00 00 00 00 00 00 00 22 25");
        AddRoundTrip("Modbus: SetRelayParams of relay 2 read at 558", Protocol::Modbus, "",
                     "07 10 02 32 00 04 08 00 03 00 00 00 00 01 F4 BD AA",
                     "07 03 02 2A 00 08 64 1A",
                     "07 03 10 00 00 00 00 00 00 00 00 00 03 00 00 00 00 01 F4 5F C6");
        AddRoundTrip("Modbus: SetRelayGist of relay 1", Protocol::Modbus, "",
                     "07 10 02 3A 00 02 04 40 20 00 01 A2 E6", "07 03 02 3A 00 04 65 DA",
                     "07 03 08 00 01 40 20 00 00 00 00 14 98");
        AddRoundTrip("Modbus: SetRelayGist of relay 2 read at 572", Protocol::Modbus, "",
                     "07 10 02 3E 00 02 04 3F C0 00 02 FB 36", "07 03 02 3A 00 04 65 DA",
                     "07 03 08 00 00 00 00 00 02 3F C0 3B 3F");
    }
    void writeThenReadBack() {
        QFETCH(Protocol, protocol);
        QFETCH(QString, setup);
        QFETCH(QString, write);
        QFETCH(QString, read);
        QFETCH(QString, answer);
        InstrumentModel model(StandardState(protocol, setup + ",three"));
        const Bytes acknowledgement = Answer(model, FromHex(write.toStdString()));
        QVERIFY2(IsPositiveAcknowledgement(protocol, acknowledgement),
                 ToHex(acknowledgement).c_str());
        QCOMPARE(AnswerHex(model, read), answer);
    }

    // Items the line writes but no request reads back: checked on the model.
    void writeOnlyItemsReachTheModel() {
        InstrumentModel model(StandardState(Protocol::Qv, "three"));
        QCOMPARE(AnswerHex(model, "01 00 02 06 80 BA"),
                 QString("01 00 02 00 00 B8"));  // SetSpeed 6
        QCOMPARE(AnswerHex(model, "01 00 04 03 43 19"),
                 QString("01 00 04 00 03 18"));  // SetSpeed2 3
        const InstrumentState state = model.Snapshot();
        QCOMPARE(int(state.speedRs1), 6);
        QCOMPARE(int(state.speedRs2), 3);
    }

    void setAdrIsAcknowledgedFromTheOldAddress() {
        InstrumentModel model(StandardState(Protocol::Qv, ""));
        const Bytes ack = Answer(model, FromHex("01 00 00 34 12 8F 0D"));
        QCOMPARE(QString::fromStdString(ToHex(ack)).left(8), QString("01 00 00"));
        QCOMPARE(int(model.Address()), 0x1234);
    }

    void switchChangesTheProtocolSpoken_data() {
        QTest::addColumn<Protocol>("from");
        QTest::addColumn<QString>("switchRequest");
        QTest::addColumn<QString>("probeInNewProtocol");
        QTest::addColumn<QString>("probeInOldProtocol");
        QTest::newRow("QV to Modbus") << Protocol::Qv << "00 00 FE 01 00 44 60"
                                      << "FF 77 FF FF 00 01 21 FB"
                                      << "FF 77 FF 00 00 00 D0 0B";
        QTest::newRow("Modbus to QV") << Protocol::Modbus << "FF 76 07 00 00 00 DC AB"
                                      << "FF 77 FF 00 00 00 D0 0B"
                                      << "FF 77 FF FF 00 01 21 FB";
    }
    void switchChangesTheProtocolSpoken() {
        QFETCH(Protocol, from);
        QFETCH(QString, switchRequest);
        QFETCH(QString, probeInNewProtocol);
        QFETCH(QString, probeInOldProtocol);
        InstrumentModel model(StandardState(from, ""));
        QVERIFY(!AnswerHex(model, switchRequest).isEmpty());
        QVERIFY(model.SpokenProtocol() != from);
        QVERIFY(AnswerHex(model, probeInOldProtocol).isEmpty());
        const Bytes found = Answer(model, FromHex(probeInNewProtocol.toStdString()));
        QCOMPARE(int(found.size()), 7);
        QCOMPARE(int(found[0]), int(model.Address() & 0xFF));
        QCOMPARE(int(found[4]), from == Protocol::Qv ? 1 : 0);
    }

    // A write of several registers that fails on one of them changes nothing.
    void refusedMultiRegisterWriteChangesNothing() {
        InstrumentModel model(StandardState(Protocol::Modbus, "three"));
        // SetPar of parameter 1 with scale 100.0 but point code 5
        QCOMPARE(AnswerHex(model, "07 10 00 64 00 04 08 00 00 42 C8 00 02 00 05 CE 06"),
                 QString("07 90 03 EC 00"));
        QCOMPARE(model.Parameter(1).scale, 173.2f);
        QCOMPARE(int(model.Parameter(1).unitCode), 1);
    }

    void liveValueFollowsTheSine() {
        const MeasuredParameter drifting{1.0f, 1, 0, 50.0f, 2.0f, 1000};
        QCOMPARE(MeasuredValue(drifting, 0.0), 50.0f);
        QCOMPARE(MeasuredValue(drifting, 250.0), 52.0f);
        QCOMPARE(MeasuredValue(drifting, 750.0), 48.0f);
        const MeasuredParameter frozen{1.0f, 1, 0, 50.0f, 0.0f, 1000};
        QCOMPARE(MeasuredValue(frozen, 250.0), 50.0f);
    }

    void splitterCutsTheStream_data() {
        QTest::addColumn<Protocol>("protocol");
        QTest::addColumn<QStringList>("chunks");
        QTest::addColumn<QStringList>("frames");
        QTest::addColumn<int>("discards");
        QTest::newRow("two QV frames in one chunk")
            << Protocol::Qv << QStringList{"01 00 4A A1 F7 01 00 40 01 F1 D8"}
            << QStringList{"01 00 4A A1 F7", "01 00 40 01 F1 D8"} << 0;
        QTest::newRow("QV frame in three pieces")
            << Protocol::Qv << QStringList{"01", "00 40", "01 F1 D8"}
            << QStringList{"01 00 40 01 F1 D8"} << 0;
        QTest::newRow("bad CRC dropped, next frame kept")
            << Protocol::Qv << QStringList{"01 00 4A A1 F8", "01 00 4A A1 F7"}
            << QStringList{"01 00 4A A1 F7"} << 1;
        QTest::newRow("unknown QV code dropped")
            << Protocol::Qv << QStringList{"01 00 99 12 34"} << QStringList{} << 1;
        QTest::newRow("Modbus write of registers in pieces")
            << Protocol::Modbus
            << QStringList{"07 10 00 74 00", "04 08 00 00 42 C8 00 02", "00 01 0E 3A"}
            << QStringList{"07 10 00 74 00 04 08 00 00 42 C8 00 02 00 01 0E 3A"} << 0;
        QTest::newRow("Modbus-only write while QV is spoken")
            << Protocol::Qv << QStringList{"01 06 50 00 00 02 19 0B"}
            << QStringList{"01 06 50 00 00 02 19 0B"} << 0;
        QTest::newRow("QV search read as Modbus function 0x77")
            << Protocol::Modbus << QStringList{"FF 77 FF 00 00 00 D0 0B"}
            << QStringList{"FF 77 FF 00 00 00 D0 0B"} << 0;
    }
    void splitterCutsTheStream() {
        QFETCH(Protocol, protocol);
        QFETCH(QStringList, chunks);
        QFETCH(QStringList, frames);
        QFETCH(int, discards);
        FrameSplitter splitter;
        QStringList got;
        for (const QString& chunk : chunks) {
            const Bytes bytes = FromHex(chunk.toStdString());
            splitter.Append(bytes.data(), bytes.size());
            while (auto frame = splitter.Next(protocol))
                got << QString::fromStdString(ToHex(*frame));
        }
        QCOMPARE(got, frames);
        QCOMPARE(int(splitter.TakeDiscarded().size()), discards);
        QVERIFY(!splitter.Pending());
    }

    void splitterWaitsForSilence_data() {
        QTest::addColumn<Protocol>("protocol");
        QTest::addColumn<QString>("bytes");
        QTest::addColumn<QString>("frameAtSilence");
        QTest::newRow("incomplete QV frame dropped") << Protocol::Qv << "01 00 40 01"
                                                     << "";
        QTest::newRow("incomplete Modbus read dropped") << Protocol::Modbus << "07 03 00 04 00"
                                                        << "";
        QTest::newRow("unknown function with good CRC kept")
            << Protocol::Modbus << "07 2B 0E 01 00 F8 77"
            << "07 2B 0E 01 00 F8 77";
        QTest::newRow("unknown function with bad CRC dropped")
            << Protocol::Modbus << "07 2B 0E 01 00 F8 78"
            << "";
    }
    void splitterWaitsForSilence() {
        QFETCH(Protocol, protocol);
        QFETCH(QString, bytes);
        QFETCH(QString, frameAtSilence);
        FrameSplitter splitter;
        const Bytes data = FromHex(bytes.toStdString());
        splitter.Append(data.data(), data.size());
        QVERIFY(!splitter.Next(protocol));
        QVERIFY(splitter.Pending());
        const auto frame = splitter.OnSilence(protocol);
        QCOMPARE(frame ? QString::fromStdString(ToHex(*frame)) : QString(), frameAtSilence);
        QCOMPARE(int(splitter.TakeDiscarded().size()), frameAtSilence.isEmpty() ? 1 : 0);
        QVERIFY(!splitter.Pending());
    }

    void faultPlans_data() {
        QTest::addColumn<int>("cut");
        QTest::addColumn<int>("pieces");
        QTest::addColumn<bool>("badCrc");
        QTest::addColumn<QString>("trailing");
        QTest::addColumn<int>("exception");
        QTest::addColumn<QString>("onLine");
        QTest::newRow("cut by two") << 2 << 1 << false << "" << 0 << "07 03 04 00 00 41 20";
        QTest::newRow("three pieces") << 0 << 3 << false << "" << 0 << "07 03 04 00 00 41 20 AD BB";
        QTest::newRow("bad CRC") << 0 << 1 << true << "" << 0 << "07 03 04 00 00 41 20 AD 44";
        QTest::newRow("trailing bytes")
            << 0 << 1 << false << "AA 55" << 0 << "07 03 04 00 00 41 20 AD BB AA 55";
        QTest::newRow("exception") << 0 << 1 << false << "" << 0x46 << "07 83 46 20 C3";
    }
    void faultPlans() {
        QFETCH(int, cut);
        QFETCH(int, pieces);
        QFETCH(bool, badCrc);
        QFETCH(QString, trailing);
        QFETCH(int, exception);
        QFETCH(QString, onLine);
        FaultInjector injector;
        Faults faults;
        faults.cutBytes = cut;
        faults.pieces = pieces;
        faults.pieceGapMs = 7;
        faults.badCrc = badCrc;
        faults.trailing = FromHex(trailing.toStdString());
        faults.exception = uint8_t(exception);
        faults.count = 1;
        injector.Set(faults);
        const Bytes request = FromHex("07 03 00 04 00 02 85 AC");
        const Bytes answer = FromHex("07 03 04 00 00 41 20 AD BB");
        const Delivery first = injector.Plan(request, answer, Protocol::Modbus);
        QCOMPARE(int(first.pieces.size()), pieces);
        Bytes joined;
        for (size_t i = 0; i < first.pieces.size(); ++i) {
            QCOMPARE(first.pieces[i].pauseMs, i == 0 ? 0 : 7);
            joined.insert(joined.end(), first.pieces[i].bytes.begin(), first.pieces[i].bytes.end());
        }
        QCOMPARE(QString::fromStdString(ToHex(joined)), onLine);
        // count 1: the next answer is untouched
        const Delivery second = injector.Plan(request, answer, Protocol::Modbus);
        QCOMPARE(int(second.pieces.size()), 1);
        QCOMPARE(second.pieces[0].bytes, answer);
    }

    void randomFaultsRepeatForTheSameSeed() {
        Faults faults;
        faults.silenceChance = 0.05;
        faults.badCrcChance = 0.05;
        faults.seed = 2024;
        auto run = [&](FaultCounts& counts) {
            FaultInjector injector;
            injector.Set(faults);
            QString pattern;
            const Bytes answer = FromHex("01 00 4A A1 F7");
            for (int i = 0; i < 2000; ++i) {
                const Delivery d = injector.Plan(answer, answer, Protocol::Qv);
                pattern += d.pieces.empty() ? 's' : (d.pieces[0].bytes == answer ? '.' : 'c');
            }
            counts = injector.Counts();
            return pattern;
        };
        FaultCounts counts, againCounts;
        const QString first = run(counts);
        QCOMPARE(int(counts.silenced), int(first.count('s')));
        QCOMPARE(int(counts.badCrc), int(first.count('c')));
        QCOMPARE(run(againCounts), first);
        // 5 % each of 2000: far from 0 and from 2000 for any sane generator
        QVERIFY(first.count('s') > 40 && first.count('s') < 160);
        QVERIFY(first.count('c') > 40 && first.count('c') < 160);
    }
};

QTEST_APPLESS_MAIN(TestSimAnswers)
#include "test_sim_answers.moc"
