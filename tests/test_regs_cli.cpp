// tessera-cli regs and raw, the real program against a Modbus server no one here wrote
// (libmodbus) with known contents, and against the virtual instrument for QV: the values in
// every type and order, writes seen in the server's tables, exceptions with their meaning,
// input refused before anything is sent, and the line's parity and stop bits on the
// pseudo-terminal's termios.
#include <modbus.h>
#include <termios.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <initializer_list>
#include <thread>

#include "InstrumentSetups.h"
#include "ProgramRun.h"
#include "PtyBridge.h"
#include "PtyPair.h"
#include "cli/Commands.h"
#include "cli/Errors.h"
#include "cli/Options.h"
#include "protocol/Crc.h"
#include "protocol/RawFrames.h"
#include "protocol/Requests.h"

namespace {

constexpr int ServerAddress = 7;

Run Cli(const QStringList& arguments) {
    return RunProgram(QStringLiteral(TESSERA_CLI_PROGRAM), arguments, 30000);
}

void Put(uint16_t* at, std::initializer_list<uint16_t> words) {
    std::copy(words.begin(), words.end(), at);
}

// libmodbus's RTU server on one end of a pty bridge, serving its tables on a thread until
// destroyed. Holding registers 1000..1099, input registers 0..49, coils and discrete inputs
// 0..99. The tables are read by the test only after the server has stopped.
class ModbusServer {
public:
    ModbusServer() {
        if (!FLine.Valid()) return;
        FContext = modbus_new_rtu(FLine.PathB().toLocal8Bit().constData(), 9600, 'N', 8, 1);
        if (!FContext) return;
        modbus_set_slave(FContext, ServerAddress);
        modbus_set_indication_timeout(FContext, 0, 100000);
        // libmodbus waits this long before some exception answers (to let the line settle):
        // well within the program's wait for an answer.
        modbus_set_response_timeout(FContext, 0, 50000);
        if (modbus_connect(FContext) != 0) return;
        FMap = modbus_mapping_new_start_address(0, 100, 0, 100, 1000, 100, 0, 50);
        if (!FMap) return;
        Fill();
        FThread = std::thread([this] { Serve(); });
    }
    ~ModbusServer() {
        Stop();
        if (FMap) modbus_mapping_free(FMap);
        if (FContext) {
            modbus_close(FContext);
            modbus_free(FContext);
        }
    }
    bool Valid() const { return FThread.joinable(); }
    QString Port() const { return FLine.PathA(); }
    int Requests() const { return FRequests.load(); }
    void Stop() {
        FStop = true;
        if (FThread.joinable()) FThread.join();
    }
    // After Stop().
    uint16_t Register(int number) const { return FMap->tab_registers[number - 1000]; }
    uint8_t Coil(int number) const { return FMap->tab_bits[number]; }

private:
    void Fill() {
        uint16_t* r = FMap->tab_registers;  // r[i] is register 1000 + i
        r[0] = 3;
        r[2] = 7;
        r[4] = 42;
        r[6] = 2;
        // 123.456 is 0x42F6E979, in the four orders.
        Put(r + 20, {0x42F6, 0xE979});
        Put(r + 22, {0xE979, 0x42F6});
        Put(r + 24, {0xF642, 0x79E9});
        Put(r + 26, {0x79E9, 0xF642});
        r[30] = 0xFFFE;
        Put(r + 31, {0xFFFE, 0x7960});                          // -100000
        Put(FMap->tab_input_registers + 10, {0x1170, 0x0001});  // 70000, CDAB
        const uint8_t coils[] = {1, 0, 1, 1, 0};
        std::memcpy(FMap->tab_bits + 3, coils, sizeof coils);
        FMap->tab_input_bits[1] = 1;
        FMap->tab_input_bits[2] = 1;
    }
    void Serve() {
        uint8_t request[MODBUS_RTU_MAX_ADU_LENGTH];
        while (!FStop) {
            const int n = modbus_receive(FContext, request);
            if (n <= 0) continue;
            ++FRequests;
            modbus_reply(FContext, request, n, FMap);
        }
    }

    PtyBridge FLine;
    modbus_t* FContext = nullptr;
    modbus_mapping_t* FMap = nullptr;
    std::atomic<bool> FStop{false};
    std::atomic<int> FRequests{0};
    std::thread FThread;
};

QStringList Regs(const ModbusServer& server, const QStringList& arguments) {
    return QStringList{"--port", server.Port(), "--address", QString::number(ServerAddress),
                       "regs"} +
           arguments;
}

QString WithCrcHex(const QByteArray& hex) {
    QByteArray frame = QByteArray::fromHex(hex);
    frame.resize(frame.size() + 2);
    StoreCrc(reinterpret_cast<uint8_t*>(frame.data()), uint16_t(frame.size()));
    return QString::fromLatin1(frame.toHex(' ').toUpper());
}

}  // namespace

class TestRegsCli : public QObject {
    Q_OBJECT

private slots:
    void reads_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("out");
        QTest::newRow("named register")
            << QStringList{"read", "--start", "1002"} << "1002\t7\tСетевой адрес: 7\n";
        QTest::newRow("block")
            << QStringList{"read", "--start", "1000", "--count", "3"}
            << "1000\t3\tЧисло параметров: 3\n1001\t0\n1002\t7\tСетевой адрес: 7\n";
        for (const char* order : {"ABCD", "CDAB", "BADC", "DCBA"}) {
            const int offset = 20 + 2 * int(QByteArray("ABCDCDABBADCDCBA").indexOf(order) / 4);
            QTest::newRow(qPrintable(QStringLiteral("float %1").arg(order)))
                << QStringList{"read",   "--start", QString::number(1000 + offset),
                               "--type", "float",   "--order",
                               order}
                << QStringLiteral("%1\t123.456\n").arg(1000 + offset);
        }
        QTest::newRow("float bits in hex")
            << QStringList{"read",    "--start", "1022",   "--type", "float",
                           "--order", "CDAB",    "--base", "hex"}
            << "1022\t0x42F6E979\n";
        QTest::newRow("s16") << QStringList{"read", "--start", "1030", "--type", "s16"}
                             << "1030\t-2\n";
        QTest::newRow("u16 binary") << QStringList{"read", "--start", "1030", "--base", "bin"}
                                    << "1030\t0b1111111111111110\n";
        QTest::newRow("s32") << QStringList{"read", "--start", "1031", "--type", "s32"}
                             << "1031\t-100000\n";
        QTest::newRow("two floats")
            << QStringList{"read", "--start", "1020", "--count", "4", "--type", "float"}
            << "1020\t123.456\n1022\t-1.883367e+25\n";
        QTest::newRow("input registers")
            << QStringList{"read",   "--function", "4",       "--start", "10",
                           "--type", "u32",        "--order", "CDAB"}
            << "10\t70000\n";
        QTest::newRow("coils") << QStringList{"read", "--function", "1", "--start",
                                              "3",    "--count",    "5"}
                               << "3\t1\n4\t0\n5\t1\n6\t1\n7\t0\n";
        QTest::newRow("discrete inputs")
            << QStringList{"read", "--function", "2", "--start", "0", "--count", "3"}
            << "0\t0\n1\t1\n2\t1\n";
    }
    void reads() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, out);
        ModbusServer server;
        QVERIFY(server.Valid());
        const Run run = Cli(Regs(server, arguments));
        QVERIFY2(run.code == 0, qPrintable(Explain(run)));
        QCOMPARE(run.out, out);
    }

    void readAsJson() {
        ModbusServer server;
        QVERIFY(server.Valid());
        const Run run = Cli(Regs(server, {"read", "--start", "1002", "--count", "2", "--json"}));
        QVERIFY2(run.code == 0, qPrintable(Explain(run)));
        QCOMPARE(run.out, QStringLiteral("{\"address\":7,\"function\":3,\"start\":1002,\"values\":["
                                         "{\"register\":1002,\"value\":7,\"registers\":[7],"
                                         "\"name\":\"Сетевой адрес\",\"meaning\":\"7\"},"
                                         "{\"register\":1003,\"value\":0,\"registers\":[0],"
                                         "\"name\":null,\"meaning\":null}]}\n"));
        QVERIFY(QJsonDocument::fromJson(run.out.toUtf8()).isObject());
    }

    void writes_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QChar>("table");  // 'r' holding registers, 'c' coils
        QTest::addColumn<int>("start");
        QTest::addColumn<QList<int>>("expected");
        QTest::addColumn<QString>("out");
        QTest::newRow("one register (6)")
            << QStringList{"write", "--start", "1050", "--value", "1234"} << QChar('r') << 1050
            << QList<int>{1234, 0} << "wrote 1 register from 1050\n";
        QTest::newRow("block (16)")
            << QStringList{"write", "--start", "1050", "--value", "1,2,3"} << QChar('r') << 1050
            << QList<int>{1, 2, 3, 0} << "wrote 3 registers from 1050\n";
        QTest::newRow("one register by 16")
            << QStringList{"write", "--function", "16", "--start", "1050", "--value", "9"}
            << QChar('r') << 1050 << QList<int>{9} << "wrote 1 register from 1050\n";
        QTest::newRow("float CDAB")
            << QStringList{"write",   "--start", "1050",    "--type", "float",
                           "--order", "CDAB",    "--value", "123.456"}
            << QChar('r') << 1050 << QList<int>{0xE979, 0x42F6} << "wrote 2 registers from 1050\n";
        QTest::newRow("s32 DCBA") << QStringList{"write",   "--start", "1050",    "--type", "s32",
                                                 "--order", "DCBA",    "--value", "-2"}
                                  << QChar('r') << 1050 << QList<int>{0xFEFF, 0xFFFF}
                                  << "wrote 2 registers from 1050\n";
        QTest::newRow("s16 negative")
            << QStringList{"write", "--start", "1050", "--type", "s16", "--value", "-2"}
            << QChar('r') << 1050 << QList<int>{0xFFFE} << "wrote 1 register from 1050\n";
        QTest::newRow("coil (5)") << QStringList{"write", "--function", "5", "--start",
                                                 "10",    "--value",    "1"}
                                  << QChar('c') << 10 << QList<int>{1, 0}
                                  << "wrote 1 coil from 10\n";
        QTest::newRow("coils (15)")
            << QStringList{"write", "--function", "15", "--start", "10", "--value", "1,0,1"}
            << QChar('c') << 10 << QList<int>{1, 0, 1, 0} << "wrote 3 coils from 10\n";
    }
    void writes() {
        QFETCH(QStringList, arguments);
        QFETCH(QChar, table);
        QFETCH(int, start);
        QFETCH(QList<int>, expected);
        QFETCH(QString, out);
        ModbusServer server;
        QVERIFY(server.Valid());
        const Run run = Cli(Regs(server, arguments));
        server.Stop();
        QVERIFY2(run.code == 0, qPrintable(Explain(run)));
        QCOMPARE(run.out, out);
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(int(table == 'r' ? server.Register(start + i) : server.Coil(start + i)),
                     expected[i]);
    }

    void exceptions_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("said");
        QTest::newRow("read beyond the table")
            << QStringList{"regs", "read", "--start", "5000"} << "исключение 2";
        QTest::newRow("write beyond the table")
            << QStringList{"regs", "write", "--start", "5000", "--value", "1"} << "исключение 2";
        QTest::newRow("coils beyond the table")
            << QStringList{"regs", "read", "--function", "1", "--start", "99", "--count", "2"}
            << "исключение 2";
        QTest::newRow("unknown function, raw")
            << QStringList{"raw", "07 41", "--crc"} << "modbus: исключение 1: Недопустимая функция";
        // A read of no registers, which regs refuses to send, typed by hand.
        QTest::newRow("no registers, raw") << QStringList{"raw", "07 03 03 E8 00 00", "--crc"}
                                           << "modbus: исключение 3: Неверное значение параметра";
    }
    void exceptions() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, said);
        ModbusServer server;
        QVERIFY(server.Valid());
        const Run run = Cli(QStringList{"--port", server.Port(), "--address", "7"} + arguments);
        QVERIFY2(run.code == cli::ExitRefused, qPrintable(Explain(run)));
        QVERIFY2((run.err + run.out).contains(said), qPrintable(Explain(run)));
    }

    void refusedBeforeSending_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("reason");
        const QString block124 = QStringList(124, "1").join(',');
        const QString coils1969 = QStringList(1969, "0").join(',');
        QTest::newRow("registers read 126")
            << QStringList{"regs", "read", "--start", "1000", "--count", "126"}
            << "1..125 registers";
        QTest::newRow("coils read 2001")
            << QStringList{"regs", "read", "--function", "1", "--start", "0", "--count", "2001"}
            << "1..2000 coils";
        QTest::newRow("registers written 124")
            << QStringList{"regs", "write", "--start", "1000", "--value", block124}
            << "1..123 registers";
        QTest::newRow("coils written 1969")
            << QStringList{"regs",    "write", "--function", "15",
                           "--start", "0",     "--value",    coils1969}
            << "1..1968 coils";
        QTest::newRow("u16 out of range")
            << QStringList{"regs", "write", "--start", "1000", "--value", "70000"}
            << "outside 0..65535";
        QTest::newRow("s16 out of range")
            << QStringList{"regs", "write", "--start", "1000", "--type", "s16", "--value", "-40000"}
            << "outside -32768..32767";
        QTest::newRow("not a number")
            << QStringList{"regs", "write", "--start", "1000", "--type", "float", "--value", "x1"}
            << "not a number";
        QTest::newRow("coil of 2")
            << QStringList{"regs", "write", "--function", "5", "--start", "0", "--value", "2"}
            << "a coil is 0 or 1";
        QTest::newRow("float over three registers")
            << QStringList{"regs", "read", "--start", "1000", "--type", "float", "--count", "3"}
            << "in pairs";
        QTest::newRow("two values by function 6")
            << QStringList{"regs", "write", "--function", "6", "--start", "1000", "--value", "1,2"}
            << "writes one item";
        QTest::newRow("beyond register 65535")
            << QStringList{"regs", "read", "--start", "65535", "--count", "2"}
            << "beyond register 65535";
        QTest::newRow("no start") << QStringList{"regs", "read"} << "needs --start";
        QTest::newRow("read function to write")
            << QStringList{"regs", "write", "--function", "3", "--start", "0", "--value", "1"}
            << "--function 5, 6, 15 or 16";
        QTest::newRow("odd hex digits") << QStringList{"raw", "07 03 3EA 00 01"} << "odd number";
        QTest::newRow("not hex") << QStringList{"raw", "07 03 ZZ"} << "not a hex digit";
        QTest::newRow("257 bytes")
            << QStringList{"raw", QString("07").repeated(257)} << "at most 256";
        QTest::newRow("255 bytes and a CRC")
            << QStringList{"raw", QString("07").repeated(255), "--crc"} << "257 bytes with the CRC";
        QTest::newRow("parity mark")
            << QStringList{"--parity", "mark", "regs", "read", "--start", "1000"}
            << "none, even or odd";
        QTest::newRow("three stop bits")
            << QStringList{"--stop-bits", "3", "regs", "read", "--start", "1000"} << "within 1..2";
    }
    void refusedBeforeSending() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, reason);
        ModbusServer server;
        QVERIFY(server.Valid());
        const Run run = Cli(QStringList{"--port", server.Port(), "--address", "7"} + arguments);
        QCOMPARE(run.code, int(cli::ExitUsage));
        QVERIFY2(run.err.contains(reason), qPrintable(Explain(run)));
        // The line carries requests in order: once this one is answered, anything the refused
        // command had sent would have been served before it.
        const Run after = Cli(Regs(server, {"read", "--start", "1002"}));
        QVERIFY2(after.code == 0, qPrintable(Explain(after)));
        QCOMPARE(server.Requests(), 1);
    }

    void rawModbus_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("out");
        const QString request = WithCrcHex("0703 03EA 0001");
        QTest::newRow("CRC appended") << QStringList{"raw", "07 03 03 EA 00 01", "--crc"}
                                      << "> " + request + "\n< " + WithCrcHex("07 03 02 00 07") +
                                             "\nmodbus: функция 3: 1002 = 7 (Сетевой адрес: 7)\n";
        QTest::newRow("CRC typed, no blanks")
            << QStringList{"raw", QString(request).remove(' ')}
            << "> " + request + "\n< " + WithCrcHex("07 03 02 00 07") +
                   "\nmodbus: функция 3: 1002 = 7 (Сетевой адрес: 7)\n";
        QTest::newRow("as JSON") << QStringList{"raw", "07 06 04 1A 00 05", "--crc", "--json"}
                                 << "{\"sent\":\"" + WithCrcHex("07 06 04 1A 00 05") +
                                        "\",\"received\":\"" + WithCrcHex("07 06 04 1A 00 05") +
                                        "\",\"protocol\":\"modbus\",\"meaning\":\"функция 6: "
                                        "записано 1050 = 5\",\"error\":false}\n";
    }
    void rawModbus() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, out);
        ModbusServer server;
        QVERIFY(server.Valid());
        const Run run = Cli(QStringList{"--port", server.Port()} + arguments);
        QVERIFY2(run.code == 0, qPrintable(Explain(run)));
        QCOMPARE(run.out, out);
    }

    // The instrument's own QV frames typed by hand are told as QV and decoded.
    void rawQv() {
        sim::VirtualInstrument vi(Instrument(sim::Protocol::Qv, 12));
        vi.Start();
        const QString port = QString::fromStdString(vi.DevicePath());
        const Run run = Cli({"--port", port, "--timeout", "200", "raw", "0C 00 4A", "--crc"});
        QVERIFY2(run.code == 0, qPrintable(Explain(run)));
        QVERIFY2(run.out.endsWith("qv: GetAdr: адрес 12\n"), qPrintable(run.out));
        // Nobody at address 13: silence, exit 3, the frame went out once.
        vi.ClearReceived();
        const Run silent = Cli({"--port", port, "--timeout", "200", "raw", "0D 00 4A", "--crc"});
        QCOMPARE(silent.code, int(cli::ExitNoAnswer));
        QVERIFY2(silent.out.contains("< (no answer)"), qPrintable(silent.out));
        QCOMPARE(vi.ReceivedFrames().size(), size_t(1));
    }

    // Without --address the search finds the instrument, as for the other commands.
    void searchFindsTheDevice() {
        sim::VirtualInstrument vi(Instrument(sim::Protocol::Modbus, 9));
        vi.Start();
        const QString port = QString::fromStdString(vi.DevicePath());
        const Run run = Cli({"--port", port, "regs", "read", "--start", "1002"});
        QVERIFY2(run.code == 0, qPrintable(Explain(run)));
        QCOMPARE(run.out, QStringLiteral("1002\t9\tСетевой адрес: 9\n"));
    }

    // The framing options reach the port, as the termios of the pseudo-terminal show. The
    // kernel's pseudo-terminal keeps PARODD and CSTOPB but always clears PARENB, so odd
    // parity is told from even (and none) by PARODD.
    void framingOnTheLine_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("odd");
        QTest::addColumn<bool>("twoStopBits");
        QTest::newRow("default 8N1") << QStringList{} << false << false;
        QTest::newRow("even, 2 stop bits")
            << QStringList{"--parity", "even", "--stop-bits", "2"} << false << true;
        QTest::newRow("odd") << QStringList{"--parity", "odd"} << true << false;
        QTest::newRow("odd, 2 stop bits")
            << QStringList{"--parity", "odd", "--stop-bits", "2"} << true << true;
        QTest::newRow("none, 2 stop bits") << QStringList{"--stop-bits", "2"} << false << true;
    }
    void framingOnTheLine() {
        QFETCH(QStringList, options);
        QFETCH(bool, odd);
        QFETCH(bool, twoStopBits);
        PtyPair pty;
        QVERIFY(pty.Valid());
        QList<QByteArray> words{"tessera-cli", "--port", pty.slavePath.toLocal8Bit()};
        for (const QString& o : options) words << o.toLocal8Bit();
        words << "raw"
              << "01";
        std::vector<const char*> argv;
        for (const QByteArray& w : words) argv.push_back(w.constData());
        const cli::Options o = cli::ParseOptions(int(argv.size()), argv.data());
        const auto line = cli::OpenLine(o);
        termios t{};
        QCOMPARE(tcgetattr(pty.slave, &t), 0);
        QCOMPARE(bool(t.c_cflag & PARODD), odd);
        QCOMPARE(bool(t.c_cflag & CSTOPB), twoStopBits);
        QCOMPARE(int(t.c_cflag & CSIZE), int(CS8));
        // A new speed keeps the framing.
        line->SetBaud(19200);
        QCOMPARE(tcgetattr(pty.slave, &t), 0);
        QCOMPARE(bool(t.c_cflag & PARODD), odd);
        QCOMPARE(bool(t.c_cflag & CSTOPB), twoStopBits);
    }
};

QTEST_GUILESS_MAIN(TestRegsCli)
#include "test_regs_cli.moc"
