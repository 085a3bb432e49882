// Several virtual instruments on one pseudo-terminal: each answers its own address at its own
// speed, answers to one search from several collide, faults stay with their instrument, a
// Modbus master no one here wrote reads two of them, and tessera-sim serves a bus.
// Waits are bounded polls, never plain sleeps.
#include <fcntl.h>
#include <modbus.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <QtTest>
#include <chrono>
#include <functional>

#include "sim/BusList.h"
#include "sim/Collision.h"
#include "sim/VirtualBus.h"

using namespace sim;

namespace {

speed_t SpeedConstant(uint32_t bitsPerSecond) {
    return bitsPerSecond == 19200 ? B19200 : B9600;
}

// The program's side of the line: the slave path opened raw at a speed.
class BusPort {
public:
    BusPort(const std::string& path, uint32_t speed) {
        FFd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        SetSpeed(speed);
    }
    ~BusPort() {
        if (FFd >= 0) ::close(FFd);
    }
    bool IsOpen() const { return FFd >= 0; }
    bool SetSpeed(uint32_t speed) {
        termios t{};
        if (FFd < 0 || ::tcgetattr(FFd, &t) != 0) return false;
        ::cfmakeraw(&t);
        ::cfsetispeed(&t, SpeedConstant(speed));
        ::cfsetospeed(&t, SpeedConstant(speed));
        return ::tcsetattr(FFd, TCSANOW, &t) == 0;
    }
    bool Write(const QString& hex) {
        const Bytes bytes = FromHex(hex.toStdString());
        return ::write(FFd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    }
    // Up to `count` bytes, waiting at most `timeoutMs` for them.
    Bytes Read(size_t count, int timeoutMs) {
        Bytes got;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd in{FFd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&in, 1, int(left.count())) <= 0) break;
            uint8_t chunk[256];
            const ssize_t n = ::read(FFd, chunk, std::min(sizeof chunk, count - got.size()));
            if (n <= 0) break;
            got.insert(got.end(), chunk, chunk + n);
        }
        return got;
    }

private:
    int FFd = -1;
};

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        ::poll(nullptr, 0, 1);
    }
    return true;
}

std::vector<Config> Bus(const char* entries) {
    std::vector<Config> configs;
    std::string error;
    if (!ParseBus(entries, configs, error)) qFatal("bad bus in test: %s", error.c_str());
    return configs;
}

// Everything an instrument made of what it heard: frames taken and bytes dropped.
size_t Heard(const Station& station) {
    return station.ReceivedFrames().size() + station.Discarded().size();
}

size_t AnswersOnTheBus(const VirtualBus& bus) {
    size_t answers = 0;
    for (size_t i = 0; i < bus.Size(); ++i) answers += bus.Instrument(i).AnswersSent();
    return answers;
}

QString Hex(const Bytes& bytes) {
    return QString::fromStdString(ToHex(bytes));
}

Delivery At(int pauseMs, const char* hex) {
    return Delivery{{{pauseMs, FromHex(hex)}}};
}

const char kMixedBus[] = "modbus:7,qv:12,modbus:30@19200";
const char kQvSearch[] = "FF 77 FF 00 00 00 D0 0B";
const char kModbusSearch[] = "FF 77 FF FF 00 01 21 FB";

}  // namespace

class TestSimBus : public QObject {
    Q_OBJECT
private slots:
    // Each row is one request on the three-instrument line; `answer` empty means silence.
    void eachInstrumentAnswersItsAddressAtItsSpeed_data() {
        QTest::addColumn<int>("speed");
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("answering");  // index on the bus, -1: nobody
        QTest::newRow("Modbus 7 at 9600") << 9600 << "07 03 03 EA 00 01 A5 DC"
                                          << "07 03 02 00 07 71 86" << 0;
        QTest::newRow("QV 12 at 9600") << 9600 << "0C 00 40 01 F3 74"
                                       << "0C 00 40 41 48 00 00 00 65 31" << 1;
        QTest::newRow("Modbus 30 at 19200") << 19200 << "1E 03 03 EA 00 01 A7 D5"
                                            << "1E 03 02 00 1E AD 8E" << 2;
        QTest::newRow("Modbus 7 at 19200") << 19200 << "07 03 03 EA 00 01 A5 DC"
                                           << "" << -1;
        QTest::newRow("QV 12 at 19200") << 19200 << "0C 00 40 01 F3 74"
                                        << "" << -1;
        QTest::newRow("Modbus 30 at 9600") << 9600 << "1E 03 03 EA 00 01 A7 D5"
                                           << "" << -1;
        QTest::newRow("Modbus 8, nobody there") << 9600 << "08 03 03 EA 00 01 A5 23"
                                                << "" << -1;
        QTest::newRow("QV 13, nobody there") << 9600 << "0D 00 40 01 F2 88"
                                             << "" << -1;
    }
    void eachInstrumentAnswersItsAddressAtItsSpeed() {
        QFETCH(int, speed);
        QFETCH(QString, request);
        QFETCH(QString, answer);
        QFETCH(int, answering);
        VirtualBus bus(Bus(kMixedBus));
        for (size_t i = 0; i < bus.Size(); ++i) bus.Instrument(i).Model().FreezeValue(1, 12.5f);
        bus.Start();
        BusPort port(bus.DevicePath(), uint32_t(speed));
        QVERIFY(port.IsOpen());
        QCOMPARE(bus.PortSpeed(), uint32_t(speed));

        QVERIFY(port.Write(request));
        if (answering >= 0) {
            QCOMPARE(Hex(port.Read(FromHex(answer.toStdString()).size(), 5000)), answer);
            const Station& station = bus.Instrument(size_t(answering));
            QCOMPARE(Hex(station.ReceivedFrames().back()), request);
            QVERIFY(bus.Instrument(size_t(answering)).WaitForAnswers(1, 5000));
            QCOMPARE(AnswersOnTheBus(bus), size_t(1));
            return;
        }
        // Every instrument has made what it could of the request (a frame or a drop)...
        QVERIFY(WaitUntil([&] {
            for (size_t i = 0; i < bus.Size(); ++i)
                if (Heard(bus.Instrument(i)) == 0) return false;
            return true;
        }));
        // ... and none answered.
        QCOMPARE(Hex(port.Read(1, 300)), QString());
        QCOMPARE(AnswersOnTheBus(bus), size_t(0));
    }

    // An instrument at another speed cannot make characters of the request at all.
    void requestAtAnotherSpeedIsDroppedUnframed() {
        VirtualBus bus(Bus(kMixedBus));
        bus.Start();
        BusPort port(bus.DevicePath(), 9600);
        QVERIFY(port.Write("1E 03 03 EA 00 01 A7 D5"));
        const Station& slow = bus.Instrument(2);
        QVERIFY(WaitUntil([&] { return !slow.Discarded().empty(); }));
        QCOMPARE(Hex(slow.Discarded().front()), QString("1E 03 03 EA 00 01 A7 D5"));
        QVERIFY(slow.ReceivedFrames().empty());
        QCOMPARE(slow.Model().Snapshot().speedRs1, uint8_t(5));  // 19200 reported as code 5
    }

    void searchCollidesWhenSeveralAnswer_data() {
        QTest::addColumn<QString>("bus");
        QTest::addColumn<int>("speed");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QString>("answer");  // empty: the answers collide
        QTest::addColumn<QList<int>>("answering");
        QTest::newRow("Modbus, one at 9600")
            << kMixedBus << 9600 << kModbusSearch << "07 77 00 00 01 4B B4" << QList<int>{0};
        QTest::newRow("Modbus, one at 19200")
            << kMixedBus << 19200 << kModbusSearch << "1E 77 00 00 01 56 76" << QList<int>{2};
        QTest::newRow("QV, one at 9600")
            << kMixedBus << 9600 << kQvSearch << "0C 00 FF 00 00 04 31" << QList<int>{1};
        QTest::newRow("QV, nobody at 19200")
            << kMixedBus << 19200 << kQvSearch << "" << QList<int>{};
        QTest::newRow("Modbus, two at 9600")
            << "modbus:7,qv:12,modbus:30" << 9600 << kModbusSearch << "" << QList<int>{0, 2};
        QTest::newRow("QV, two at 19200")
            << "qv:12,qv:20@19200,qv:40@19200" << 19200 << kQvSearch << "" << QList<int>{1, 2};
        // Instrument 1's answer has only ones where instrument 13's has them: the overlap
        // carries 1's bytes, and still must not pass for an answer.
        QTest::newRow("Modbus 1 and 13")
            << "modbus:1,modbus:13" << 9600 << kModbusSearch << "" << QList<int>{0, 1};
    }
    void searchCollidesWhenSeveralAnswer() {
        QFETCH(QString, bus);
        QFETCH(int, speed);
        QFETCH(QString, search);
        QFETCH(QString, answer);
        QFETCH(QList<int>, answering);
        VirtualBus line(Bus(qPrintable(bus)));
        line.Start();
        BusPort port(line.DevicePath(), uint32_t(speed));
        QVERIFY(port.Write(search));
        const Bytes got = port.Read(7, answering.isEmpty() ? 300 : 5000);
        for (int i : answering) QVERIFY(line.Instrument(size_t(i)).WaitForAnswers(1, 5000));
        QCOMPARE(AnswersOnTheBus(line), size_t(answering.size()));
        if (answering.size() < 2) {
            QCOMPARE(Hex(got), answer);
            QCOMPARE(line.Collisions(), size_t(0));
            return;
        }
        QCOMPARE(got.size(), size_t(7));
        QVERIFY2(!CrcOk(got), qPrintable(Hex(got)));
        QCOMPARE(line.Collisions(), size_t(1));
        // Each instrument put its own good answer on the line; what the port received is none
        // of them, though the bytes they have in common came through, and a bit reads 1 only
        // where every driver sent a 1 (the last byte may be spoilt on top).
        for (int i : answering) {
            const Bytes own = line.Instrument(size_t(i)).SentAnswers().at(0);
            QVERIFY(CrcOk(own));
            QVERIFY(own != got);
            for (size_t k = 1; k < 5; ++k) QCOMPARE(got[k], own[k]);
            for (size_t k = 0; k < 6; ++k) QCOMPARE(got[k] & ~own[k], 0);
        }
        QVERIFY(port.Read(1, 100).empty());  // one overlapped stream, not two answers
    }

    // The timing of overlapping answers, without a line.
    void collisionFollowsTheTiming_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<int>("secondDelayMs");
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("garbled");
        QTest::addColumn<QString>("received");  // pieces separated by " | "
        QTest::newRow("same bytes at once") << "07 77 00 00 01 4B B4" << 0 << "07 77 00 00 01 4B B4"
                                            << false << "07 77 00 00 01 4B B4";
        QTest::newRow("one after the other")
            << "07 77 00 00 01 4B B4" << 50 << "1E 77 00 00 01 56 76" << false
            << "07 77 00 00 01 4B B4 | 1E 77 00 00 01 56 76";
        // At 9600 a byte takes 1.04 ms: 4 ms late, the second starts in the first's 4th byte
        // time and runs on after it.
        QTest::newRow("overlapping tails")
            << "07 77 00 00 01 4B B4" << 4 << "1E 77 00 00 01 56 76" << true << "";
    }
    void collisionFollowsTheTiming() {
        QFETCH(QString, first);
        QFETCH(int, secondDelayMs);
        QFETCH(QString, second);
        QFETCH(bool, garbled);
        QFETCH(QString, received);
        const Collision collision =
            Collide({At(0, qPrintable(first)), At(secondDelayMs, qPrintable(second))}, 9600);
        QCOMPARE(collision.garbled, garbled);
        QStringList pieces;
        Bytes all;
        for (const Delivery::Piece& piece : collision.line.pieces) {
            pieces << Hex(piece.bytes);
            all.insert(all.end(), piece.bytes.begin(), piece.bytes.end());
        }
        if (!garbled) {
            QCOMPARE(pieces.join(" | "), received);
            return;
        }
        QCOMPARE(all.size(), size_t(10));  // 3 bytes alone, 4 overlapped, 3 alone
        QCOMPARE(Hex(Bytes(all.begin(), all.begin() + 3)), first.left(8));
        QCOMPARE(Hex(Bytes(all.end() - 3, all.end())), second.right(8));
        QVERIFY(!CrcOk(Bytes(all.begin(), all.begin() + 7)));
    }

    // Faults set on one instrument touch its answers only.
    void faultsStayWithTheirInstrument() {
        VirtualBus bus(Bus("modbus:7,modbus:30"));
        Faults silentOnce;
        silentOnce.silence = true;
        silentOnce.count = 1;
        bus.Instrument(0).SetFaults(silentOnce);
        Faults badCrc;
        badCrc.badCrc = true;
        bus.Instrument(1).SetFaults(badCrc);
        bus.Start();
        BusPort port(bus.DevicePath(), 9600);
        QVERIFY(port.Write("07 03 03 EA 00 01 A5 DC"));
        QVERIFY(bus.Instrument(0).WaitForFrames(1, 5000));
        QVERIFY(port.Read(1, 300).empty());
        QVERIFY(port.Write("1E 03 03 EA 00 01 A7 D5"));
        QCOMPARE(Hex(port.Read(7, 5000)), QString("1E 03 02 00 1E AD 71"));  // last byte inverted
        QVERIFY(port.Write("07 03 03 EA 00 01 A5 DC"));
        QCOMPARE(Hex(port.Read(7, 5000)), QString("07 03 02 00 07 71 86"));
        QCOMPARE(bus.Instrument(0).InjectedFaults().silenced, uint64_t(1));
        QCOMPARE(bus.Instrument(0).InjectedFaults().badCrc, uint64_t(0));
        QCOMPARE(bus.Instrument(1).InjectedFaults().badCrc, uint64_t(1));
    }

    // A Modbus instrument holds a QV request open until the line falls silent; the QV
    // instrument's answer ends it, so a Modbus request sent right after is not swallowed.
    void answerEndsWhatOthersHeldOpen() {
        VirtualBus bus(Bus(kMixedBus));
        bus.Instrument(1).Model().FreezeValue(1, 12.5f);
        bus.Start();
        BusPort port(bus.DevicePath(), 9600);
        for (int round = 0; round < 3; ++round) {
            QVERIFY(port.Write("0C 00 40 01 F3 74"));
            QCOMPARE(Hex(port.Read(10, 5000)), QString("0C 00 40 41 48 00 00 00 65 31"));
            QVERIFY(port.Write("07 03 03 EA 00 01 A5 DC"));
            QCOMPARE(Hex(port.Read(7, 5000)), QString("07 03 02 00 07 71 86"));
        }
    }

    // libmodbus, at the speed of each, reads registers of two instruments on the line.
    void libmodbusReadsTwoInstruments_data() {
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("address");
        QTest::addColumn<float>("value");  // parameter 1; 0: no answer expected
        QTest::newRow("7 at 9600") << 9600 << 7 << 230.5f;
        QTest::newRow("30 at 19200") << 19200 << 30 << 4.25f;
        QTest::newRow("30 at 9600") << 9600 << 30 << 0.0f;
    }
    void libmodbusReadsTwoInstruments() {
        QFETCH(int, speed);
        QFETCH(int, address);
        QFETCH(float, value);
        VirtualBus bus(Bus(kMixedBus));
        bus.Instrument(0).Model().FreezeValue(1, 230.5f);
        bus.Instrument(2).Model().FreezeValue(1, 4.25f);
        bus.Start();
        modbus_t* master = modbus_new_rtu(bus.DevicePath().c_str(), speed, 'N', 8, 1);
        QVERIFY(master);
        modbus_set_slave(master, address);
        modbus_set_response_timeout(master, value == 0.0f ? 0 : 3, value == 0.0f ? 300000 : 0);
        QCOMPARE(modbus_connect(master), 0);
        uint16_t words[2] = {};
        const int addressRead = modbus_read_registers(master, 1002, 1, words);
        const int read = addressRead < 0 ? -1 : modbus_read_registers(master, 0, 2, words);
        modbus_close(master);
        modbus_free(master);
        if (value == 0.0f) {
            QCOMPARE(addressRead, -1);
            QCOMPARE(AnswersOnTheBus(bus), size_t(0));
            return;
        }
        QCOMPARE(read, 2);
        QCOMPARE(modbus_get_float_cdab(words), value);  // low-order word first
        QCOMPARE(bus.Instrument(1).AnswersSent(), size_t(0));
    }

    void programServesABus_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("speed");
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("answer");
        QTest::newRow("--bus, Modbus 30 at 19200")
            << QStringList{"--bus", kMixedBus} << 19200 << "1E 03 03 EA 00 01 A7 D5"
            << "1E 03 02 00 1E AD 8E";
        QTest::newRow("--bus, QV search at 9600")
            << QStringList{"--bus", kMixedBus} << 9600 << kQvSearch << "0C 00 FF 00 00 04 31";
        QTest::newRow("--instrument twice")
            << QStringList{"--instrument", "qv:12", "--instrument", "modbus:7@19200"} << 19200
            << "07 03 03 EA 00 01 A5 DC"
            << "07 03 02 00 07 71 86";
    }
    void programServesABus() {
        QFETCH(QStringList, arguments);
        QFETCH(int, speed);
        QFETCH(QString, request);
        QFETCH(QString, answer);
        QProcess program;
        program.start(TESSERA_SIM_PROGRAM, arguments);
        QVERIFY(program.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(program.canReadLine(), 10000);
        const QByteArray path = program.readLine().trimmed();
        QVERIFY2(path.startsWith("/dev/pts/"), path.constData());
        {
            BusPort port(path.toStdString(), uint32_t(speed));
            QVERIFY(port.IsOpen());
            QVERIFY(port.Write(request));
            QCOMPARE(Hex(port.Read(FromHex(answer.toStdString()).size(), 5000)), answer);
        }
        QCOMPARE(::kill(pid_t(program.processId()), SIGTERM), 0);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }

    void programArguments_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");  // the start of standard output
        QTest::newRow("--version")
            << QStringList{"--version"} << 0 << "tessera-sim " TESSERA_VERSION "\n";
        QTest::newRow("--help") << QStringList{"--help"} << 0 << "usage: tessera-sim";
        QTest::newRow("Modbus address 300")
            << QStringList{"--bus", "modbus:7,modbus:300"} << 2 << "";
        QTest::newRow("unknown protocol") << QStringList{"--instrument", "rtu:7"} << 2 << "";
        QTest::newRow("speed the instrument lacks")
            << QStringList{"--instrument", "qv:12@14400"} << 2 << "";
        QTest::newRow("empty entry") << QStringList{"--bus", "modbus:7,"} << 2 << "";
        QTest::newRow("bus and single address")
            << QStringList{"--bus", "modbus:7", "--address", "3"} << 2 << "";
    }
    void programArguments() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QProcess program;
        program.start(TESSERA_SIM_PROGRAM, arguments);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), exitCode);
        const QString got = QString::fromLocal8Bit(program.readAllStandardOutput());
        if (output.isEmpty())
            QCOMPARE(got, QString());
        else
            QVERIFY2(got.startsWith(output), qPrintable(got));
        if (exitCode != 0) QVERIFY(!program.readAllStandardError().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSimBus)
#include "test_sim_bus.moc"
