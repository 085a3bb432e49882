// tessera-cli through Ethernet gateways (loopback only): the real program against the virtual
// instruments behind the virtual gateways (a transparent serial server and a Modbus TCP
// gateway, in this process and as tessera-sim --tcp / --modbus-tcp), with the instruments'
// faults and a dropped connection; against peers no one here wrote (mbpoll reading the
// virtual Modbus TCP gateway, a libmodbus Modbus TCP server read by tessera-cli); and against
// servers that misbehave. Judged by exit code and output: a clear message, nothing hangs,
// nothing wrong shown as good.
#include <arpa/inet.h>
#include <modbus.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QProcess>
#include <QRegularExpression>
#include <QtTest>
#include <atomic>
#include <thread>

#include "ProgramRun.h"
#include "sim/BusList.h"
#include "sim/TcpGateway.h"
#include "sim/VirtualBus.h"

namespace {

Run Program(const QString& program, const QStringList& arguments, int timeoutMs = 30000) {
    return RunProgram(program, arguments, timeoutMs);
}

Run Cli(const QStringList& arguments) {
    return Program(QStringLiteral(TESSERA_CLI_PROGRAM), arguments);
}

// The virtual line (one instrument alone, or a bus) behind a gateway of the kind asked.
struct GatewayedLine {
    std::unique_ptr<sim::VirtualBus> bus;
    std::unique_ptr<sim::TcpGateway> gateway;

    GatewayedLine(const QString& instruments, sim::GatewayKind kind) {
        std::vector<sim::Config> configs;
        std::string error;
        if (!sim::ParseBus(instruments.toStdString(), configs, error)) return;
        bus = configs.size() == 1 ? std::make_unique<sim::VirtualBus>(
                                        configs, sim::SingleInstrumentLine(configs[0]))
                                  : std::make_unique<sim::VirtualBus>(configs);
        for (size_t i = 0; i < bus->Size(); ++i) sim::SetUpDemoPanel(bus->Instrument(i).Model());
        bus->Start();
        sim::GatewayOptions options;
        options.kind = kind;
        options.answerTimeoutMs = 300;
        gateway = std::make_unique<sim::TcpGateway>(bus->DevicePath(), options);
        gateway->Start();
    }
    bool Valid() const { return bus && gateway && gateway->Port() != 0; }
    QString Url() const { return QString::fromStdString(gateway->Url()); }
};

// A server that takes requests and answers wrongly, one connection at a time.
enum class Misbehaviour {
    NeverAnswers,
    ClosesMidAnswer,
    Garbage,
    WrongLength,
    WrongTransaction,
    PathUnavailable,  // Modbus TCP: exception 0x0A for every unit
};

class MisbehavingServer {
public:
    MisbehavingServer(bool modbusTcp, Misbehaviour behaviour)
        : FModbusTcp(modbusTcp), FBehaviour(behaviour) {
        FListen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (bind(FListen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(FListen, 4) != 0 ||
            getsockname(FListen, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            return;
        FPort = ntohs(address.sin_port);
        FThread = std::thread([this] { Run(); });
    }
    ~MisbehavingServer() {
        FStop = true;
        if (FThread.joinable()) FThread.join();
        ::close(FListen);
    }
    QString Url() const {
        return QStringLiteral("%1://127.0.0.1:%2")
            .arg(FModbusTcp ? "modbus-tcp" : "tcp")
            .arg(FPort);
    }
    bool Valid() const { return FPort != 0; }

private:
    // Waits for `fd` to be readable, looking at the stop flag every 50 ms.
    bool Readable(int fd) {
        while (!FStop) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 50) > 0) return true;
        }
        return false;
    }
    void Run() {
        while (Readable(FListen)) {
            const int client = accept(FListen, nullptr, nullptr);
            if (client < 0) continue;
            Serve(client);
            ::close(client);
        }
    }
    void Serve(int client) {
        QByteArray pending;
        char chunk[512];
        while (Readable(client)) {
            const ssize_t got = recv(client, chunk, sizeof chunk, 0);
            if (got <= 0) return;
            pending.append(chunk, int(got));
            if (FModbusTcp && pending.size() < 12) continue;
            const QByteArray answer = Answer(pending);
            pending.clear();
            if (FBehaviour == Misbehaviour::NeverAnswers) continue;
            if (FBehaviour == Misbehaviour::ClosesMidAnswer) {
                send(client, answer.constData(), size_t(answer.size() / 2), MSG_NOSIGNAL);
                return;
            }
            send(client, answer.constData(), size_t(answer.size()), MSG_NOSIGNAL);
        }
    }
    // The answer to a read of N registers, zeros, spoiled as the behaviour says.
    QByteArray Answer(const QByteArray& request) const {
        if (FBehaviour == Misbehaviour::Garbage)
            return QByteArray::fromHex("DEADBEEF00FF1234567890ABCDEF");
        if (!FModbusTcp) return QByteArray::fromHex("0703040000");  // the start of an answer
        const int registers = uint8_t(request[10]) << 8 | uint8_t(request[11]);
        QByteArray pdu;
        pdu.append(char(request[7]));
        pdu.append(char(registers * 2));
        pdu.append(QByteArray(registers * 2, '\0'));
        if (FBehaviour == Misbehaviour::WrongLength) pdu.chop(2);
        if (FBehaviour == Misbehaviour::PathUnavailable) {
            pdu.clear();
            pdu.append(char(uint8_t(request[7]) | 0x80));
            pdu.append(char(0x0A));
        }
        QByteArray frame = request.left(4);
        if (FBehaviour == Misbehaviour::WrongTransaction) frame[1] = char(frame[1] + 1);
        frame.append(char(0));
        frame.append(char(pdu.size() + 1));
        frame.append(request[6]);
        return frame + pdu;
    }

    const bool FModbusTcp;
    const Misbehaviour FBehaviour;
    int FListen = -1;
    uint16_t FPort = 0;
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

uint16_t FreePort() {
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

const QRegularExpression ReadingLine(QStringLiteral("^parameter 1: -?[0-9.]+ V\n$"));

}  // namespace

Q_DECLARE_METATYPE(sim::GatewayKind)
Q_DECLARE_METATYPE(Misbehaviour)

class TestGatewayCli : public QObject {
    Q_OBJECT
private slots:
    void throughGateway_data();
    void throughGateway();
    void instrumentFaultsReachTheClient_data();
    void instrumentFaultsReachTheClient();
    void droppedConnection_data();
    void droppedConnection();
    void simProgramServesGateway_data();
    void simProgramServesGateway();
    void misbehavingServers_data();
    void misbehavingServers();
    void mbpollReadsVirtualGateway();
    void readsLibmodbusTcpServer();
};

void TestGatewayCli::throughGateway_data() {
    QTest::addColumn<sim::GatewayKind>("kind");
    QTest::addColumn<QString>("instruments");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("output");  // a pattern of stdout, or of stderr on failure
    const auto raw = sim::GatewayKind::Transparent;
    const auto mbap = sim::GatewayKind::ModbusTcp;
    QTest::newRow("tcp: search finds QV")
        << raw << "qv:12" << QStringList{"search"} << 0 << "^address=12 protocol=qv\n$";
    QTest::newRow("tcp: search finds Modbus")
        << raw << "modbus:7" << QStringList{"search"} << 0 << "^address=7 protocol=modbus\n$";
    QTest::newRow("tcp: QV reading")
        << raw << "qv:12" << QStringList{"read"} << 0 << ReadingLine.pattern();
    QTest::newRow("tcp: Modbus reading")
        << raw << "modbus:7" << QStringList{"--protocol", "modbus", "--address", "7", "read"} << 0
        << ReadingLine.pattern();
    QTest::newRow("tcp: scan of a mixed bus")
        << raw << "modbus:3,qv:5" << QStringList{"scan", "--addresses", "2-6"} << 0
        << "^BAUD +PROTOCOL +ADDRESS +SERIAL\n9600 +modbus +3 +\\S+\n9600 +qv +5 +\\S+\n$";
    QTest::newRow("modbus-tcp: search")
        << mbap << "modbus:7" << QStringList{"search"} << 0 << "^address=7 protocol=modbus\n$";
    QTest::newRow("modbus-tcp: reading")
        << mbap << "modbus:7" << QStringList{"--address", "7", "read"} << 0
        << ReadingLine.pattern();
    QTest::newRow("modbus-tcp: scan lists only who answered")
        << mbap << "modbus:3,modbus:5" << QStringList{"scan", "--addresses", "2-6"} << 0
        << "^BAUD +PROTOCOL +ADDRESS +SERIAL\n9600 +modbus +3 +\\S+\n9600 +modbus +5 +\\S+\n$";
    QTest::newRow("modbus-tcp: QV refused")
        << mbap << "modbus:7" << QStringList{"--protocol", "qv", "search"} << 1
        << "QV cannot go through modbus-tcp://.*Modbus frames only";
    QTest::newRow("modbus-tcp: QV switch refused")
        << mbap << "modbus:7" << QStringList{"switch-protocol", "qv"} << 1
        << "QV cannot go through";
    QTest::newRow("modbus-tcp: no instrument there is silence, not a refusal")
        << mbap << "modbus:7" << QStringList{"--protocol", "modbus", "--address", "9", "read"} << 3
        << "did not answer .*gateway reports no instrument at address 9: exception 11";
}

void TestGatewayCli::throughGateway() {
    QFETCH(sim::GatewayKind, kind);
    QFETCH(QString, instruments);
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QString, output);
    GatewayedLine line(instruments, kind);
    QVERIFY(line.Valid());
    const Run run = Cli(QStringList{"--port", line.Url()} + arguments);
    QVERIFY2(run.code == code, qPrintable(Explain(run)));
    const QString judged = code == 0 ? run.out : run.err;
    QVERIFY2(judged.contains(QRegularExpression(output)), qPrintable(Explain(run)));
    if (code != 0) QVERIFY2(!run.out.contains("parameter"), qPrintable(Explain(run)));
}

void TestGatewayCli::instrumentFaultsReachTheClient_data() {
    QTest::addColumn<sim::GatewayKind>("kind");
    QTest::addColumn<int>("fault");  // 0 silence, 1 bad CRC, 2 delay, 3 pieces
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("error");
    const auto raw = sim::GatewayKind::Transparent;
    const auto mbap = sim::GatewayKind::ModbusTcp;
    QTest::newRow("tcp: silence") << raw << 0 << 3 << "did not answer";
    QTest::newRow("tcp: damaged") << raw << 1 << 3 << "no valid answer";
    QTest::newRow("tcp: late") << raw << 2 << 0 << "";
    QTest::newRow("tcp: in pieces") << raw << 3 << 0 << "";
    QTest::newRow("modbus-tcp: silence") << mbap << 0 << 3 << "gateway reports no instrument";
    QTest::newRow("modbus-tcp: damaged") << mbap << 1 << 3 << "gateway reports no instrument";
    QTest::newRow("modbus-tcp: late") << mbap << 2 << 0 << "";
    QTest::newRow("modbus-tcp: in pieces") << mbap << 3 << 0 << "";
}

void TestGatewayCli::instrumentFaultsReachTheClient() {
    QFETCH(sim::GatewayKind, kind);
    QFETCH(int, fault);
    QFETCH(int, code);
    QFETCH(QString, error);
    GatewayedLine line(QStringLiteral("modbus:7"), kind);
    QVERIFY(line.Valid());
    sim::Faults faults;
    faults.silence = fault == 0;
    faults.badCrc = fault == 1;
    faults.delayMs = fault == 2 ? 150 : 0;
    faults.pieces = fault == 3 ? 3 : 1;
    faults.pieceGapMs = 60;
    line.bus->Instrument(0).SetFaults(faults);
    QStringList arguments{"--port", line.Url(), "--protocol", "modbus", "--address", "7", "read"};
    // A late answer is awaited well past its delay: on a loaded machine the gateway's and the
    // instrument's threads add their own.
    if (fault == 2)
        arguments << "--timeout"
                  << "3000";
    const Run run = Cli(arguments);
    QVERIFY2(run.code == code, qPrintable(Explain(run)));
    if (code == 0) {
        QVERIFY2(run.out.contains(ReadingLine), qPrintable(Explain(run)));
    } else {
        QVERIFY2(run.err.contains(error), qPrintable(Explain(run)));
        QVERIFY2(run.out.isEmpty(), qPrintable(Explain(run)));
    }
}

void TestGatewayCli::droppedConnection_data() {
    QTest::addColumn<sim::GatewayKind>("kind");
    QTest::newRow("tcp") << sim::GatewayKind::Transparent;
    QTest::newRow("modbus-tcp") << sim::GatewayKind::ModbusTcp;
}

// The gateway closes the connection at the second request: a plain message, exit 2, no
// reading.
void TestGatewayCli::droppedConnection() {
    QFETCH(sim::GatewayKind, kind);
    GatewayedLine line(QStringLiteral("modbus:7"), kind);
    QVERIFY(line.Valid());
    line.gateway->DropAfterRequests(1);
    const Run run = Cli({"--port", line.Url(), "--protocol", "modbus", "--address", "7", "read"});
    QVERIFY2(run.code == 2, qPrintable(Explain(run)));
    QVERIFY2(run.err.contains("lost the connection to " + line.Url()), qPrintable(Explain(run)));
    QVERIFY2(run.out.isEmpty(), qPrintable(Explain(run)));
    QCOMPARE(int(line.gateway->Requests()), 2);
}

void TestGatewayCli::simProgramServesGateway_data() {
    QTest::addColumn<QStringList>("simArguments");
    QTest::addColumn<QStringList>("cliArguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("output");
    QTest::newRow("--tcp, QV") << QStringList{"--tcp", "127.0.0.1:0", "--protocol",
                                              "qv",    "--address",   "12"}
                               << QStringList{"search"} << 0 << "address=12 protocol=qv";
    QTest::newRow("--modbus-tcp") << QStringList{"--modbus-tcp", "127.0.0.1:0", "--address", "7"}
                                  << QStringList{"--address", "7", "read", "--params", "1,2"} << 0
                                  << "parameter 1: .*\nparameter 2: ";
    QTest::newRow("--modbus-tcp, bus scan")
        << QStringList{"--modbus-tcp", "127.0.0.1:0", "--bus", "modbus:2,modbus:4"}
        << QStringList{"scan", "--addresses", "1-4"} << 0 << "modbus +2 .*\n.*modbus +4 ";
    QTest::newRow("--tcp, dropped")
        << QStringList{"--tcp", "127.0.0.1:0", "--address", "7", "--drop-after", "1"}
        << QStringList{"--protocol", "modbus", "--address", "7", "read"} << 2
        << "lost the connection";
}

void TestGatewayCli::simProgramServesGateway() {
    QFETCH(QStringList, simArguments);
    QFETCH(QStringList, cliArguments);
    QFETCH(int, code);
    QFETCH(QString, output);
    QProcess sim;
    sim.start(QStringLiteral(TESSERA_SIM_PROGRAM), simArguments);
    QVERIFY(sim.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(sim.canReadLine() || sim.state() != QProcess::Running, 10000);
    const QString url = QString::fromUtf8(sim.readLine()).trimmed();
    QVERIFY2(url.contains(QRegularExpression("^(tcp|modbus-tcp)://127\\.0\\.0\\.1:[1-9][0-9]*$")),
             qPrintable(url + sim.readAllStandardError()));
    const Run run = Cli(QStringList{"--port", url} + cliArguments);
    sim.terminate();
    QVERIFY(sim.waitForFinished(10000));
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY2(run.code == code, qPrintable(Explain(run)));
    QVERIFY2((code == 0 ? run.out : run.err).contains(QRegularExpression(output)),
             qPrintable(Explain(run)));
}

void TestGatewayCli::misbehavingServers_data() {
    QTest::addColumn<bool>("modbusTcp");
    QTest::addColumn<Misbehaviour>("behaviour");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("error");
    const QStringList read{"--protocol", "modbus",          "--address", "7",   "--timeout",
                           "100",        "--net-allowance", "100",       "read"};
    QTest::newRow("tcp: never answers")
        << false << Misbehaviour::NeverAnswers << read << 3 << "did not answer";
    QTest::newRow("tcp: closes mid-answer")
        << false << Misbehaviour::ClosesMidAnswer << read << 2 << "lost the connection";
    QTest::newRow("tcp: garbage") << false << Misbehaviour::Garbage << read << 3
                                  << "no valid answer";
    QTest::newRow("modbus-tcp: never answers")
        << true << Misbehaviour::NeverAnswers << read << 3 << "did not answer";
    QTest::newRow("modbus-tcp: closes mid-answer")
        << true << Misbehaviour::ClosesMidAnswer << read << 2 << "lost the connection";
    QTest::newRow("modbus-tcp: garbage")
        << true << Misbehaviour::Garbage << read << 3 << "no valid Modbus TCP header";
    QTest::newRow("modbus-tcp: wrong length")
        << true << Misbehaviour::WrongLength << read << 3 << "length 9 does not fit";
    QTest::newRow("modbus-tcp: wrong transaction id")
        << true << Misbehaviour::WrongTransaction << read << 3 << "transaction id 2, awaited 1";
    QTest::newRow("modbus-tcp: path unavailable (0x0A) is no instrument, scan")
        << true << Misbehaviour::PathUnavailable
        << QStringList{"--timeout", "100", "scan", "--addresses", "1-3"} << 3 << "";
    QTest::newRow("modbus-tcp: path unavailable (0x0A) is no instrument, search")
        << true << Misbehaviour::PathUnavailable << QStringList{"search"} << 3
        << "no instrument answered the search";
}

void TestGatewayCli::misbehavingServers() {
    QFETCH(bool, modbusTcp);
    QFETCH(Misbehaviour, behaviour);
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QString, error);
    MisbehavingServer server(modbusTcp, behaviour);
    QVERIFY(server.Valid());
    const Run run = Cli(QStringList{"--port", server.Url()} + arguments);
    QVERIFY2(run.code == code, qPrintable(Explain(run)));
    QVERIFY2(run.err.contains(error), qPrintable(Explain(run)));
    // Nothing is shown as an answer: no reading, no instrument found.
    QVERIFY2(!run.out.contains("parameter") && !run.out.contains("modbus") &&
                 !run.out.contains("address="),
             qPrintable(Explain(run)));
}

// mbpoll, as a Modbus TCP client no one here wrote, reads four holding registers through the
// virtual gateway: the values it prints are those the instrument put on its line.
void TestGatewayCli::mbpollReadsVirtualGateway() {
    GatewayedLine line(QStringLiteral("modbus:7"), sim::GatewayKind::ModbusTcp);
    QVERIFY(line.Valid());
    const Run run = Program(QStringLiteral("mbpoll"),
                            {"-m", "tcp", "-a", "7", "-r", "101", "-c", "4", "-t", "4:hex", "-1",
                             "-o", "5",  // a busy machine may take longer than its 1 s
                             "-p", QString::number(line.gateway->Port()), "127.0.0.1"});
    QVERIFY2(run.code == 0, qPrintable(Explain(run)));
    QVERIFY2(!run.out.contains("timeout"), qPrintable(Explain(run)));
    // The instrument notes its answer after putting it on the line.
    QTRY_COMPARE_WITH_TIMEOUT(int(line.bus->Instrument(0).SentAnswers().size()), 1, 10000);
    const std::vector<sim::Bytes> answers = line.bus->Instrument(0).SentAnswers();
    const sim::Bytes& answer = answers[0];
    QCOMPARE(int(answer.size()), 5 + 8);
    QRegularExpressionMatchIterator values =
        QRegularExpression(QStringLiteral("\\[(\\d+)\\]:\\s+0x([0-9A-Fa-f]{4})"))
            .globalMatch(run.out);
    int count = 0;
    while (values.hasNext()) {
        const QRegularExpressionMatch m = values.next();
        QCOMPARE(m.captured(1).toInt(), 101 + count);
        const int word = answer[3 + 2 * count] << 8 | answer[4 + 2 * count];
        QCOMPARE(m.captured(2).toInt(nullptr, 16), word);
        ++count;
    }
    QCOMPARE(count, 4);
}

// A Modbus TCP server written with libmodbus, the instrument's registers set by hand: the
// reading comes out as the panel would show it.
void TestGatewayCli::readsLibmodbusTcpServer() {
    const uint16_t port = FreePort();
    modbus_t* server = modbus_new_tcp("127.0.0.1", port);
    QVERIFY(server);
    const int listening = modbus_tcp_listen(server, 1);
    QVERIFY(listening >= 0);
    modbus_mapping_t* map = modbus_mapping_new(0, 0, 120, 0);
    QVERIFY(map);
    auto single = [](float value, uint16_t* registers) {
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        registers[0] = uint16_t(bits & 0xFFFF);
        registers[1] = uint16_t(bits >> 16);
    };
    single(230.4f, &map->tab_registers[0]);    // value of parameter 1
    single(250.0f, &map->tab_registers[100]);  // its scale,
    map->tab_registers[102] = 1;               // unit (V)
    map->tab_registers[103] = 2;               // and point code
    int accepted = listening;
    std::thread serve([&] {
        if (modbus_tcp_accept(server, &accepted) < 0) return;
        uint8_t request[MODBUS_TCP_MAX_ADU_LENGTH];
        for (;;) {
            const int n = modbus_receive(server, request);
            if (n < 0) break;  // the client has gone
            if (n > 0) modbus_reply(server, request, n, map);
        }
    });
    const Run run = Cli({"--port", QStringLiteral("modbus-tcp://127.0.0.1:%1").arg(port),
                         "--address", "7", "read", "--params", "1", "--json"});
    shutdown(listening, SHUT_RDWR);  // ends a wait for a client that never came
    serve.join();
    modbus_mapping_free(map);
    modbus_close(server);
    modbus_free(server);
    ::close(listening);
    QVERIFY2(run.code == 0, qPrintable(Explain(run)));
    QVERIFY2(run.out.contains(QRegularExpression("^\\{\"time\":\"[^\"]+\",\"parameter\":1,"
                                                 "\"text\":\"230.4\",\"value\":230.39999\\d*,"
                                                 "\"unit\":\"V\"\\}\n$")),
             qPrintable(run.out));
}

QTEST_GUILESS_MAIN(TestGatewayCli)
#include "test_gateway_cli.moc"
