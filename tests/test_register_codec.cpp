// Requests of the eight Modbus data functions and their answers, the value views of registers
// in every type and order, the hex frames typed by hand, and the instrument's register names,
// each as a table of frames or values.
#include <QtTest>

#include "protocol/Crc.h"
#include "protocol/KnownRegisters.h"
#include "protocol/RawFrames.h"
#include "protocol/RegisterFrames.h"
#include "protocol/RegisterValues.h"
#include "protocol/Requests.h"
#include "protocol/Units.h"

using namespace protocol;

namespace {

QString Hex(const std::vector<uint8_t>& bytes) {
    return QString::fromStdString(HexText(bytes));
}

std::vector<uint8_t> Bytes(const QString& hex) {
    const QByteArray raw = QByteArray::fromHex(hex.toLatin1());
    return std::vector<uint8_t>(raw.begin(), raw.end());
}

// The frame with its CRC appended.
std::vector<uint8_t> WithCrc(const QString& hex) {
    std::vector<uint8_t> frame = Bytes(hex);
    frame.resize(frame.size() + 2);
    StoreCrc(frame.data(), uint16_t(frame.size()));
    return frame;
}

std::vector<uint16_t> Words(const QList<int>& list) {
    return std::vector<uint16_t>(list.begin(), list.end());
}

DataRequest MakeRequest(int function, int start, int count, const QList<int>& values = {}) {
    DataRequest r;
    r.address = 0x11;
    DataFunctionFromNumber(function, r.function);
    r.start = uint16_t(start);
    r.count = uint16_t(count);
    r.values = Words(values);
    return r;
}

}  // namespace

class TestRegisterCodec : public QObject {
    Q_OBJECT

private slots:
    // ---- requests ------------------------------------------------------------------------

    void requestFrames_data() {
        QTest::addColumn<int>("function");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("values");
        QTest::addColumn<QString>("body");  // without the CRC
        QTest::newRow("read coils") << 1 << 19 << 37 << QList<int>{} << "11 01 00 13 00 25";
        QTest::newRow("read inputs") << 2 << 196 << 22 << QList<int>{} << "11 02 00 C4 00 16";
        QTest::newRow("read holding") << 3 << 1003 << 1 << QList<int>{} << "11 03 03 EB 00 01";
        QTest::newRow("read input registers")
            << 4 << 8 << 125 << QList<int>{} << "11 04 00 08 00 7D";
        QTest::newRow("write coil on") << 5 << 172 << 0 << QList<int>{1} << "11 05 00 AC FF 00";
        QTest::newRow("write coil off") << 5 << 172 << 0 << QList<int>{0} << "11 05 00 AC 00 00";
        QTest::newRow("write register") << 6 << 1 << 0 << QList<int>{0x0003} << "11 06 00 01 00 03";
        // Ten coils 1011001111 (lowest first) in two bytes, bits packed least significant first.
        QTest::newRow("write coils") << 15 << 19 << 0 << QList<int>{1, 0, 1, 1, 0, 0, 1, 1, 1, 0}
                                     << "11 0F 00 13 00 0A 02 CD 01";
        QTest::newRow("write registers")
            << 16 << 1 << 0 << QList<int>{0x000A, 0x0102} << "11 10 00 01 00 02 04 00 0A 01 02";
    }
    void requestFrames() {
        QFETCH(int, function);
        QFETCH(int, start);
        QFETCH(int, count);
        QFETCH(QList<int>, values);
        QFETCH(QString, body);
        const DataRequest request = MakeRequest(function, start, count, values);
        QCOMPARE(QString::fromStdString(DataRequestProblem(request)), QString());
        const std::vector<uint8_t> frame = BuildDataRequest(request);
        QCOMPARE(Hex(frame), Hex(WithCrc(body)));
        // The frame read back is the same request: the raw sender decodes its answer with it.
        DataRequest back;
        QVERIFY(DataRequestFromFrame(frame, back));
        QCOMPARE(int(back.function), function);
        QCOMPARE(back.start, uint16_t(start));
        if (IsReadFunction(back.function))
            QCOMPARE(back.count, uint16_t(count));
        else
            QCOMPARE(back.values, Words(values));
    }

    void knownFrameCrc() {
        DataRequest r;
        r.address = 1;
        r.function = DataFunction::ReadHoldingRegisters;
        r.start = 0;
        r.count = 10;
        QCOMPARE(Hex(BuildDataRequest(r)), QStringLiteral("01 03 00 00 00 0A C5 CD"));
    }

    void requestLimits_data() {
        QTest::addColumn<int>("function");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("count");  // reads; writes carry `count` values
        QTest::addColumn<int>("address");
        QTest::addColumn<QString>("problem");  // part of the reason, "" when accepted
        QTest::newRow("coils read 2000") << 1 << 0 << 2000 << 1 << "";
        QTest::newRow("coils read 2001") << 1 << 0 << 2001 << 1 << "1..2000 coils";
        QTest::newRow("inputs read 2001") << 2 << 0 << 2001 << 1 << "1..2000 coils";
        QTest::newRow("registers read 125") << 3 << 0 << 125 << 1 << "";
        QTest::newRow("registers read 126") << 3 << 0 << 126 << 1 << "1..125 registers";
        QTest::newRow("input registers read 126") << 4 << 0 << 126 << 1 << "1..125 registers";
        QTest::newRow("read none") << 3 << 0 << 0 << 1 << "not 0";
        QTest::newRow("coils written 1968") << 15 << 0 << 1968 << 1 << "";
        QTest::newRow("coils written 1969") << 15 << 0 << 1969 << 1 << "1..1968 coils";
        QTest::newRow("registers written 123") << 16 << 0 << 123 << 1 << "";
        QTest::newRow("registers written 124") << 16 << 0 << 124 << 1 << "1..123 registers";
        QTest::newRow("single write of two") << 6 << 0 << 2 << 1 << "1..1 registers";
        QTest::newRow("last register 65535") << 3 << 65534 << 2 << 1 << "";
        QTest::newRow("beyond 65535") << 3 << 65535 << 2 << 1 << "beyond register 65535";
        QTest::newRow("broadcast") << 6 << 0 << 1 << 0 << "";
        QTest::newRow("address 248") << 3 << 0 << 1 << 248 << "0..247";
    }
    void requestLimits() {
        QFETCH(int, function);
        QFETCH(int, start);
        QFETCH(int, count);
        QFETCH(int, address);
        QFETCH(QString, problem);
        DataRequest r = MakeRequest(function, start, count);
        r.address = uint8_t(address);
        if (!IsReadFunction(r.function)) r.values.assign(size_t(count), 1);
        const QString said = QString::fromStdString(DataRequestProblem(r));
        if (problem.isEmpty())
            QCOMPARE(said, QString());
        else
            QVERIFY2(said.contains(problem), qPrintable(said));
    }

    void coilValuesAreBits() {
        const DataRequest r = MakeRequest(15, 0, 0, {1, 0, 2});
        QVERIFY(QString::fromStdString(DataRequestProblem(r)).contains("0 or 1"));
    }

    // ---- answers -------------------------------------------------------------------------

    void answers_data() {
        QTest::addColumn<int>("function");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("values");
        QTest::addColumn<QString>("answer");  // hex, "+" at the end: the CRC appended
        QTest::addColumn<int>("status");
        QTest::addColumn<QList<int>>("read");
        QTest::addColumn<int>("exception");
        using S = DataAnswer::Status;
        QTest::newRow("registers") << 3 << 107 << 3 << QList<int>{} << "11 03 06 02 2B 00 00 00 64+"
                                   << int(S::Ok) << QList<int>{0x022B, 0, 0x64} << 0;
        QTest::newRow("input registers") << 4 << 8 << 1 << QList<int>{} << "11 04 02 00 0A+"
                                         << int(S::Ok) << QList<int>{10} << 0;
        // 37 coils: CD 6B B2 0E 1B, least significant bit first.
        QTest::newRow("coils") << 1 << 19 << 10 << QList<int>{} << "11 01 02 CD 01+" << int(S::Ok)
                               << QList<int>{1, 0, 1, 1, 0, 0, 1, 1, 1, 0} << 0;
        QTest::newRow("inputs") << 2 << 196 << 3 << QList<int>{} << "11 02 01 05+" << int(S::Ok)
                                << QList<int>{1, 0, 1} << 0;
        QTest::newRow("coil written") << 5 << 172 << 0 << QList<int>{1} << "11 05 00 AC FF 00+"
                                      << int(S::Ok) << QList<int>{} << 0;
        QTest::newRow("register written") << 6 << 1 << 0 << QList<int>{3} << "11 06 00 01 00 03+"
                                          << int(S::Ok) << QList<int>{} << 0;
        QTest::newRow("registers written")
            << 16 << 1 << 0 << QList<int>{1, 2} << "11 10 00 01 00 02+" << int(S::Ok)
            << QList<int>{} << 0;
        QTest::newRow("coils written") << 15 << 19 << 0 << QList<int>{1, 0} << "11 0F 00 13 00 02+"
                                       << int(S::Ok) << QList<int>{} << 0;
        QTest::newRow("exception 2") << 3 << 9999 << 1 << QList<int>{} << "11 83 02+"
                                     << int(S::Exception) << QList<int>{} << 2;
        QTest::newRow("exception of a write") << 16 << 1 << 0 << QList<int>{1} << "11 90 03+"
                                              << int(S::Exception) << QList<int>{} << 3;
        QTest::newRow("short") << 3 << 0 << 2 << QList<int>{} << "11 03 04 00 01+" << int(S::Short)
                               << QList<int>{} << 0;
        QTest::newRow("bad crc") << 3 << 0 << 1 << QList<int>{} << "11 03 02 00 01 00 00"
                                 << int(S::BadCrc) << QList<int>{} << 0;
        QTest::newRow("other address") << 3 << 0 << 1 << QList<int>{} << "12 03 02 00 01+"
                                       << int(S::WrongAddress) << QList<int>{} << 0;
        QTest::newRow("other function") << 3 << 0 << 1 << QList<int>{} << "11 04 02 00 01+"
                                        << int(S::WrongFunction) << QList<int>{} << 0;
        QTest::newRow("byte count off") << 3 << 0 << 1 << QList<int>{} << "11 03 03 00 01+"
                                        << int(S::Mismatch) << QList<int>{} << 0;
        QTest::newRow("echo off") << 6 << 1 << 0 << QList<int>{3} << "11 06 00 01 00 04+"
                                  << int(S::Mismatch) << QList<int>{} << 0;
    }
    void answers() {
        QFETCH(int, function);
        QFETCH(int, start);
        QFETCH(int, count);
        QFETCH(QList<int>, values);
        QFETCH(QString, answer);
        QFETCH(int, status);
        QFETCH(QList<int>, read);
        QFETCH(int, exception);
        const DataRequest request = MakeRequest(function, start, count, values);
        const std::vector<uint8_t> bytes =
            answer.endsWith('+') ? WithCrc(answer.chopped(1)) : Bytes(answer);
        const DataAnswer decoded = DecodeDataAnswer(request, bytes.data(), int(bytes.size()));
        QCOMPARE(int(decoded.status), status);
        QCOMPARE(decoded.values, Words(read));
        QCOMPARE(int(decoded.exceptionCode), exception);
        QCOMPARE(DataAnswerProblem(decoded).empty(), status == int(DataAnswer::Status::Ok));
    }

    void exceptionMeanings_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("1") << 1 << "исключение 1: Недопустимая функция";
        QTest::newRow("2 (the instrument's)") << 2 << "исключение 2: Несуществующий параметр";
        QTest::newRow("3") << 3 << "исключение 3: Неверное значение параметра";
        QTest::newRow("4") << 4 << "исключение 4: Отказ устройства";
        QTest::newRow("0x0B") << 11 << "исключение 11: Шлюз: устройство не отвечает";
        QTest::newRow("0x46") << 0x46 << "исключение 70: Аппаратная защита";
        QTest::newRow("unknown") << 9 << "исключение 9";
    }
    void exceptionMeanings() {
        QFETCH(int, code);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(ExceptionDescriptionText(uint8_t(code))), text);
    }

    // ---- value views ---------------------------------------------------------------------

    void views_data() {
        QTest::addColumn<QList<int>>("registers");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("order");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("text");
        // 123.456 is 0x42F6E979: bytes A=42 B=F6 C=E9 D=79.
        QTest::newRow("float ABCD") << QList<int>{0x42F6, 0xE979} << "float"
                                    << "ABCD"
                                    << "dec"
                                    << "123.456";
        QTest::newRow("float CDAB") << QList<int>{0xE979, 0x42F6} << "float"
                                    << "CDAB"
                                    << "dec"
                                    << "123.456";
        QTest::newRow("float BADC") << QList<int>{0xF642, 0x79E9} << "float"
                                    << "BADC"
                                    << "dec"
                                    << "123.456";
        QTest::newRow("float DCBA") << QList<int>{0x79E9, 0xF642} << "float"
                                    << "DCBA"
                                    << "dec"
                                    << "123.456";
        QTest::newRow("float bits hex") << QList<int>{0xE979, 0x42F6} << "float"
                                        << "CDAB"
                                        << "hex"
                                        << "0x42F6E979";
        QTest::newRow("u32 ABCD") << QList<int>{0x0001, 0x0002} << "u32"
                                  << "ABCD"
                                  << "dec"
                                  << "65538";
        QTest::newRow("u32 CDAB") << QList<int>{0x0002, 0x0001} << "u32"
                                  << "CDAB"
                                  << "dec"
                                  << "65538";
        QTest::newRow("s32 negative") << QList<int>{0xFFFF, 0xFFFE} << "s32"
                                      << "ABCD"
                                      << "dec"
                                      << "-2";
        QTest::newRow("s32 DCBA") << QList<int>{0xFEFF, 0xFFFF} << "s32"
                                  << "DCBA"
                                  << "dec"
                                  << "-2";
        QTest::newRow("u16") << QList<int>{0xFFFF} << "u16"
                             << "ABCD"
                             << "dec"
                             << "65535";
        QTest::newRow("s16") << QList<int>{0xFFFF} << "s16"
                             << "ABCD"
                             << "dec"
                             << "-1";
        QTest::newRow("u16 hex") << QList<int>{0x03EB} << "u16"
                                 << "ABCD"
                                 << "hex"
                                 << "0x03EB";
        QTest::newRow("s16 bin") << QList<int>{0x8001} << "s16"
                                 << "ABCD"
                                 << "bin"
                                 << "0b1000000000000001";
        QTest::newRow("u32 bin") << QList<int>{0x0000, 0x0005} << "u32"
                                 << "ABCD"
                                 << "bin"
                                 << "0b00000000000000000000000000000101";
        QTest::newRow("32-bit without its second register") << QList<int>{0x0001} << "u32"
                                                            << "ABCD"
                                                            << "dec"
                                                            << "";
    }
    void views() {
        QFETCH(QList<int>, registers);
        QFETCH(QString, type);
        QFETCH(QString, order);
        QFETCH(QString, base);
        QFETCH(QString, text);
        RegisterType t;
        WordOrder o;
        NumberBase b;
        QVERIFY(RegisterTypeFromName(type.toStdString(), t));
        QVERIFY(WordOrderFromName(order.toStdString(), o));
        QVERIFY(NumberBaseFromName(base.toStdString(), b));
        const std::vector<uint16_t> words = Words(registers);
        QCOMPARE(
            QString::fromStdString(RegisterValueText(words.data(), int(words.size()), t, o, b)),
            text);
        // Written back, the decimal text gives the same registers.
        if (b != NumberBase::Dec || text.isEmpty()) return;
        std::string problem;
        const auto encoded = EncodeRegisterValue(text.toStdString(), t, o, problem);
        QVERIFY2(encoded, problem.c_str());
        QCOMPARE(*encoded, words);
    }

    void encodedValues_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("order");
        QTest::addColumn<QList<int>>("registers");  // empty: refused
        QTest::newRow("u16 top") << "65535"
                                 << "u16"
                                 << "ABCD" << QList<int>{0xFFFF};
        QTest::newRow("u16 over") << "65536"
                                  << "u16"
                                  << "ABCD" << QList<int>{};
        QTest::newRow("u16 negative") << "-1"
                                      << "u16"
                                      << "ABCD" << QList<int>{};
        QTest::newRow("s16 bottom") << "-32768"
                                    << "s16"
                                    << "ABCD" << QList<int>{0x8000};
        QTest::newRow("s16 under") << "-32769"
                                   << "s16"
                                   << "ABCD" << QList<int>{};
        QTest::newRow("s16 bits in hex") << "0xFFFF"
                                         << "s16"
                                         << "ABCD" << QList<int>{0xFFFF};
        QTest::newRow("u16 hex") << "0x3EB"
                                 << "u16"
                                 << "ABCD" << QList<int>{0x03EB};
        QTest::newRow("u16 binary") << "0b101"
                                    << "u16"
                                    << "ABCD" << QList<int>{5};
        QTest::newRow("hex too wide") << "0x10000"
                                      << "u16"
                                      << "ABCD" << QList<int>{};
        QTest::newRow("double prefix") << "0x0x5"
                                       << "u16"
                                       << "ABCD" << QList<int>{};
        QTest::newRow("fraction for an integer") << "1.5"
                                                 << "u16"
                                                 << "ABCD" << QList<int>{};
        QTest::newRow("blank inside") << "1 2"
                                      << "u16"
                                      << "ABCD" << QList<int>{};
        QTest::newRow("empty") << ""
                               << "u16"
                               << "ABCD" << QList<int>{};
        QTest::newRow("u32 CDAB") << "65538"
                                  << "u32"
                                  << "CDAB" << QList<int>{2, 1};
        QTest::newRow("u32 over") << "4294967296"
                                  << "u32"
                                  << "ABCD" << QList<int>{};
        QTest::newRow("s32 bottom") << "-2147483648"
                                    << "s32"
                                    << "ABCD" << QList<int>{0x8000, 0};
        QTest::newRow("float BADC") << "1"
                                    << "float"
                                    << "BADC" << QList<int>{0x803F, 0x0000};
        QTest::newRow("float exponent") << "1e3"
                                        << "float"
                                        << "ABCD" << QList<int>{0x447A, 0};
        QTest::newRow("float too large") << "1e39"
                                         << "float"
                                         << "ABCD" << QList<int>{};
        QTest::newRow("float words") << "abc"
                                     << "float"
                                     << "ABCD" << QList<int>{};
        QTest::newRow("float nan") << "nan"
                                   << "float"
                                   << "ABCD" << QList<int>{};
    }
    void encodedValues() {
        QFETCH(QString, text);
        QFETCH(QString, type);
        QFETCH(QString, order);
        QFETCH(QList<int>, registers);
        RegisterType t;
        WordOrder o;
        QVERIFY(RegisterTypeFromName(type.toStdString(), t));
        QVERIFY(WordOrderFromName(order.toStdString(), o));
        std::string problem;
        const auto encoded = EncodeRegisterValue(text.toStdString(), t, o, problem);
        if (registers.isEmpty()) {
            QVERIFY(!encoded);
            QVERIFY(!problem.empty());
        } else {
            QVERIFY2(encoded, problem.c_str());
            QCOMPARE(*encoded, Words(registers));
        }
    }

    // ---- writes planned from value texts -------------------------------------------------

    void plannedWrites_data() {
        QTest::addColumn<int>("function");  // 0: as the values need
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("order");
        QTest::addColumn<int>("planned");        // the function chosen, 0 when refused
        QTest::addColumn<QList<int>>("values");  // the registers or coils
        QTest::addColumn<QString>("problem");    // part of the reason when refused
        QTest::newRow("one register: 6") << 0 << QStringList{"7"} << "u16"
                                         << "ABCD" << 6 << QList<int>{7} << "";
        QTest::newRow("a block: 16") << 0 << QStringList{"1", "2"} << "u16"
                                     << "ABCD" << 16 << QList<int>{1, 2} << "";
        QTest::newRow("a float: 16") << 0 << QStringList{"1"} << "float"
                                     << "CDAB" << 16 << QList<int>{0x0000, 0x3F80} << "";
        QTest::newRow("one register by 16") << 16 << QStringList{"7"} << "u16"
                                            << "ABCD" << 16 << QList<int>{7} << "";
        QTest::newRow("coils") << 15 << QStringList{"1", "0", "1"} << "u16"
                               << "ABCD" << 15 << QList<int>{1, 0, 1} << "";
        QTest::newRow("coil of 2") << 5 << QStringList{"2"} << "u16"
                                   << "ABCD" << 0 << QList<int>{} << "0 or 1";
        QTest::newRow("two by function 6") << 6 << QStringList{"1", "2"} << "u16"
                                           << "ABCD" << 0 << QList<int>{} << "writes one item";
        QTest::newRow("a float by function 6") << 6 << QStringList{"1.5"} << "float"
                                               << "ABCD" << 0 << QList<int>{} << "writes one item";
        QTest::newRow("read function") << 3 << QStringList{"1"} << "u16"
                                       << "ABCD" << 0 << QList<int>{} << "5, 6, 15 or 16";
        QTest::newRow("value out of range") << 0 << QStringList{"1", "65536"} << "u16"
                                            << "ABCD" << 0 << QList<int>{} << "outside";
        QTest::newRow("124 registers") << 0 << QStringList(124, "1") << "u16"
                                       << "ABCD" << 0 << QList<int>{} << "1..123 registers";
    }
    void plannedWrites() {
        QFETCH(int, function);
        QFETCH(QStringList, items);
        QFETCH(QString, type);
        QFETCH(QString, order);
        QFETCH(int, planned);
        QFETCH(QList<int>, values);
        QFETCH(QString, problem);
        RegisterType t;
        WordOrder o;
        QVERIFY(RegisterTypeFromName(type.toStdString(), t));
        QVERIFY(WordOrderFromName(order.toStdString(), o));
        std::vector<std::string> texts;
        for (const QString& item : items) texts.push_back(item.toStdString());
        std::string said;
        const auto request = PlanDataWrite(7, function, 1000, texts, t, o, said);
        if (planned == 0) {
            QVERIFY(!request);
            QVERIFY2(QString::fromStdString(said).contains(problem), said.c_str());
            return;
        }
        QVERIFY2(request, said.c_str());
        QCOMPARE(int(request->function), planned);
        QCOMPARE(request->values, Words(values));
        QCOMPARE(request->start, uint16_t(1000));
    }

    // ---- frames typed by hand ------------------------------------------------------------

    void hexFrames_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("crc");
        QTest::addColumn<QString>("bytes");    // hex of the frame when accepted
        QTest::addColumn<QString>("problem");  // part of the reason when refused
        QTest::newRow("spaced") << "01 03 03 EB 00 01" << false << "01 03 03 EB 00 01"
                                << "";
        QTest::newRow("packed") << "010303eb0001" << false << "01 03 03 EB 00 01"
                                << "";
        QTest::newRow("0x and commas")
            << "0x01,0x03, 0x03 0xEB 00 01" << false << "01 03 03 EB 00 01"
            << "";
        QTest::newRow("crc appended") << "01 03 00 00 00 0A" << true << "01 03 00 00 00 0A C5 CD"
                                      << "";
        QTest::newRow("odd digits") << "01 03 3EB 00 01" << false << ""
                                    << "odd number";
        QTest::newRow("not hex") << "01 0G" << false << ""
                                 << "position 5";
        QTest::newRow("empty") << "   " << false << ""
                               << "no bytes";
        QTest::newRow("256 bytes")
            << QString("AA").repeated(256) << false << QString("AA ").repeated(256).trimmed() << "";
        QTest::newRow("257 bytes") << QString("AA").repeated(257) << false << ""
                                   << "at most 256";
        QTest::newRow("255 bytes and the CRC") << QString("AA").repeated(255) << true << ""
                                               << "257 bytes with the CRC";
    }
    void hexFrames() {
        QFETCH(QString, text);
        QFETCH(bool, crc);
        QFETCH(QString, bytes);
        QFETCH(QString, problem);
        const HexFrame frame = ParseHexFrame(text.toStdString(), crc);
        if (problem.isEmpty()) {
            QVERIFY2(frame.Ok(), frame.problem.c_str());
            QCOMPARE(Hex(frame.bytes), bytes);
        } else {
            QVERIFY(!frame.Ok());
            QVERIFY(frame.bytes.empty());
            QVERIFY2(QString::fromStdString(frame.problem).contains(problem),
                     frame.problem.c_str());
        }
    }

    // ---- the instrument's registers ------------------------------------------------------

    void knownNames_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("name");
        QTest::newRow("address") << 1002 << "Сетевой адрес";
        QTest::newRow("scale 1") << 100 << "Шкала пар. 1";
        QTest::newRow("scale 1, second register") << 101 << "Шкала пар. 1 (2)";
        QTest::newRow("unit 2") << 110 << "Ед. изм. пар. 2";
        QTest::newRow("value 3") << 8 << "Значение пар. 3";
        QTest::newRow("text, fourth register") << 1103 << "Доп. информация 7-8";
        QTest::newRow("speed 2") << 1016 << "Скорость RS-485 2";
        QTest::newRow("alarm") << 20480 << "Режим сигнализации";
        QTest::newRow("gap in the block") << 1001 << "";
        QTest::newRow("unknown") << 5000 << "";
    }
    void knownNames() {
        QFETCH(int, number);
        QFETCH(QString, name);
        QCOMPARE(QString::fromStdString(KnownRegisterName(uint16_t(number))), name);
    }

    void knownValues_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<QList<int>>("registers");
        QTest::addColumn<QString>("value");
        // 250.0 is 0x437A0000: the instrument keeps the low-order word first.
        QTest::newRow("scale") << 100 << QList<int>{0x0000, 0x437A} << "250";
        QTest::newRow("scale without its second word") << 100 << QList<int>{0x0000} << "";
        QTest::newRow("inside an item") << 101 << QList<int>{0x437A} << "";
        QTest::newRow("unit") << 102 << QList<int>{1} << QString::fromStdString(UnitName(1));
        QTest::newRow("point") << 103 << QList<int>{2} << "знаков после точки: 1";
        QTest::newRow("speed") << 1014 << QList<int>{SpeedCode(19200)} << "19200 бит/с";
        QTest::newRow("year") << 1005 << QList<int>{5} << "2005";
        QTest::newRow("setpoint") << 200 << QList<int>{0xFFF6} << "-10";
        QTest::newRow("format") << 1012 << QList<int>{710} << "16 бит";
        QTest::newRow("text") << 1100 << QList<int>{0xD9E8} << "«Щи»";
        QTest::newRow("hysteresis written high word first")
            << 574 << QList<int>{0x3FC0, 0x0000} << "1.5";
        QTest::newRow("unknown") << 5000 << QList<int>{1} << "";
    }
    void knownValues() {
        QFETCH(int, number);
        QFETCH(QList<int>, registers);
        QFETCH(QString, value);
        const std::vector<uint16_t> words = Words(registers);
        QCOMPARE(QString::fromStdString(
                     KnownRegisterValue(uint16_t(number), words.data(), int(words.size()))),
                 value);
    }

    // ---- answers to frames sent by hand --------------------------------------------------

    void rawAnswers_data() {
        QTest::addColumn<QString>("request");  // hex with its CRC appended
        QTest::addColumn<QString>("answer");   // "+": CRC appended
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("error");
        QTest::addColumn<QString>("text");  // part of the meaning
        using K = RawAnswerView::Kind;
        QTest::newRow("modbus read, named")
            << "07 03 03 EA 00 01"
            << "07 03 02 00 07+" << int(K::Modbus) << false << "1002 = 7 (Сетевой адрес: 7)";
        QTest::newRow("modbus read, not named")
            << "07 04 13 88 00 02"
            << "07 04 04 00 01 00 02+" << int(K::Modbus) << false << "5000 = 1; 5001 = 2";
        QTest::newRow("modbus exception")
            << "07 03 27 0F 00 01"
            << "07 83 02+" << int(K::Modbus) << true << "исключение 2: Несуществующий параметр";
        QTest::newRow("modbus write")
            << "07 06 03 EE 00 02"
            << "07 06 03 EE 00 02+" << int(K::Modbus) << false << "записано 1006 = 2";
        QTest::newRow("qv address") << "07 00 4A"
                                    << "07 00 4A+" << int(K::Qv) << false << "GetAdr: адрес 7";
        QTest::newRow("damaged") << "07 03 03 EA 00 01"
                                 << "07 03 02 00 07 00 00" << int(K::Unknown) << true
                                 << "ошибка контрольной суммы";
        QTest::newRow("foreign frame")
            << "07 03 03 EA 00 01"
            << "09 41 00+" << int(K::Unknown) << false << "верной контрольной суммой";
    }
    void rawAnswers() {
        QFETCH(QString, request);
        QFETCH(QString, answer);
        QFETCH(int, kind);
        QFETCH(bool, error);
        QFETCH(QString, text);
        const std::vector<uint8_t> a =
            answer.endsWith('+') ? WithCrc(answer.chopped(1)) : Bytes(answer);
        const RawAnswerView view = DescribeRawAnswer(WithCrc(request), a);
        QCOMPARE(int(view.kind), kind);
        QCOMPARE(view.error, error);
        QVERIFY2(QString::fromStdString(view.text).contains(text), view.text.c_str());
    }

    void rawAnswerLengths_data() {
        QTest::addColumn<QString>("frame");  // hex, CRC appended
        QTest::addColumn<int>("length");
        QTest::newRow("read of 3 registers") << "07 03 03 E8 00 03" << 11;
        QTest::newRow("read of 10 coils") << "07 01 00 00 00 0A" << 7;
        QTest::newRow("write of a block") << "07 10 00 01 00 01 02 00 05" << 8;
        QTest::newRow("block, byte count off") << "07 10 00 01 00 02 02 00 05" << 0;
        QTest::newRow("coils, byte count off") << "07 0F 00 01 00 0A 01 05" << 0;
        QTest::newRow("QV address") << "07 00 4A" << 5;
        QTest::newRow("unknown") << "07 41" << 0;
    }
    void rawAnswerLengths() {
        QFETCH(QString, frame);
        QFETCH(int, length);
        QCOMPARE(RawAnswerLength(WithCrc(frame)), length);
    }

    // The QV request the program itself builds is recognised as that command.
    void qvRequestOfTheProgram() {
        const RequestFrame request = protocol::BuildRequest(ReadValue(1), 7, Protocol::Qv);
        // Parameter 1 at 12.5 with status 0: a single most significant byte first, as QV has it.
        const std::vector<uint8_t> answer = WithCrc("07 00 40 41 48 00 00 00");
        const RawAnswerView view = DescribeRawAnswer(request.bytes, answer);
        QCOMPARE(int(view.kind), int(RawAnswerView::Kind::Qv));
        QVERIFY2(QString::fromStdString(view.text).contains("GetVal: 12.5"), view.text.c_str());
    }
};

QTEST_APPLESS_MAIN(TestRegisterCodec)
#include "test_register_codec.moc"
