// Modbus masters that no one here wrote, libmodbus and mbpoll, read and write the virtual
// instrument through its pseudo-terminal; and the tessera-sim program starts, serves and stops.
#include <fcntl.h>
#include <modbus.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <QtTest>

#include "sim/VirtualInstrument.h"

using namespace sim;

namespace {

Config ModbusAt7() {
    Config config;
    config.protocol = Protocol::Modbus;
    config.address = 7;
    config.parameterCount = 2;
    return config;
}

// A libmodbus RTU master on the slave path; the baud rate means nothing on a pty.
class LibModbusMaster {
public:
    explicit LibModbusMaster(const std::string& path) {
        FContext = modbus_new_rtu(path.c_str(), 9600, 'N', 8, 1);
        if (!FContext) return;
        modbus_set_slave(FContext, 7);
        modbus_set_response_timeout(FContext, 3, 0);
        FConnected = modbus_connect(FContext) == 0;
    }
    ~LibModbusMaster() {
        if (!FContext) return;
        modbus_close(FContext);
        modbus_free(FContext);
    }
    bool Connected() const { return FConnected; }
    modbus_t* operator*() const { return FContext; }

private:
    modbus_t* FContext = nullptr;
    bool FConnected = false;
};

QString MbpollPath() {
    return QStandardPaths::findExecutable("mbpoll");
}

// mbpoll once, registers numbered from 0; its standard output and exit code.
int RunMbpoll(const QString& device, const QStringList& options, QString& output,
              const QStringList& writeValues = {}) {
    QProcess mbpoll;
    mbpoll.setProcessChannelMode(QProcess::MergedChannels);
    mbpoll.start(MbpollPath(), QStringList{"-m", "rtu", "-a", "7", "-b", "9600", "-P", "none", "-0",
                                           "-1", "-o", "3"} +
                                   options + QStringList{device} + writeValues);
    if (!mbpoll.waitForFinished(20000)) return -1;
    output = QString::fromLocal8Bit(mbpoll.readAll());
    return mbpoll.exitCode();
}

}  // namespace

class TestSimInterop : public QObject {
    Q_OBJECT
private slots:
    void libmodbusReadsAndWrites() {
        VirtualInstrument vi(ModbusAt7());
        vi.Model().FreezeValue(2, 10.0f);
        vi.Start();
        LibModbusMaster master(vi.DevicePath());
        QVERIFY(master.Connected());

        uint16_t words[4] = {};
        QCOMPARE(modbus_read_registers(*master, 1002, 1, words), 1);
        QCOMPARE(int(words[0]), 7);
        QCOMPARE(modbus_read_registers(*master, 4, 2, words), 2);  // low-order word first
        QCOMPARE(modbus_get_float_cdab(words), 10.0f);

        QCOMPARE(modbus_write_register(*master, 1006, 2), 1);
        QCOMPARE(int(vi.Model().Snapshot().brightness), 2);

        const uint16_t setup[4] = {0x0000, 0x42C8, 2, 1};  // scale 100.0, unit 2, point code 1
        QCOMPARE(modbus_write_registers(*master, 108, 4, setup), 4);
        QCOMPARE(vi.Model().Parameter(2).scale, 100.0f);
        QCOMPARE(int(vi.Model().Parameter(2).pointCode), 1);
        QCOMPARE(modbus_read_registers(*master, 108, 4, words), 4);
        QCOMPARE(std::vector<uint16_t>(words, words + 4), std::vector<uint16_t>(setup, setup + 4));
    }

    void libmodbusSeesExceptions_data() {
        QTest::addColumn<int>("reg");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("protect");
        QTest::addColumn<int>("error");
        QTest::newRow("unmapped register") << 3000 << -1 << false << int(EMBXILADD);
        QTest::newRow("parameter beyond the count") << 8 << -1 << false << int(EMBXILADD);
        QTest::newRow("brightness out of range") << 1006 << 7 << false << int(EMBXILVAL);
        QTest::newRow("write protection")
            << 1006 << 1 << true << int(EMBBADEXC);  // libmodbus knows no code 0x46
    }
    void libmodbusSeesExceptions() {
        QFETCH(int, reg);
        QFETCH(int, value);
        QFETCH(bool, protect);
        QFETCH(int, error);
        VirtualInstrument vi(ModbusAt7());
        vi.Model().SetWriteProtected(protect);
        vi.Start();
        LibModbusMaster master(vi.DevicePath());
        QVERIFY(master.Connected());
        uint16_t word = 0;
        const int result = value < 0 ? modbus_read_registers(*master, reg, 1, &word)
                                     : modbus_write_register(*master, reg, uint16_t(value));
        QCOMPARE(result, -1);
        QCOMPARE(errno, error);
        QVERIFY(vi.WaitForAnswers(1, 5000));
        QCOMPARE(int(vi.SentAnswers().at(0).at(1)) & 0x80, 0x80);
    }

    void mbpollReadsAndWrites() {
        if (MbpollPath().isEmpty()) QSKIP("mbpoll is not installed (Debian package mbpoll)");
        VirtualInstrument vi(ModbusAt7());
        vi.Model().FreezeValue(2, 10.0f);
        vi.Model().SetParameterSetup(1, 173.2f, 1, 2);
        vi.Start();
        const QString device = QString::fromStdString(vi.DevicePath());
        QString output;
        QCOMPARE(RunMbpoll(device, {"-r", "1002", "-c", "1"}, output), 0);
        QVERIFY2(output.contains("[1002]: \t7"), qPrintable(output));
        // mbpoll's default float word order is low-order word first, as the instrument's
        QCOMPARE(RunMbpoll(device, {"-t", "4:float", "-r", "4", "-c", "1"}, output), 0);
        QVERIFY2(output.contains("[4]: \t10"), qPrintable(output));
        QCOMPARE(RunMbpoll(device, {"-r", "1006"}, output, {"2"}), 0);
        QCOMPARE(int(vi.Model().Snapshot().brightness), 2);
        QCOMPARE(RunMbpoll(device, {"-r", "1100"}, output, {"21605", "29555"}), 0);
        QCOMPARE(QString::fromStdString(vi.Model().InfoText()).left(4), QString("Tess"));
    }

    void mbpollSeesAnException() {
        if (MbpollPath().isEmpty()) QSKIP("mbpoll is not installed (Debian package mbpoll)");
        VirtualInstrument vi(ModbusAt7());
        vi.Start();
        QString output;
        RunMbpoll(QString::fromStdString(vi.DevicePath()), {"-r", "3000", "-c", "1"}, output);
        QVERIFY2(output.contains("Illegal data address"), qPrintable(output));
        // The instrument records an answer after writing it: mbpoll may be done first.
        QVERIFY(vi.WaitForAnswers(1, 5000));
        QCOMPARE(QString::fromStdString(ToHex(vi.SentAnswers().at(0))), QString("07 83 02 20 F0"));
    }

    void programServesUntilTerminated_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("stopSignal");
        QTest::newRow("Modbus at 7, SIGTERM")
            << QStringList{"--protocol", "modbus", "--address", "7", "--params", "2"}
            << "07 03 03 E8 00 01 04 1C"
            << "07 03 02 00 02 B1 85" << SIGTERM;
        QTest::newRow("QV at 5, SIGINT")
            << QStringList{"--protocol", "qv", "--address", "5"} << "05 00 4A E0 36"
            << "05 00 4A E0 36" << SIGINT;
    }
    void programServesUntilTerminated() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, request);
        QFETCH(QString, answer);
        QFETCH(int, stopSignal);
        QProcess program;
        program.start(TESSERA_SIM_PROGRAM, arguments);
        QVERIFY(program.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(program.canReadLine(), 10000);
        const QByteArray path = program.readLine().trimmed();
        QVERIFY2(path.startsWith("/dev/pts/"), path.constData());

        const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(fd >= 0);
        const Bytes bytes = FromHex(request.toStdString());
        QCOMPARE(::write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
        const size_t expected = FromHex(answer.toStdString()).size();
        Bytes got;
        QElapsedTimer clock;
        clock.start();
        while (got.size() < expected && clock.elapsed() < 5000) {
            pollfd in{fd, POLLIN, 0};
            if (::poll(&in, 1, 100) <= 0) continue;
            uint8_t chunk[64];
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n > 0) got.insert(got.end(), chunk, chunk + n);
        }
        ::close(fd);
        QCOMPARE(QString::fromStdString(ToHex(got)), answer);

        QCOMPARE(::kill(pid_t(program.processId()), stopSignal), 0);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }

    void programRefusesBadArguments_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("unknown protocol") << QStringList{"--protocol", "ascii"};
        QTest::newRow("Modbus address above 247") << QStringList{"--address", "300"};
        QTest::newRow("four parameters") << QStringList{"--params", "4"};
    }
    void programRefusesBadArguments() {
        QFETCH(QStringList, arguments);
        QProcess program;
        program.start(TESSERA_SIM_PROGRAM, arguments);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), 2);
        QVERIFY(program.readAllStandardOutput().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSimInterop)
#include "test_sim_interop.moc"
