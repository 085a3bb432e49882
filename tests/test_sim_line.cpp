// The virtual instrument on a pseudo-terminal, seen from the port side: answers, every fault
// as it appears on the line, framing across pauses, the record of frames, raw injection, and
// the instrument vanishing and coming back. Waits are bounded polls, never plain sleeps.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QtTest>
#include <chrono>
#include <functional>
#include <thread>

#include "sim/VirtualInstrument.h"

using namespace sim;

namespace {

// The program's side of the line: the slave path opened raw and non-blocking.
class LinePort {
public:
    explicit LinePort(const std::string& path) {
        FFd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        termios raw{};
        if (FFd >= 0 && ::tcgetattr(FFd, &raw) == 0) {
            ::cfmakeraw(&raw);
            ::tcsetattr(FFd, TCSANOW, &raw);
        }
    }
    ~LinePort() {
        if (FFd >= 0) ::close(FFd);
    }
    bool IsOpen() const { return FFd >= 0; }
    bool Write(const std::string& hex) {
        const Bytes bytes = FromHex(hex);
        return ::write(FFd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    }
    // Up to `count` bytes, waiting at most `timeoutMs` for them.
    QString Read(size_t count, int timeoutMs) {
        Bytes got;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd in{FFd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&in, 1, int(left.count())) <= 0) break;
            if (!(in.revents & POLLIN)) break;
            uint8_t chunk[256];
            const ssize_t n = ::read(FFd, chunk, std::min(sizeof chunk, count - got.size()));
            if (n <= 0) break;
            got.insert(got.end(), chunk, chunk + n);
        }
        return QString::fromStdString(ToHex(got));
    }
    QString Exchange(const std::string& request, size_t answerLength) {
        Write(request);
        return Read(answerLength, 3000);
    }
    short Events(int timeoutMs) {
        pollfd in{FFd, POLLIN, 0};
        return ::poll(&in, 1, timeoutMs) > 0 ? in.revents : 0;
    }

private:
    int FFd = -1;
};

// Waits for `condition` with a short poll step; false when `timeoutMs` passed.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        ::poll(nullptr, 0, 1);
    }
    return true;
}

const char kGetVal2[] = "07 03 00 04 00 02 85 AC";
const char kGetVal2Answer[] = "07 03 04 00 00 41 20 AD BB";

Config ModbusAt7() {
    Config config;
    config.protocol = Protocol::Modbus;
    config.address = 7;
    config.parameterCount = 3;
    return config;
}

Config QvAt(uint16_t address) {
    Config config;
    config.protocol = Protocol::Qv;
    config.address = address;
    return config;
}

}  // namespace

class TestSimLine : public QObject {
    Q_OBJECT
private slots:
    void answersOnTheLineInBothProtocols_data() {
        QTest::addColumn<bool>("modbus");
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("answer");
        QTest::newRow("QV GetVal") << false << "01 00 40 01 F1 D8"
                                   << "01 00 40 41 48 00 00 00 A4 A8";
        QTest::newRow("Modbus GetVal") << true << kGetVal2 << kGetVal2Answer;
    }
    void answersOnTheLineInBothProtocols() {
        QFETCH(bool, modbus);
        QFETCH(QString, request);
        QFETCH(QString, answer);
        VirtualInstrument vi(modbus ? ModbusAt7() : QvAt(1));
        vi.Model().FreezeValue(1, 12.5f);
        vi.Model().FreezeValue(2, 10.0f);
        vi.Start();
        LinePort port(vi.DevicePath());
        QVERIFY(port.IsOpen());
        QCOMPARE(port.Exchange(request.toStdString(), FromHex(answer.toStdString()).size()),
                 answer);
        // The answer is counted after it is written, so the port may have it first.
        QVERIFY(vi.WaitForAnswers(1, 5000));
        QCOMPARE(int(vi.AnswersSent()), 1);
    }

    void faultsOnTheLine_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("onLine");
        QTest::addColumn<int>("atLeastMs");
        QTest::newRow("silence") << "silence"
                                 << "" << 0;
        QTest::newRow("cut short by 3") << "cut"
                                        << "07 03 04 00 00 41" << 0;
        QTest::newRow("three pieces 100 ms apart") << "split" << kGetVal2Answer << 190;
        QTest::newRow("bad CRC") << "crc"
                                 << "07 03 04 00 00 41 20 AD 44" << 0;
        QTest::newRow("trailing bytes") << "trailing"
                                        << "07 03 04 00 00 41 20 AD BB 00 FF" << 0;
        QTest::newRow("exception 2") << "exception"
                                     << "07 83 02 20 F0" << 0;
        QTest::newRow("delayed 300 ms") << "delay" << kGetVal2Answer << 290;
    }
    void faultsOnTheLine() {
        QFETCH(QString, fault);
        QFETCH(QString, onLine);
        QFETCH(int, atLeastMs);
        VirtualInstrument vi(ModbusAt7());
        vi.Model().FreezeValue(2, 10.0f);
        Faults faults;
        faults.silence = fault == "silence";
        faults.cutBytes = fault == "cut" ? 3 : 0;
        faults.pieces = fault == "split" ? 3 : 1;
        faults.pieceGapMs = 100;
        faults.badCrc = fault == "crc";
        faults.trailing = fault == "trailing" ? Bytes{0x00, 0xFF} : Bytes{};
        faults.exception = fault == "exception" ? 2 : 0;
        faults.delayMs = fault == "delay" ? 300 : 0;
        vi.SetFaults(faults);
        vi.Start();
        LinePort port(vi.DevicePath());
        QElapsedTimer clock;
        clock.start();
        QVERIFY(port.Write(kGetVal2));
        QVERIFY(WaitUntil([&] { return vi.AnswersSent() + vi.InjectedFaults().silenced == 1; }));
        QVERIFY(clock.elapsed() >= atLeastMs);
        const size_t expected = FromHex(onLine.toStdString()).size();
        QCOMPARE(port.Read(expected == 0 ? 1 : expected, onLine.isEmpty() ? 200 : 3000), onLine);
        QCOMPARE(port.Read(1, 100), QString());  // nothing after it
    }

    void faultsForTheNextAnswersOnly() {
        VirtualInstrument vi(ModbusAt7());
        vi.Model().FreezeValue(2, 10.0f);
        Faults faults;
        faults.badCrc = true;
        faults.count = 2;
        vi.SetFaults(faults);
        vi.Start();
        LinePort port(vi.DevicePath());
        QCOMPARE(port.Exchange(kGetVal2, 9), QString("07 03 04 00 00 41 20 AD 44"));
        QCOMPARE(port.Exchange(kGetVal2, 9), QString("07 03 04 00 00 41 20 AD 44"));
        QCOMPARE(port.Exchange(kGetVal2, 9), QString(kGetVal2Answer));
        QCOMPARE(int(vi.InjectedFaults().badCrc), 2);
    }

    // Soak: the injected counts are exact, so the program's counters can be checked against them.
    void randomFaultsAreCountedExactly() {
        VirtualInstrument vi(ModbusAt7());
        vi.Model().FreezeValue(2, 10.0f);
        Faults faults;
        faults.silenceChance = 0.05;
        faults.badCrcChance = 0.05;
        faults.seed = 77;
        vi.SetFaults(faults);
        vi.Start();
        LinePort port(vi.DevicePath());
        int silences = 0, badCrcs = 0;
        const int exchanges = 2000;
        for (int i = 1; i <= exchanges; ++i) {
            QVERIFY(port.Write(kGetVal2));
            QVERIFY(WaitUntil(
                [&] { return vi.AnswersSent() + vi.InjectedFaults().silenced == size_t(i); }));
            // a silenced exchange gets a short look only: bytes of a sent answer are already queued
            const bool written = vi.AnswersSent() == size_t(i - silences);
            const QString answer = port.Read(9, written ? 1000 : 20);
            if (answer.isEmpty())
                ++silences;
            else if (answer != kGetVal2Answer)
                ++badCrcs;
        }
        const FaultCounts counts = vi.InjectedFaults();
        QCOMPARE(int(counts.silenced), silences);
        QCOMPARE(int(counts.badCrc), badCrcs);
        QVERIFY(silences > 0 && badCrcs > 0);
        QCOMPARE(int(vi.ReceivedFrames().size()), exchanges);
    }

    void framingAcrossPauses_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<bool>("waitForDrop");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("answer");
        QTest::newRow("incomplete frame, then a good one")
            << "07 03 00" << true << kGetVal2 << kGetVal2Answer;
        QTest::newRow("bad CRC, then a good frame")
            << "07 03 00 04 00 02 85 AD" << true << kGetVal2 << kGetVal2Answer;
        QTest::newRow("good frame in two writes")
            << "07 03 00 04" << false << "00 02 85 AC" << kGetVal2Answer;
        QTest::newRow("unknown function answered after silence")
            << "07 2B 0E 01 00 F8 77" << false << ""
            << "07 AB 01 7E F1";
    }
    void framingAcrossPauses() {
        QFETCH(QString, first);
        QFETCH(bool, waitForDrop);
        QFETCH(QString, second);
        QFETCH(QString, answer);
        VirtualInstrument vi(ModbusAt7());
        vi.Model().FreezeValue(2, 10.0f);
        vi.Start();
        LinePort port(vi.DevicePath());
        QVERIFY(port.Write(first.toStdString()));
        if (waitForDrop) {
            QVERIFY(WaitUntil([&] { return vi.Discarded().size() == 1; }));
            QCOMPARE(QString::fromStdString(ToHex(vi.Discarded()[0])), first);
        }
        if (!second.isEmpty()) QVERIFY(port.Write(second.toStdString()));
        QCOMPARE(port.Read(FromHex(answer.toStdString()).size(), 3000), answer);
        QCOMPARE(int(vi.ReceivedFrames().size()), 1);
    }

    void recordOfFrames() {
        VirtualInstrument vi(QvAt(5));
        vi.Start();
        LinePort port(vi.DevicePath());
        QVERIFY(port.Write("02 00 4A 51 F7"));  // another instrument
        QVERIFY(port.Write("05 00 4A E0 36"));
        QVERIFY(vi.WaitForFrames(2, 5000));
        QVERIFY(vi.WaitForAnswers(1, 5000));
        const std::vector<Bytes> frames = vi.ReceivedFrames();
        QCOMPARE(QString::fromStdString(ToHex(frames[0])), QString("02 00 4A 51 F7"));
        QCOMPARE(QString::fromStdString(ToHex(frames[1])), QString("05 00 4A E0 36"));
        QCOMPARE(QString::fromStdString(ToHex(vi.SentAnswers().at(0))), QString("05 00 4A E0 36"));
        QCOMPARE(port.Read(5, 3000), QString("05 00 4A E0 36"));
        vi.ClearReceived();
        QVERIFY(vi.ReceivedFrames().empty());
        QVERIFY(!vi.WaitForFrames(1, 50));
        QCOMPARE(int(vi.AnswersSent()), 1);
    }

    void searchAndSwitchOnTheLine() {
        VirtualInstrument vi(QvAt(12));
        vi.Start();
        LinePort port(vi.DevicePath());
        QVERIFY(port.Write("FF 77 FF FF 00 01 21 FB"));  // the Modbus form: no answer in QV
        QVERIFY(vi.WaitForFrames(1, 5000));
        QCOMPARE(port.Read(7, 200), QString());
        QCOMPARE(port.Exchange("FF 77 FF 00 00 00 D0 0B", 7).left(14), QString("0C 00 FF 00 00"));
        QCOMPARE(port.Exchange("00 00 FE 0C 00 40 F0", 6).left(11), QString("0C 00 FE 00"));
        QVERIFY(vi.Model().SpokenProtocol() == Protocol::Modbus);
        QCOMPARE(port.Exchange("FF 77 FF FF 00 01 21 FB", 7).left(14), QString("0C 77 00 00 01"));
    }

    void injectedBytesReachThePort() {
        VirtualInstrument vi(ModbusAt7());
        vi.Start();
        LinePort port(vi.DevicePath());
        vi.InjectBytes(FromHex("55 AA 01"));
        QCOMPARE(port.Read(3, 3000), QString("55 AA 01"));
        QCOMPARE(int(vi.AnswersSent()), 0);
    }

    void portMayCloseAndReopen() {
        VirtualInstrument vi(ModbusAt7());
        vi.Model().FreezeValue(2, 10.0f);
        vi.Start();
        {
            LinePort port(vi.DevicePath());
            QCOMPARE(port.Exchange(kGetVal2, 9), QString(kGetVal2Answer));
        }
        LinePort again(vi.DevicePath());
        QVERIFY(again.IsOpen());
        QCOMPARE(again.Exchange(kGetVal2, 9), QString(kGetVal2Answer));
    }

    void vanishAndReappear() {
        VirtualInstrument vi(ModbusAt7());
        vi.Model().FreezeValue(2, 10.0f);
        vi.Start();
        LinePort port(vi.DevicePath());
        QCOMPARE(port.Exchange(kGetVal2, 9), QString(kGetVal2Answer));
        vi.Model().SetAddress(9);
        vi.Vanish();
        QVERIFY(!vi.Running());
        QVERIFY(vi.DevicePath().empty());
        QVERIFY(port.Events(3000) & POLLHUP);
        vi.Reappear();
        QVERIFY(!vi.DevicePath().empty());
        LinePort fresh(vi.DevicePath());
        // the model survived: the instrument answers at its new address
        QCOMPARE(fresh.Exchange("09 03 03 EA 00 01 A4 F2", 7), QString("09 03 02 00 09 99 83"));
    }
};

QTEST_GUILESS_MAIN(TestSimLine)
#include "test_sim_line.moc"
