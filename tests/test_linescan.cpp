// The scan of a line: its logic over a line with a clock of its own (instruments answering
// after set delays, nothing waited for real), then the real tool's line over a virtual bus.
#include <QtTest>
#include <algorithm>
#include <map>

#include "cli/Line.h"
#include "linescan/LineScan.h"
#include "protocol/Decoders.h"
#include "sim/Answers.h"
#include "sim/BusList.h"
#include "sim/Collision.h"
#include "sim/VirtualBus.h"

using linescan::Clock;
using std::chrono::milliseconds;

namespace {

// A line whose time moves only while the scan waits on it. Each instrument answers from its
// own model, after the request's wire time and its answer delay; answers that overlap collide
// as on the virtual bus.
class ClockedLine : public linescan::LinePort {
public:
    explicit ClockedLine(const std::vector<sim::Config>& configs) {
        for (const sim::Config& config : configs) {
            sim::InstrumentState state;
            state.protocol = config.protocol;
            state.address = config.address;
            state.serialNumber = uint16_t(config.address * 10 + FModels.size());
            state.year = 24;
            FConfigs.push_back(config);
            FModels.push_back(std::make_unique<sim::InstrumentModel>(state));
        }
    }

    void SetSpeed(int32_t baud) override { FBaud = baud; }
    void Discard() override {
        FQueue.erase(std::remove_if(FQueue.begin(), FQueue.end(),
                                    [&](const Arrival& a) { return a.at <= FNow; }),
                     FQueue.end());
    }
    void Send(const std::vector<uint8_t>& frame) override {
        ++FSent;
        FAsked[frame]++;
        std::vector<sim::Delivery> answers;
        int delay = 0;
        for (size_t i = 0; i < FConfigs.size(); ++i) {
            if (FConfigs[i].lineSpeed && int32_t(FConfigs[i].lineSpeed) != FBaud) continue;
            const sim::Bytes answer = sim::Answer(*FModels[i], frame);
            if (answer.empty()) continue;
            answers.push_back(sim::Delivery{{{0, answer}}});
            delay = std::max(delay, FConfigs[i].answerDelayMs);
        }
        if (answers.empty()) return;
        const sim::Collision line = sim::Collide(answers, uint32_t(FBaud));
        sim::Bytes bytes;
        for (const auto& piece : line.line.pieces)
            bytes.insert(bytes.end(), piece.bytes.begin(), piece.bytes.end());
        FQueue.push_back(
            {FNow + linescan::WireTime(frame.size(), FBaud) + milliseconds(delay), bytes});
    }
    bool Receive(std::vector<uint8_t>& into, Clock::time_point deadline) override {
        std::sort(FQueue.begin(), FQueue.end(),
                  [](const Arrival& a, const Arrival& b) { return a.at < b.at; });
        if (FQueue.empty() || FQueue.front().at > std::max(deadline, FNow)) {
            FNow = std::max(FNow, deadline);
            return false;
        }
        FNow = std::max(FNow, FQueue.front().at);
        into.insert(into.end(), FQueue.front().bytes.begin(), FQueue.front().bytes.end());
        FQueue.erase(FQueue.begin());
        return true;
    }
    Clock::time_point Now() const override { return FNow; }

    size_t Sent() const { return FSent; }
    // The most times any one frame was sent.
    int MostAskedOnce() const {
        int most = 0;
        for (const auto& [frame, times] : FAsked) most = std::max(most, times);
        return most;
    }

private:
    struct Arrival {
        Clock::time_point at;
        sim::Bytes bytes;
    };
    std::vector<sim::Config> FConfigs;
    std::vector<std::unique_ptr<sim::InstrumentModel>> FModels;
    std::vector<Arrival> FQueue;
    Clock::time_point FNow{};
    int32_t FBaud = 9600;
    size_t FSent = 0;
    std::map<std::vector<uint8_t>, int> FAsked;
};

std::vector<sim::Config> Bus(const QString& entries) {
    std::vector<sim::Config> configs;
    std::string error;
    if (!sim::ParseBus(entries.toStdString(), configs, error))
        qFatal("bad bus in test: %s", error.c_str());
    return configs;
}

linescan::ScanPlan Plan(int first, int last, const QString& protocols, QList<int> bauds) {
    linescan::ScanPlan plan;
    for (int a = first; a <= last; ++a) plan.addresses.push_back(uint16_t(a));
    for (int b : bauds) plan.bauds.push_back(b);
    if (protocols.contains("qv")) plan.protocols.push_back(protocol::Protocol::Qv);
    if (protocols.contains("modbus")) plan.protocols.push_back(protocol::Protocol::Modbus);
    return plan;
}

// "9600 modbus 7 240070" (speed, protocol, address, serial) or "9600 modbus 6 collision".
QStringList Described(const std::vector<linescan::Finding>& findings) {
    QStringList list;
    for (const linescan::Finding& f : findings) {
        const QString what =
            f.kind == linescan::Finding::Kind::Collision
                ? QStringLiteral("collision")
                : QString::fromStdString(f.identity ? protocol::SerialNumberText(*f.identity)
                                                    : std::string("-"));
        list << QStringLiteral("%1 %2 %3 %4")
                    .arg(f.baud)
                    .arg(f.protocol == protocol::Protocol::Modbus ? "modbus" : "qv")
                    .arg(f.address)
                    .arg(what);
    }
    return list;
}

}  // namespace

class TestLineScan : public QObject {
    Q_OBJECT
private slots:
    // Each row: the instruments on the line, the range asked, and what the scan must report.
    // Serial numbers are address * 10 + the instrument's place in the list.
    void findsEveryInstrumentAtItsAddress_data() {
        QTest::addColumn<QString>("bus");
        QTest::addColumn<int>("last");  // addresses 1..last
        QTest::addColumn<QString>("protocols");
        QTest::addColumn<QList<int>>("bauds");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("rechecked");  // late or damaged bytes sent the scan back
        QTest::newRow("prompt instruments")
            << "modbus:3,modbus:5" << 8 << "modbus" << QList<int>{9600}
            << QStringList{"9600 modbus 3 240030", "9600 modbus 5 240051"} << false;
        QTest::newRow("a late answer lands in a later address's wait")
            << "modbus:3+300ms,modbus:5" << 12 << "modbus" << QList<int>{9600}
            << QStringList{"9600 modbus 3 240030", "9600 modbus 5 240051"} << true;
        QTest::newRow("late almost the full wait, QV")
            << "qv:4@115200+360ms" << 20 << "qv" << QList<int>{115200}
            << QStringList{"115200 qv 4 240040"} << true;
        QTest::newRow("late at the range's last address")
            << "modbus:8+300ms" << 8 << "modbus" << QList<int>{9600}
            << QStringList{"9600 modbus 8 240080"} << true;
        QTest::newRow("two slow ones next to each other")
            << "modbus:4@19200+200ms,modbus:5@19200+340ms,modbus:6@19200" << 10 << "modbus"
            << QList<int>{19200}
            << QStringList{"19200 modbus 4 240040", "19200 modbus 5 240051",
                           "19200 modbus 6 240062"}
            << true;
        QTest::newRow("two share an address")
            << "modbus:6,modbus:6,modbus:2" << 8 << "modbus" << QList<int>{9600}
            << QStringList{"9600 modbus 2 240022", "9600 modbus 6 collision"} << false;
        QTest::newRow("each protocol its own, none taken for a collision")
            << "qv:2,modbus:3" << 5 << "qv,modbus" << QList<int>{9600}
            << QStringList{"9600 qv 2 240020", "9600 modbus 3 240031"} << false;
        QTest::newRow("at its own speed only")
            << "modbus:7@19200,qv:3" << 8 << "qv,modbus" << QList<int>{9600, 19200}
            << QStringList{"9600 qv 3 240031", "19200 modbus 7 240070"} << false;
        // Slower than the full wait: not found, and above all not put at another address.
        QTest::newRow("slower than the full wait")
            << "modbus:3+500ms" << 12 << "modbus" << QList<int>{9600} << QStringList{} << true;
    }
    void findsEveryInstrumentAtItsAddress() {
        QFETCH(QString, bus);
        QFETCH(int, last);
        QFETCH(QString, protocols);
        QFETCH(QList<int>, bauds);
        QFETCH(QStringList, expected);
        QFETCH(bool, rechecked);
        ClockedLine line(Bus(bus));
        linescan::LineScan scan(line, Plan(1, last, protocols, bauds));
        std::vector<linescan::ScanProgress> progress;
        scan.onProgress = [&](const linescan::ScanProgress& p) { progress.push_back(p); };
        QVERIFY(scan.Run());
        QCOMPARE(Described(scan.Findings()), expected);
        QCOMPARE(scan.Rechecks() > 0, rechecked);
        // Every address reported once per speed and protocol, in order, none counted twice.
        QCOMPARE(progress.size(), progress.front().total);
        for (size_t i = 0; i < progress.size(); ++i) {
            QCOMPARE(progress[i].done, i);
            QVERIFY(progress[i].secondsLeft >= 0);
        }
    }

    // The short wait is what makes the scan fast: with prompt instruments, each address is
    // asked once per protocol and the whole range takes about that many short waits.
    void promptLineIsAskedOnceAtTheShortWait() {
        ClockedLine line(Bus("modbus:10,qv:20"));
        linescan::LineScan scan(line, Plan(1, 247, "qv,modbus", {9600}));
        const Clock::time_point start = line.Now();
        QVERIFY(scan.Run());
        QCOMPARE(scan.Rechecks(), size_t(0));
        QCOMPARE(line.MostAskedOnce(), 1);
        QCOMPARE(line.Sent(), size_t(247 + 246 + 2));  // QV 20 is not asked in Modbus; 2 reads
        const double seconds = std::chrono::duration<double>(line.Now() - start).count();
        QVERIFY2(seconds < 30.0, qPrintable(QString::number(seconds)));
        QVERIFY2(seconds > 494 * 0.02, qPrintable(QString::number(seconds)));
    }

    // A stop ends the scan at once: nothing more is sent, what was found stays.
    void stopKeepsWhatWasFound_data() {
        QTest::addColumn<QString>("bus");
        QTest::addColumn<int>("stopAfterSends");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("in the short waits") << "modbus:2,modbus:5,modbus:9" << 6
                                            << QStringList{"9600 modbus 2 -", "9600 modbus 5 -"};
        // 9 answers promptly before the late answer of 3 turns up; 3 is asked again.
        QTest::newRow("after asking again")
            << "modbus:2,modbus:3+300ms,modbus:9" << 14
            << QStringList{"9600 modbus 2 -", "9600 modbus 3 -", "9600 modbus 9 -"};
        // An answer later than the full wait explains nothing: every address asked within the
        // full wait before it is asked again, and the stop comes among those.
        QTest::newRow("while asking again with the full wait")
            << "modbus:2,modbus:3+500ms,modbus:9" << 18
            << QStringList{"9600 modbus 2 -", "9600 modbus 9 -"};
    }
    void stopKeepsWhatWasFound() {
        QFETCH(QString, bus);
        QFETCH(int, stopAfterSends);
        QFETCH(QStringList, expected);
        ClockedLine line(Bus(bus));
        linescan::LineScan scan(line, Plan(1, 20, "modbus", {9600}));
        size_t sentAtStop = 0;
        scan.stopRequested = [&] {
            if (sentAtStop == 0 && line.Sent() >= size_t(stopAfterSends)) {
                sentAtStop = line.Sent();
                scan.Stop();
            }
            return false;
        };
        QVERIFY(!scan.Run());
        QCOMPARE(line.Sent(), sentAtStop);
        QCOMPARE(Described(scan.Findings()), expected);
    }

    void answerDelayInTheBusList_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<QString>("described");
        QTest::newRow("none") << "modbus:9" << true << 0 << "modbus:9@9600";
        QTest::newRow("after the address")
            << "modbus:9+300ms" << true << 300 << "modbus:9@9600+300ms";
        QTest::newRow("after the speed") << "qv:12@19200+45ms" << true << 45 << "qv:12@19200+45ms";
        QTest::newRow("no unit") << "modbus:9+300" << false << 0 << "";
        QTest::newRow("no number") << "modbus:9+ms" << false << 0 << "";
        QTest::newRow("too long") << "modbus:9+10001ms" << false << 0 << "";
        QTest::newRow("before the speed") << "modbus:9+3ms@9600" << false << 0 << "";
    }
    void answerDelayInTheBusList() {
        QFETCH(QString, entry);
        QFETCH(bool, valid);
        QFETCH(int, delayMs);
        QFETCH(QString, described);
        sim::Config config;
        std::string error;
        QCOMPARE(sim::ParseInstrument(entry.toStdString(), config, error), valid);
        QCOMPARE(error.empty(), valid);
        if (!valid) return;
        QCOMPARE(config.answerDelayMs, delayMs);
        QCOMPARE(QString::fromStdString(sim::Describe(config)), described);
    }

    // The tool's own line over the virtual bus: a QV instrument, a slow one, one at another
    // speed, two sharing an address.
    void scanOfAVirtualBus() {
        std::vector<sim::Config> configs =
            Bus("qv:12,modbus:9+200ms,modbus:30@19200,modbus:20,modbus:20");
        sim::VirtualBus bus(configs);
        for (size_t i = 0; i < bus.Size(); ++i)
            bus.Instrument(i).Model().Change(
                [i](sim::InstrumentState& s) { s.serialNumber = uint16_t(100 + i); });
        bus.Start();
        cli::Line line(bus.DevicePath(), 9600, 370, false);
        linescan::ScanPlan plan = Plan(8, 13, "qv,modbus", {9600, 19200});
        for (uint16_t a : {19, 20, 21, 29, 30, 31}) plan.addresses.push_back(a);
        linescan::LineScan scan(line, plan);
        QVERIFY(scan.Run());
        QCOMPARE(Described(scan.Findings()),
                 QStringList({"9600 modbus 9 240101", "9600 qv 12 240100",
                              "9600 modbus 20 collision", "19200 modbus 30 240102"}));
        QVERIFY(bus.Collisions() > 0);
    }
};

QTEST_GUILESS_MAIN(TestLineScan)
#include "test_linescan.moc"
