// Modbus RTU: a request never follows the last byte received sooner than 3.5 characters
// (1.75 ms above 19200 bit/s). The test plays the instrument on a pseudo-terminal itself, so
// it can time-stamp both sides: the moment before an answer is written and the moment the next
// request is read. The program polls one parameter with the shortest interval, where the
// request would otherwise come about a millisecond after the answer. Only the lower bound is
// asserted; how much later a request comes depends on the machine.
#include <poll.h>

#include <QEventLoop>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "AppHarness.h"
#include "PtyPair.h"
#include "sim/Answers.h"

namespace {

using Clock = std::chrono::steady_clock;

// The far side of the line: answers every 8-byte Modbus read as the virtual instrument's model
// would, and notes when each request was read and when each answer was about to be written.
class TimedResponder {
public:
    explicit TimedResponder(int master) : FMaster(master), FThread([this] { Serve(); }) {}
    ~TimedResponder() {
        FStop = true;
        FThread.join();
    }

    // Gaps from an answer to the request after it, microseconds.
    std::vector<double> Gaps() const {
        std::lock_guard<std::mutex> lock(FMutex);
        std::vector<double> gaps;
        for (size_t i = 1; i < FRequests.size() && i - 1 < FAnswers.size(); ++i)
            gaps.push_back(
                std::chrono::duration<double, std::micro>(FRequests[i] - FAnswers[i - 1]).count());
        return gaps;
    }

private:
    void Serve() {
        sim::Bytes pending;
        while (!FStop) {
            pollfd p{FMaster, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            uint8_t chunk[256];
            const ssize_t n = ::read(FMaster, chunk, sizeof chunk);
            if (n <= 0) continue;
            pending.insert(pending.end(), chunk, chunk + n);
            while (pending.size() >= 8) {
                const sim::Bytes request(pending.begin(), pending.begin() + 8);
                pending.erase(pending.begin(), pending.begin() + 8);
                Answer(request);
            }
        }
    }

    // Bytes that are no request (the line's echo once the port side has closed and restored
    // its terminal settings) get no answer and are not noted.
    void Answer(const sim::Bytes& request) {
        const Clock::time_point read = Clock::now();
        const sim::Bytes answer = sim::Answer(FModel, request);
        if (answer.empty()) return;
        const Clock::time_point written = Clock::now();
        (void)!::write(FMaster, answer.data(), answer.size());
        std::lock_guard<std::mutex> lock(FMutex);
        FRequests.push_back(read);
        FAnswers.push_back(written);
    }

    int FMaster;
    sim::InstrumentModel FModel;
    std::atomic<bool> FStop{false};
    mutable std::mutex FMutex;
    std::vector<Clock::time_point> FRequests;
    std::vector<Clock::time_point> FAnswers;
    std::thread FThread;
};

// Runs the event loop without pause (QTest::qWait sleeps between its turns, which would leave
// the program's timers late) until `done` holds; false after `timeoutMs`.
bool RunEventLoopUntil(const std::function<bool()>& done, int timeoutMs) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    check.start(5);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

}  // namespace

class TestModbusSilence : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(qEnvironmentVariableIsSet("HOME")); }

    void requestKeepsTheSilenceAfterAnAnswer_data() {
        QTest::addColumn<int>("speedIndex");
        QTest::addColumn<int>("silenceUs");
        QTest::newRow("115200 bit/s") << 7 << 1750;
        QTest::newRow("19200 bit/s") << 4 << 2006;
        QTest::newRow("9600 bit/s") << 3 << 4011;
    }
    void requestKeepsTheSilenceAfterAnAnswer() {
        QFETCH(int, speedIndex);
        QFETCH(int, silenceUs);
        PtyPair line;
        QVERIFY(line.Valid());
        TimedResponder instrument(line.master);
        AppHarness::WriteSettings(AppHarness::Settings(1, speedIndex, 500));
        QStringList errors;
        std::vector<double> gaps;  // taken while polling, before the port closes
        Tz::PortOverride = line.slavePath;
        TTestDesktop desktop;
        desktop.errorBox = [&errors](const QString& text) { errors << text; };
        {
            Tz window(nullptr, &desktop);
            TSettingForm settingForm(&window);
            SettingForm = &settingForm;
            window.show();
            QVERIFY(QTest::qWaitFor([&] { return CurrentQuery && window.ComPort->Connected(); },
                                    10000));
            Ui::Tz& f = *window.ui;
            f.EditAdr->setText(QStringLiteral("1"));
            window.EditAdrExit();
            f.ToolButton1->click();
            f.CheckBox1->setChecked(true);
            f.Edit1->setText(QStringLiteral("1"));  // the shortest pause that polls
            f.BitBtn1->click();
            QVERIFY(RunEventLoopUntil([&] { return instrument.Gaps().size() >= 30; }, 20000));
            gaps = instrument.Gaps();
            f.BitBtn2->click();
            SettingForm = nullptr;
        }
        Tz::PortOverride.clear();
        QCOMPARE(errors, QStringList());
        const double shortest = *std::min_element(gaps.begin(), gaps.end());
        QVERIFY2(shortest >= silenceUs,
                 qPrintable(QStringLiteral("a request came %1 us after an answer").arg(shortest)));
    }
};

QTEST_MAIN(TestModbusSilence)
#include "test_modbus_silence.moc"
