// Request frames of every command in both protocols, and the Modbus answer rewrite, byte for
// byte. No port: the frames are built into RequestBuffer and compared as hex.
#include <QtTest>
#include <cstring>

#include "exchange/Thread1.h"
#include "exchange/mb.h"
#include "exchange/typeCMD.h"
#include "protocol/Crc.h"

namespace {

struct RelayOnly : TQueryTarget {
    int relay = 0;
    TSerialPort* QueryPort() override { return nullptr; }
    void ArmAnswerTimeout() override {}
    int SelectedRelay() override { return relay; }
};

QByteArray Hex(const uint8_t* bytes, int length) {
    return QByteArray(reinterpret_cast<const char*>(bytes), length).toHex(' ').toUpper();
}

QByteArray Request() {
    return Hex(RequestBuffer, CurrentQuery->LengthOut);
}

QByteArray WithCrcHex(const QByteArray& hexBody) {
    QByteArray body = QByteArray::fromHex(hexBody);
    body.resize(body.size() + 2);
    StoreCrc(reinterpret_cast<uint8_t*>(body.data()), uint16_t(body.size()));
    return body.toHex(' ').toUpper();
}

}  // namespace

class TestFrames : public QObject {
    Q_OBJECT
    RelayOnly target;

private slots:
    void initTestCase() {
        FillCommandTable();
        CurrentQuery = new TQuery;
        QueryTarget = &target;
    }
    void cleanupTestCase() {
        QueryTarget = nullptr;
        delete CurrentQuery;
        CurrentQuery = nullptr;
    }

    void commandTable() {
        QCOMPARE(int(CommandTable[GetNumberOfProduce].Code), 0);
        QCOMPARE(int(CommandTable[GetSpeed].LengthOut), 0);
        QCOMPARE(int(CommandTable[SetIEC].LengthIn), 0);
        QCOMPARE(int(CommandTable[SetUst11].Code), 0x57);
        QCOMPARE(int(CommandTable[SetUst22].LengthOut), 6);
        QCOMPARE(int(CommandTable[GetInfo].LengthIn), 69);
        QCOMPARE(int(CommandTable[SetInfo].LengthOut), 69);
        QCOMPARE(int(SetUst22), 38);
    }

    // name, address, protocol (0 QV / 1 Modbus), relay, pushed bytes, frame, answer length
    void requestFrames_data() {
        QTest::addColumn<int>("name");
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("modbus");
        QTest::addColumn<int>("relay");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("lengthIn");
        auto row = [](const char* tag, TListComand n, int adr, int mb, int relay, const char* data,
                      QByteArray frame, int in) {
            QTest::newRow(tag) << int(n) << adr << mb << relay << QByteArray::fromHex(data) << frame
                               << in;
        };
        row("QV GetAdr to 5", GetAdr, 5, 0, 0, "", "05 00 4A E0 36", 5);
        row("QV GetVal(2) to 0x0102", GetVal, 0x0102, 0, 0, "02", "02 01 40 02 E0 5D", 10);
        row("QV search", GetTypeProt, 0x77FF, 0, 0, "", "FF 77 FF 00 00 00 D0 0B", 7);
        row("QV GetPar(1)", GetPar, 1, 0, 0, "01", "01 00 41 01 F0 48", 12);
        row("QV GetVal(1)", GetVal, 1, 0, 0, "01", "01 00 40 01 F1 D8", 10);
        row("QV GetIEC pushes nothing", GetIEC, 1, 0, 0, "", WithCrcHex("010048 00"), 11);
        row("QV SetInfo is 69 bytes", SetInfo, 1, 0, 0, QByteArray(64, 'A').toHex().constData(),
            WithCrcHex("010005" + QByteArray(64, 'A').toHex()), 6);
        row("QV SetYear", SetYear, 1, 0, 0, "1704D2", WithCrcHex("01000F 17 04 D2"), 6);
        row("QV switch keeps two data bytes", SetTypeProt, 0, 0, 0, "07",
            WithCrcHex("0000FE 07 00"), 6);
        row("QV SetRelayGist relay 2 is Modbus", SetRelayGist, 7, 0, 1, "3F800000",
            WithCrcHex("07 10 02 3E 00 02 04 3F 80 00 00"), 8);
        row("QV SetRelayParams relay 1", SetRelayParams, 7, 0, 0, "0002000A",
            WithCrcHex("07 10 02 2A 00 04 08 00 02 00 00 00 00 00 0A"), 8);
        row("no relay chosen writes relay 1", SetRelayParams, 7, 0, -1, "0001000A",
            WithCrcHex("07 10 02 2A 00 04 08 00 01 00 00 00 00 00 0A"), 8);
        row("SetIEC", SetIEC, 7, 0, 0, "000100010001000D",
            WithCrcHex("07 10 0A 00 00 04 08 00 01 00 01 00 01 00 0D"), 8);
        row("SetSpeakerMode", SetSpeakerMode, 7, 1, 0, "0003", WithCrcHex("07 06 50 00 00 03"), 8);
        row("SetUst11", SetUst11, 7, 0, 0, "FF38", WithCrcHex("07 06 50 04 FF 38"), 8);
        row("SetUst22", SetUst22, 7, 1, 0, "0064", WithCrcHex("07 06 50 06 00 64"), 8);
        row("MB GetVal(2) to 7", GetVal, 7, 1, 0, "02", "07 03 00 04 00 02 85 AC", 9);
        row("MB SetBright 2", SetBright, 7, 1, 0, "02", "07 06 03 EE 00 02 68 1C", 8);
        row("MB search ignores the address", GetTypeProt, 0x1234, 1, 0, "",
            "FF 77 FF FF 00 01 21 FB", 7);
        row("MB SetPar(3)", SetPar, 7, 1, 0, "0342C800000201",
            "07 10 00 74 00 04 08 00 00 42 C8 00 02 00 01 0E 3A", 8);
        row("MB SetAdr", SetAdr, 7, 1, 0, "0900", WithCrcHex("07 06 03 EA 00 09"), 8);
        row("MB SetSpeed", SetSpeed, 7, 1, 0, "05", WithCrcHex("07 06 03 F6 00 05"), 8);
        row("MB SetSpeed2", SetSpeed2, 7, 1, 0, "08", WithCrcHex("07 06 03 F8 00 08"), 8);
        row("MB SetUst1", SetUst1, 7, 1, 0, "9C", WithCrcHex("07 10 00 C8 00 01 02 00 9C"), 8);
        row("MB SetUst2", SetUst2, 7, 1, 0, "0A", WithCrcHex("07 10 00 CA 00 01 02 00 0A"), 8);
        row("MB SetNumberOfProduce", SetNumberOfProduce, 7, 1, 0, "D204",
            WithCrcHex("07 06 03 F0 04 D2"), 8);
        row("MB SetYearMB", SetYearMB, 7, 1, 0, "1700", WithCrcHex("07 06 03 F2 00 17"), 8);
        row("MB GetPar(2)", GetPar, 7, 1, 0, "02", WithCrcHex("07 03 00 6C 00 04"), 13);
        row("MB GetBright", GetBright, 7, 1, 0, "", WithCrcHex("07 03 03 EE 00 01"), 7);
        row("MB GetYear", GetYear, 7, 1, 0, "", WithCrcHex("07 03 03 E8 00 06"), 17);
        row("MB GetInfo", GetInfo, 7, 1, 0, "", WithCrcHex("07 03 04 4C 00 20"), 69);
        row("MB GetUst1", GetUst1, 7, 1, 0, "", WithCrcHex("07 03 00 C8 00 01"), 7);
        row("MB GetUst2", GetUst2, 7, 1, 0, "", WithCrcHex("07 03 00 CA 00 01"), 7);
        row("MB GetIEC", GetIEC, 7, 1, 0, "", WithCrcHex("07 03 0A 00 00 04"), 13);
        row("MB GetAdr", GetAdr, 7, 1, 0, "", WithCrcHex("07 03 03 EA 00 01"), 7);
        row("MB GetSpeakerMode", GetSpeakerMode, 7, 1, 0, "", WithCrcHex("07 03 50 00 00 01"), 7);
        row("MB GetRelayParams", GetRelayParams, 7, 1, 0, "", WithCrcHex("07 03 02 2A 00 08"), 21);
        row("MB GetRelayGist", GetRelayGist, 7, 1, 0, "", WithCrcHex("07 03 02 3A 00 04"), 13);
        row("MB GetVersForUst22", GetVersForUst22, 7, 1, 0, "", WithCrcHex("07 03 03 F4 00 01"), 7);
        row("MB switch to QV, address 300", SetTypeProt, 0, 1, 0, "2C010000",
            WithCrcHex("FF 76 2C 01 00 00"), 7);
    }
    void requestFrames() {
        QFETCH(int, name);
        QFETCH(int, address);
        QFETCH(int, modbus);
        QFETCH(int, relay);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, frame);
        QFETCH(int, lengthIn);
        ProtocolIsModbus = uint8_t(modbus);
        target.relay = relay;
        CurrentQuery->Adr = uint16_t(address);
        CurrentQuery->SetName(TListComand(name));
        for (char c : data) CurrentQuery->Push(uint8_t(c));
        CurrentQuery->BuildFrame();
        QCOMPARE(Request(), frame);
        QCOMPARE(int(CurrentQuery->LengthIn), lengthIn);
    }

    void setNameStartsAgain() {
        ProtocolIsModbus = 0;
        CurrentQuery->Adr = 1;
        CurrentQuery->SetName(GetVal);
        CurrentQuery->Push(3);
        CurrentQuery->SetName(GetVal);
        CurrentQuery->Push(1);
        CurrentQuery->BuildFrame();
        QCOMPARE(Request(), QByteArray("01 00 40 01 F1 D8"));
    }

    // command, request data, Modbus answer, QV answer after the rewrite
    void answerRewrite_data() {
        QTest::addColumn<int>("name");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QByteArray>("rewritten");
        auto row = [](const char* tag, TListComand n, const char* data, const QByteArray& answer,
                      const QByteArray& rewritten) {
            QTest::newRow(tag) << int(n) << QByteArray::fromHex(data) << answer << rewritten;
        };
        row("GetVal 10.0", GetVal, "02", "07 03 04 00 00 41 20 AD BB",
            "07 00 40 41 20 00 00 00 38 E2");
        row("SetBright echo", SetBright, "02", "07 06 03 EE 00 02 68 1C", "07 00 03 00 01 A0");
        row("GetPar", GetPar, "01", WithCrcHex("07 03 08 33 33 43 2D 00 01 00 02"),
            WithCrcHex("07 00 41 43 2D 33 33 01 02 00"));
        row("GetYear", GetYear, "", WithCrcHex("07 03 0C 00 03 00 00 00 07 00 00 04 D2 00 17"),
            WithCrcHex("07 00 44 17 04 D2 03"));
        row("GetAdr takes the register", GetAdr, "", WithCrcHex("07 03 02 00 09"),
            WithCrcHex("09 00 4A"));
        row("GetBright", GetBright, "", WithCrcHex("07 03 02 00 02"), WithCrcHex("07 00 43 02"));
        row("search", GetTypeProt, "", WithCrcHex("11 77 00 00 01"), WithCrcHex("11 00 FF 00 01"));
        row("SetIEC acknowledged", SetIEC, "0001000100010009", WithCrcHex("07 10 0A 00 00 04"),
            WithCrcHex("07 00 00 00"));
        row("SetPar acknowledged", SetPar, "0142C800000201", WithCrcHex("07 10 00 64 00 04"),
            WithCrcHex("07 00 01 00"));
    }
    void answerRewrite() {
        QFETCH(int, name);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, answer);
        QFETCH(QByteArray, rewritten);
        ProtocolIsModbus = 1;
        CurrentQuery->Adr = 7;
        CurrentQuery->SetName(TListComand(name));
        for (char c : data) CurrentQuery->Push(uint8_t(c));
        CurrentQuery->BuildFrame();
        const QByteArray bytes = QByteArray::fromHex(answer);
        std::memset(AnswerBuffer, 0, sizeof AnswerBuffer);
        std::memcpy(AnswerBuffer, bytes.constData(), size_t(bytes.size()));
        FromModbusAnswer();
        QCOMPARE(Hex(AnswerBuffer, CurrentQuery->LengthIn), rewritten);
        QCOMPARE(int(Crc16(AnswerBuffer, CurrentQuery->LengthIn)), 0);
    }

    void modbusOnlyWritesKeepTheirLength() {
        ProtocolIsModbus = 1;
        CurrentQuery->Adr = 7;
        CurrentQuery->SetName(SetUst11);
        CurrentQuery->Push(0);
        CurrentQuery->Push(100);
        CurrentQuery->BuildFrame();
        const QByteArray echo = QByteArray::fromHex(Request().replace(" ", ""));
        std::memcpy(AnswerBuffer, echo.constData(), size_t(echo.size()));
        FromModbusAnswer();
        QCOMPARE(int(CurrentQuery->LengthIn), 8);
        QCOMPARE(int(AnswerBuffer[0]), 7);
        QCOMPARE(int(Crc16(AnswerBuffer, 8)), 0);
    }
};

QTEST_APPLESS_MAIN(TestFrames)
#include "test_frames.moc"
