// The serial component and its backend on a network port (loopback only): the Modbus TCP
// framing on its own, the port names, the failures of connecting, and TSerialPort opened on
// tcp:// and modbus-tcp:// against the virtual instrument behind its gateway: requests out,
// answers in through the same events as on a pseudo-terminal, a dropped connection failing
// like an unplugged adapter.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QtTest>
#include <cerrno>
#include <mutex>

#include "protocol/Crc.h"
#include "serial/ModbusTcpFraming.h"
#include "serial/SerialBackend.h"
#include "serial/SerialPort.h"
#include "serial/SerialThread.h"
#include "sim/TcpGateway.h"
#include "sim/VirtualInstrument.h"

using namespace serial_backend;
using Kind = TransportNote::Kind;

Q_DECLARE_METATYPE(Transport)

namespace {

QByteArray Hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text));
}

QByteArray WithCrc(QByteArray frame) {
    frame.resize(frame.size() + 2);
    StoreCrc(reinterpret_cast<uint8_t*>(frame.data()), uint16_t(frame.size()));
    return frame;
}

std::vector<uint8_t> Bytes(const QByteArray& bytes) {
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// A loopback port nothing listens on: bound, then closed again.
uint16_t ClosedPort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(s);
    return ntohs(address.sin_port);
}

// The virtual instrument behind a gateway of the kind asked.
struct GatewayedInstrument {
    sim::VirtualInstrument instrument;
    std::unique_ptr<sim::TcpGateway> gateway;

    explicit GatewayedInstrument(sim::GatewayKind kind)
        : instrument({.protocol = sim::Protocol::Modbus, .address = 7, .parameterCount = 3}) {
        instrument.Start();
        sim::GatewayOptions options;
        options.kind = kind;
        gateway = std::make_unique<sim::TcpGateway>(instrument.DevicePath(), options);
        gateway->Start();
    }
};

class Received {
public:
    void Add(const QByteArray& bytes, int32_t count) {
        std::lock_guard<std::mutex> lock(FMutex);
        FBytes += bytes;
        FCounts << count;
    }
    QByteArray Bytes() const {
        std::lock_guard<std::mutex> lock(FMutex);
        return FBytes;
    }
    QList<int32_t> Counts() const {
        std::lock_guard<std::mutex> lock(FMutex);
        return FCounts;
    }

private:
    mutable std::mutex FMutex;
    QByteArray FBytes;
    QList<int32_t> FCounts;
};

// Modbus read of 2 registers from 0 at address 7.
const QByteArray ReadRequest = WithCrc(Hex("070300000002"));

}  // namespace

class TestGatewayPort : public QObject {
    Q_OBJECT
private slots:
    void modbusTcpAnswers_data();
    void modbusTcpAnswers();
    void modbusTcpRequests();
    void portNames_data();
    void portNames();
    void connectFailures_data();
    void connectFailures();
    void portOverGateway_data();
    void portOverGateway();
    void droppedConnectionFailsLikeUnpluggedAdapter_data();
    void droppedConnectionFailsLikeUnpluggedAdapter();
};

// After a read request to unit 7 (transaction 1): what the gateway sends, in pieces of
// `piece` bytes (0: at once), and the RTU frame handed on (its CRC made fresh) and the drops.
void TestGatewayPort::modbusTcpAnswers_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<int>("piece");
    QTest::addColumn<QByteArray>("rtu");
    QTest::addColumn<QList<int>>("notes");
    const QByteArray read = Hex("070300000002");
    const QByteArray answer = Hex("00010000000707030411223344");
    const QByteArray rtu =
        WithCrc(Hex("070304"
                    "11223344"));
    QTest::newRow("whole") << read << answer << 0 << rtu << QList<int>{};
    QTest::newRow("byte by byte") << read << answer << 1 << rtu << QList<int>{};
    QTest::newRow("exception") << read << Hex("000100000003078302") << 0 << WithCrc(Hex("078302"))
                               << QList<int>{};
    QTest::newRow("gateway: no answer (0x0B)")
        << read << Hex("00010000000307830B") << 3 << WithCrc(Hex("07830B")) << QList<int>{};
    QTest::newRow("other transaction") << read << Hex("00050000000707030411223344") << 0
                                       << QByteArray() << QList<int>{int(Kind::WrongTransaction)};
    QTest::newRow("stale, then ours") << read << Hex("00000000000707030400000000") + answer << 5
                                      << rtu << QList<int>{int(Kind::WrongTransaction)};
    QTest::newRow("other unit") << read << Hex("00010000000708030411223344") << 0 << QByteArray()
                                << QList<int>{int(Kind::WrongUnit)};
    QTest::newRow("length shorter than the byte count")
        << read
        << Hex("000100000005070304"
               "1122")
        << 0 << QByteArray() << QList<int>{int(Kind::BadLength)};
    QTest::newRow("exception with a longer length")
        << read << Hex("00010000000407830200") << 0 << QByteArray()
        << QList<int>{int(Kind::BadLength)};
    QTest::newRow("protocol id not Modbus") << read << Hex("00010001000707030411223344") << 0
                                            << QByteArray() << QList<int>{int(Kind::BadHeader)};
    QTest::newRow("garbage") << read << Hex("DEADBEEF0099FFFF77") << 2 << QByteArray()
                             << QList<int>{int(Kind::BadHeader)};
    QTest::newRow("answered twice")
        << read << answer + answer << 0 << rtu << QList<int>{int(Kind::Unexpected)};
    QTest::newRow("search: the instrument's own address")
        << Hex("FF77FFFF0001") << Hex("00010000000507770000 01") << 0 << WithCrc(Hex("0777000001"))
        << QList<int>{};
}

void TestGatewayPort::modbusTcpAnswers() {
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, stream);
    QFETCH(int, piece);
    QFETCH(QByteArray, rtu);
    QFETCH(QList<int>, notes);
    MbapFraming framing;
    std::vector<uint8_t> out;
    const std::vector<uint8_t> frame = Bytes(WithCrc(request));
    QVERIFY(framing.Outgoing(frame.data(), frame.size(), out));
    std::vector<uint8_t> line;
    const int step = piece > 0 ? piece : int(stream.size());
    for (int at = 0; at < stream.size(); at += step) {
        const QByteArray part = stream.mid(at, step);
        framing.Incoming(reinterpret_cast<const uint8_t*>(part.constData()), size_t(part.size()),
                         line);
    }
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(line.data()), int(line.size())).toHex(),
             rtu.toHex());
    QList<int> kinds;
    for (const TransportNote& note : framing.TakeNotes()) {
        kinds << int(note.kind);
        QVERIFY(note.bytes > 0);
        QVERIFY(!DescribeTransportNote(note).empty());
    }
    QCOMPARE(kinds, notes);
    QVERIFY(framing.TakeNotes().empty());
}

// The address becomes the unit id, the CRC is left off, every request has a transaction id of
// its own; what is too short to be a frame does not go.
void TestGatewayPort::modbusTcpRequests() {
    MbapFraming framing;
    std::vector<uint8_t> out;
    const std::vector<uint8_t> read = Bytes(ReadRequest);
    QVERIFY(framing.Outgoing(read.data(), read.size(), out));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(out.data()), int(out.size())).toHex(),
             QByteArray("000100000006070300000002"));
    QVERIFY(framing.Outgoing(read.data(), read.size(), out));
    QCOMPARE(out[1], uint8_t(2));
    QCOMPARE(framing.LastTransaction(), uint16_t(2));
    const uint8_t tooShort[] = {7, 3, 0};
    QVERIFY(!framing.Outgoing(tooShort, sizeof tooShort, out));
}

void TestGatewayPort::portNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("wellFormed");
    QTest::addColumn<Transport>("transport");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("tcp") << "tcp://192.168.1.20:4001" << true << Transport::RawTcp << "192.168.1.20"
                         << 4001;
    QTest::newRow("modbus-tcp, name")
        << "modbus-tcp://gw.plant:502" << true << Transport::ModbusTcp << "gw.plant" << 502;
    QTest::newRow("upper case scheme, slash")
        << "TCP://host:1/" << true << Transport::RawTcp << "host" << 1;
    QTest::newRow("IPv6") << "tcp://[::1]:502" << true << Transport::RawTcp << "::1" << 502;
    QTest::newRow("IPv6 without brackets")
        << "tcp://::1:502" << false << Transport::RawTcp << "" << 0;
    QTest::newRow("no port") << "tcp://host" << false << Transport::RawTcp << "" << 0;
    QTest::newRow("port 0") << "tcp://host:0" << false << Transport::RawTcp << "" << 0;
    QTest::newRow("port too big") << "modbus-tcp://host:65536" << false << Transport::ModbusTcp
                                  << "" << 0;
    QTest::newRow("port not a number") << "tcp://host:50x" << false << Transport::RawTcp << "" << 0;
    QTest::newRow("no host") << "tcp://:502" << false << Transport::RawTcp << "" << 0;
    QTest::newRow("serial device") << "/dev/ttyUSB0" << false << Transport::Serial << "" << 0;
    QTest::newRow("COM port") << "COM3" << false << Transport::Serial << "" << 0;
}

void TestGatewayPort::portNames() {
    QFETCH(QString, name);
    QFETCH(bool, wellFormed);
    QFETCH(Transport, transport);
    QFETCH(QString, host);
    QFETCH(int, port);
    NetworkPortName parsed;
    QCOMPARE(ParseNetworkPortName(name.toStdString(), parsed), wellFormed);
    QCOMPARE(parsed.transport, transport);
    QCOMPARE(IsNetworkPortName(name.toStdString()), transport != Transport::Serial);
    if (!wellFormed) return;
    QCOMPARE(QString::fromStdString(parsed.host), host);
    QCOMPARE(int(parsed.port), port);
}

// Each failure has its own message, with the system's reason kept beside it; the port stays
// closed.
void TestGatewayPort::connectFailures_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("message");
    QTest::addColumn<bool>("systemReason");
    QTest::newRow("refused") << QStringLiteral("tcp://127.0.0.1:%1").arg(ClosedPort())
                             << int(OpenStatus::Refused) << 18 << true;
    QTest::newRow("refused, Modbus TCP")
        << QStringLiteral("modbus-tcp://127.0.0.1:%1").arg(ClosedPort()) << int(OpenStatus::Refused)
        << 18 << true;
    QTest::newRow("unknown host") << "tcp://no-such-host.invalid:502"
                                  << int(OpenStatus::HostUnknown) << 17 << true;
    QTest::newRow("bad name") << "tcp://127.0.0.1" << int(OpenStatus::BadName) << 16 << false;
}

void TestGatewayPort::connectFailures() {
    QFETCH(QString, name);
    QFETCH(int, status);
    QFETCH(int, message);
    QFETCH(bool, systemReason);
    std::unique_ptr<Device> device;
    QCOMPARE(int(Device::Open(name.toStdString(), device)), status);
    QVERIFY(!device);
    if (systemReason) QVERIFY(!LastErrorText().empty());
    QVERIFY(std::string(NetworkFailureText(OpenStatus(status))).size() > 0);

    TSerialPort port;
    port.SetPort(name);
    try {
        port.Open();
        QFAIL("opened");
    } catch (const ESerialPort& e) {
        QCOMPARE(e.Message(), QString::fromUtf8(SerialPortMessages[message]));
        QCOMPARE(e.SystemError() != 0, systemReason);
        if (systemReason) QVERIFY(!ErrorText(e.SystemError()).empty());
    }
    QVERIFY(!port.Connected());
}

void TestGatewayPort::portOverGateway_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("silenceNeeded");
    QTest::newRow("transparent") << int(sim::GatewayKind::Transparent) << true;
    QTest::newRow("Modbus TCP") << int(sim::GatewayKind::ModbusTcp) << false;
}

// As on a pseudo-terminal: RxChar events whose counts add up to the answer, read in the
// handler; the answer is the instrument's own (through MBAP: rebuilt with the same CRC).
void TestGatewayPort::portOverGateway() {
    QFETCH(int, kind);
    QFETCH(bool, silenceNeeded);
    GatewayedInstrument line{sim::GatewayKind(kind)};
    Received received;
    TSerialPort port;
    port.SetPort(QString::fromStdString(line.gateway->Url()));
    QVERIFY(port.IsNetworkPort());
    QCOMPARE(port.NetworkAllowanceMs(), 200u);
    port.SetNetworkAllowanceMs(350);
    port.OnRxChar = [&received](TSerialPort* sender, int32_t count) {
        QByteArray bytes(count, '\0');
        const int32_t n = sender->Read(bytes.data(), count);
        received.Add(bytes.left(n), count);
    };
    port.Open();
    QVERIFY(port.Connected());
    QCOMPARE(port.NetworkAllowanceMs(), 350u);
    QCOMPARE(port.NeedsFrameSilence(), silenceNeeded);

    for (int round = 1; round <= 3; ++round) {
        QCOMPARE(port.Write(ReadRequest.constData(), int32_t(ReadRequest.size())),
                 int32_t(ReadRequest.size()));
        QVERIFY(line.instrument.WaitForAnswers(size_t(round), 10000));
        QByteArray expected;
        for (const sim::Bytes& answer : line.instrument.SentAnswers())
            expected +=
                QByteArray(reinterpret_cast<const char*>(answer.data()), int(answer.size()));
        QTRY_COMPARE_WITH_TIMEOUT(received.Bytes().toHex(), expected.toHex(), 10000);
    }
    int32_t total = 0;
    for (int32_t count : received.Counts()) total += count;
    QCOMPARE(total, int32_t(received.Bytes().size()));
    QCOMPARE(port.InBufCount(), 0);
    QVERIFY(port.TakeTransportNotes().empty());
    port.Close();
    QVERIFY(!port.Connected());
}

void TestGatewayPort::droppedConnectionFailsLikeUnpluggedAdapter_data() {
    portOverGateway_data();
}

// The gateway closes the connection: the event thread wakes once and does not spin, and the
// calls the exchange makes fail with ESerialPort carrying the system's reason, as for an
// adapter pulled out.
void TestGatewayPort::droppedConnectionFailsLikeUnpluggedAdapter() {
    QFETCH(int, kind);
    GatewayedInstrument line{sim::GatewayKind(kind)};
    TSerialPort port;
    port.SetPort(QString::fromStdString(line.gateway->Url()));
    port.SetSyncMethod(smNone);
    port.OnRxChar = [](TSerialPort*, int32_t) {};
    port.Open();
    QTRY_COMPARE_WITH_TIMEOUT(int(line.gateway->Connections()), 1, 10000);
    line.gateway->DropConnection();
    QTRY_VERIFY_WITH_TIMEOUT(port.EventThread()->WakeUps() >= 1, 10000);
    QTest::qWait(300);
    const int wakeUps = port.EventThread()->WakeUps();
    QTest::qWait(300);
    QCOMPARE(port.EventThread()->WakeUps(), wakeUps);

    try {
        port.InBufCount();
        QFAIL("the queue of a closed connection was counted");
    } catch (const ESerialPort& e) {
        QCOMPARE(e.Message(), QString::fromUtf8(SerialPortMessages[9]));
        QCOMPARE(e.SystemError(), ECONNRESET);
    }
    char byte;
    QVERIFY_THROWS_EXCEPTION(ESerialPort, port.Read(&byte, 1));
    QVERIFY_THROWS_EXCEPTION(ESerialPort, port.Write(ReadRequest.constData(), 8));
    port.Close();
    QVERIFY(!port.Connected());
}

QTEST_GUILESS_MAIN(TestGatewayPort)
#include "test_gateway_port.moc"
