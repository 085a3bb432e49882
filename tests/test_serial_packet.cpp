// Packet assembly of TSerialPacket: start and stop strings, fixed sizes, batches, overflow,
// and which property values the setters take.
#include <QtTest>

#include "serial/SerialPort.h"

namespace {

struct PacketSetup {
    QString start;
    QString stop;
    int size = 0;
    bool includeStrings = true;
    int maxBufferSize = 1024;
};

// A port that collects its packets; the packet's own setters are used, as an owner would.
struct Collector {
    TSerialPort port;
    QStringList packets;

    explicit Collector(const PacketSetup& setup) {
        TSerialPacket& packet = port.DataPacket();
        packet.SetMaxBufferSize(setup.maxBufferSize);
        if (setup.size > 0) packet.SetPacketSize(setup.size);
        packet.SetStartString(setup.start);
        packet.SetStopString(setup.stop);
        packet.SetIncludeStrings(setup.includeStrings);
        packet.SetEnabled(true);
        port.OnPacket = [this](TSerialPort*, const QString& str) { packets << str; };
    }
};

}  // namespace

class TestSerialPacket : public QObject {
    Q_OBJECT
private slots:
    void assembly_data();
    void assembly();
    void overflowEmptiesBufferAndSearchStartsOver();
    void handlerExceptionStillChecksOverflow();
    void disabledOrUndefinedPacketTakesNothing();
    void setterRules_data();
    void setterRules();
    void assignCopiesSettingsAndKeepsBuffer();
};

void TestSerialPacket::assembly_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("stop");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("includeStrings");
    QTest::addColumn<QStringList>("batches");
    QTest::addColumn<QStringList>("packets");
    QTest::addColumn<QString>("leftOver");

    QTest::newRow("start and stop")
        << "AB"
        << "CD" << 0 << true << QStringList{"xxAB12CDyy"} << QStringList{"AB12CD"} << "yy";
    QTest::newRow("start and stop, strings dropped")
        << "AB"
        << "CD" << 0 << false << QStringList{"xxAB12CDyy"} << QStringList{"12"} << "yy";
    QTest::newRow("stop only") << ""
                               << "CD" << 0 << true << QStringList{"1CD2CD3"}
                               << QStringList{"1CD", "2CD"} << "3";
    QTest::newRow("fixed size") << ""
                                << "" << 4 << true << QStringList{"abcdefghi"}
                                << QStringList{"abcd", "efgh"} << "i";
    QTest::newRow("fixed size with stop")
        << ""
        << "Z" << 4 << true << QStringList{"abcZ"} << QStringList{"abcZ"} << "";
    QTest::newRow("fixed size with stop, one character skipped")
        << ""
        << "Z" << 4 << true << QStringList{"xabcZ"} << QStringList{"abcZ"} << "";
    QTest::newRow("split over batches") << "AB"
                                        << "CD" << 0 << true << QStringList{"zzA", "B1", "2C", "Dq"}
                                        << QStringList{"AB12CD"} << "q";
    QTest::newRow("stop inside start is not an end")
        << "CD"
        << "CD" << 0 << true << QStringList{"CDxCD"} << QStringList{"CDxCD"} << "";
    QTest::newRow("start without its stop stays open")
        << "AB"
        << "CD" << 0 << true << QStringList{"--AB12"} << QStringList{} << "AB12";
    QTest::newRow("text without start is kept until a start arrives")
        << "AB"
        << "CD" << 0 << true << QStringList{"xyz", "wAB1CD"} << QStringList{"AB1CD"} << "";
    QTest::newRow("fixed size with start, strings dropped")
        << "S"
        << "E" << 4 << false << QStringList{"..S12ES34E"} << QStringList{"12", "34"} << "";
}

void TestSerialPacket::assembly() {
    QFETCH(QString, start);
    QFETCH(QString, stop);
    QFETCH(int, size);
    QFETCH(bool, includeStrings);
    QFETCH(QStringList, batches);
    QFETCH(QStringList, packets);
    QFETCH(QString, leftOver);

    Collector c(PacketSetup{start, stop, size, includeStrings});
    for (const QString& batch : batches) c.port.DataPacket().AddData(batch);
    QCOMPARE(c.packets, packets);
    QCOMPARE(c.port.DataPacket().Buffer(), leftOver);
}

void TestSerialPacket::overflowEmptiesBufferAndSearchStartsOver() {
    Collector c(PacketSetup{"AB", "CD", 0, true, 8});
    TSerialPacket& packet = c.port.DataPacket();
    packet.AddData("AB1234");
    QCOMPARE(packet.Buffer(), QString("AB1234"));
    packet.AddData("56");  // 8 characters, still no stop string
    QCOMPARE(packet.Buffer(), QString());
    packet.AddData("CDAB9CD");  // the old start is gone: the CD before AB is discarded
    QCOMPARE(c.packets, QStringList{"AB9CD"});
}

void TestSerialPacket::handlerExceptionStillChecksOverflow() {
    Collector c(PacketSetup{"", "!", 0, true, 6});
    c.port.OnPacket = [](TSerialPort*, const QString&) { throw std::runtime_error("handler"); };
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, c.port.DataPacket().AddData("a!bcdefgh"));
    QCOMPARE(c.port.DataPacket().Buffer(), QString());
}

void TestSerialPacket::disabledOrUndefinedPacketTakesNothing() {
    Collector disabled(PacketSetup{"", "CD", 0});
    disabled.port.DataPacket().SetEnabled(false);
    disabled.port.DataPacket().AddData("1CD");
    QVERIFY(disabled.packets.isEmpty());
    QCOMPARE(disabled.port.DataPacket().Buffer(), QString());

    Collector startOnly(PacketSetup{"AB", "", 0});
    QVERIFY(!startOnly.port.DataPacket().PacketDefined());
    startOnly.port.DataPacket().AddData("AB12");
    QCOMPARE(startOnly.port.DataPacket().Buffer(), QString());
}

void TestSerialPacket::setterRules_data() {
    QTest::addColumn<QString>("property");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("accepted");
    // Starting point for every row: PacketSize 4, StopString "Z", MaxBufferSize 16.
    QTest::newRow("size 0 refused") << "PacketSize" << QVariant(0) << false;
    QTest::newRow("size negative refused") << "PacketSize" << QVariant(-3) << false;
    QTest::newRow("size reaching max refused") << "PacketSize" << QVariant(16) << false;
    QTest::newRow("size below max taken") << "PacketSize" << QVariant(15) << true;
    QTest::newRow("max not above size refused") << "MaxBufferSize" << QVariant(4) << false;
    QTest::newRow("max 0 refused") << "MaxBufferSize" << QVariant(0) << false;
    QTest::newRow("max above size taken") << "MaxBufferSize" << QVariant(5) << true;
    QTest::newRow("start filling the size refused") << "StartString" << QVariant("abc") << false;
    QTest::newRow("start leaving room taken") << "StartString" << QVariant("ab") << true;
    QTest::newRow("stop filling the size refused") << "StopString" << QVariant("WXYZ") << false;
    QTest::newRow("stop leaving room taken") << "StopString" << QVariant("YZ") << true;
    QTest::newRow("same stop changes nothing") << "StopString" << QVariant("Z") << false;
}

void TestSerialPacket::setterRules() {
    QFETCH(QString, property);
    QFETCH(QVariant, value);
    QFETCH(bool, accepted);

    TSerialPort port;
    TSerialPacket& packet = port.DataPacket();
    packet.SetMaxBufferSize(16);
    packet.SetPacketSize(4);
    packet.SetStopString("Z");
    packet.SetEnabled(true);
    packet.AddData("ab");  // an open packet: an accepted change must empty it
    QCOMPARE(packet.Buffer(), QString("ab"));

    auto read = [&]() -> QVariant {
        if (property == "PacketSize") return packet.PacketSize();
        if (property == "MaxBufferSize") return packet.MaxBufferSize();
        if (property == "StartString") return packet.StartString();
        return packet.StopString();
    };
    const QVariant before = read();
    if (property == "PacketSize")
        packet.SetPacketSize(value.toInt());
    else if (property == "MaxBufferSize")
        packet.SetMaxBufferSize(value.toInt());
    else if (property == "StartString")
        packet.SetStartString(value.toString());
    else
        packet.SetStopString(value.toString());

    QCOMPARE(read(), accepted ? value : before);
    QCOMPARE(packet.Buffer().isEmpty(), accepted);
}

void TestSerialPacket::assignCopiesSettingsAndKeepsBuffer() {
    TSerialPacket source;
    source.SetEnabled(true);
    source.SetIncludeStrings(false);
    source.SetMaxBufferSize(100);
    source.SetPacketSize(10);
    source.SetStartString("<");
    source.SetStopString(">");

    TSerialPort port;
    port.DataPacket().SetEnabled(true);
    port.DataPacket().SetStopString("!");
    port.DataPacket().AddData("abc");
    port.SetDataPacket(source);

    const TSerialPacket& copy = port.DataPacket();
    QVERIFY(copy.Enabled());
    QVERIFY(!copy.IncludeStrings());
    QCOMPARE(copy.MaxBufferSize(), 100);
    QCOMPARE(copy.PacketSize(), 10);
    QCOMPARE(copy.StartString(), QString("<"));
    QCOMPARE(copy.StopString(), QString(">"));
    QCOMPARE(copy.Buffer(), QString("abc"));
}

QTEST_GUILESS_MAIN(TestSerialPacket)
#include "test_serial_packet.moc"
