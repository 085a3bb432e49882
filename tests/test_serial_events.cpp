// Event delivery of an open TSerialPort on a pseudo-terminal: the thread each handler runs in,
// counts and order, the thread sleeping while unread bytes wait, exceptions from handlers,
// Close during a delivery, the far side hanging up, and packets cut from received text.
#include <QtTest>
#include <mutex>
#include <thread>

#include "PtyPair.h"
#include "serial/SerialPort.h"
#include "serial/SerialThread.h"

namespace {

// What the handlers saw; handlers may run on the event thread, so everything is locked.
class Recorder {
public:
    void Add(int32_t count) {
        std::lock_guard<std::mutex> lock(FMutex);
        FCounts << count;
        FThreads << QThread::currentThread();
    }
    int Calls() const {
        std::lock_guard<std::mutex> lock(FMutex);
        return int(FCounts.size());
    }
    QList<int32_t> Counts() const {
        std::lock_guard<std::mutex> lock(FMutex);
        return FCounts;
    }
    QList<QThread*> Threads() const {
        std::lock_guard<std::mutex> lock(FMutex);
        return FThreads;
    }

private:
    mutable std::mutex FMutex;
    QList<int32_t> FCounts;
    QList<QThread*> FThreads;
};

// Waits for a condition without running the main thread's event loop, so nothing handed to
// the main thread is delivered meanwhile.
bool WaitWithoutEvents(const std::function<bool()>& done) {
    QDeadlineTimer deadline(10000);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        std::this_thread::yield();
    }
    return true;
}

// Long enough for a spinning event thread to show thousands of wake-ups.
constexpr int QuietPeriodMs = 300;

int WakeUps(const TSerialPort& port) {
    return port.EventThread()->WakeUps();
}

// Collects the exceptions of smWindowSync delivery of the port it is given to.
struct ReportedExceptions : TExceptionReport {
    QStringList messages;
    void HandlerFailed(const QString& m) override { messages << m; }
};

void AddSyncMethodRows(std::initializer_list<TSyncMethod> methods) {
    QTest::addColumn<int>("syncMethod");
    for (TSyncMethod m : methods) {
        const char* name = m == smThreadSync   ? "smThreadSync"
                           : m == smWindowSync ? "smWindowSync"
                                               : "smNone";
        QTest::newRow(name) << int(m);
    }
}

}  // namespace

class TestSerialEvents : public QObject {
    Q_OBJECT
private slots:
    void deliveryThreadAndCounts_data();
    void deliveryThreadAndCounts();
    void unreadBytesWakeOnlyOnArrival();
    void emptyQueueAtDeliveryCallsNoHandler();
    void handlerExceptionEndsDelivery_data();
    void handlerExceptionEndsDelivery();
    void windowSyncReportsExceptionAndGoesOn();
    void closeRunsHandedOverWakeUp_data();
    void closeRunsHandedOverWakeUp();
    void hangUpNeitherCrashesNorSpins_data();
    void hangUpNeitherCrashesNorSpins();
    void receivedTextAsPacketsOrCount_data();
    void receivedTextAsPacketsOrCount();
};

void TestSerialEvents::deliveryThreadAndCounts_data() {
    AddSyncMethodRows({smThreadSync, smWindowSync, smNone});
}

// Count is what waits in the queue at delivery, so unread bytes of earlier arrivals add up.
void TestSerialEvents::deliveryThreadAndCounts() {
    QFETCH(int, syncMethod);
    PtyPair pty;
    QVERIFY(pty.Valid());
    Recorder rx;
    TSerialPort port;
    port.SetPort(pty.slavePath);
    port.SetSyncMethod(TSyncMethod(syncMethod));
    port.OnRxChar = [&rx](TSerialPort*, int32_t count) { rx.Add(count); };
    port.Open();

    QVERIFY(pty.Send("a"));
    QTRY_COMPARE_WITH_TIMEOUT(rx.Calls(), 1, 10000);
    QVERIFY(pty.Send("bc"));
    QTRY_COMPARE_WITH_TIMEOUT(rx.Calls(), 2, 10000);
    QCOMPARE(rx.Counts(), (QList<int32_t>{1, 3}));

    QThread* expected = syncMethod == smNone ? const_cast<TSerialThread*>(port.EventThread())
                                             : QThread::currentThread();
    for (QThread* thread : rx.Threads()) QCOMPARE(thread, expected);
}

void TestSerialEvents::unreadBytesWakeOnlyOnArrival() {
    PtyPair pty;
    Recorder rx;
    TSerialPort port;
    port.SetPort(pty.slavePath);
    port.OnRxChar = [&rx](TSerialPort*, int32_t count) { rx.Add(count); };
    port.Open();

    QVERIFY(pty.Send("0123456789"));
    QTRY_VERIFY_WITH_TIMEOUT(!rx.Counts().isEmpty() && rx.Counts().last() == 10, 10000);
    const int calls = rx.Calls();
    const int wakeUps = WakeUps(port);
    QTest::qWait(QuietPeriodMs);
    QCOMPARE(rx.Calls(), calls);
    QCOMPARE(WakeUps(port), wakeUps);
    QVERIFY(calls <= 2);

    QVERIFY(pty.Send("A"));
    QTRY_COMPARE_WITH_TIMEOUT(rx.Calls(), calls + 1, 10000);
    QCOMPARE(rx.Counts().last(), 11);
    QTest::qWait(QuietPeriodMs);
    QCOMPARE(rx.Calls(), calls + 1);
    QCOMPARE(port.InBufCount(), 11);
}

// Another thread took the bytes between the wake-up and its delivery.
void TestSerialEvents::emptyQueueAtDeliveryCallsNoHandler() {
    PtyPair pty;
    Recorder rx;
    TSerialPort port;
    port.SetPort(pty.slavePath);
    port.OnRxChar = [&rx](TSerialPort*, int32_t count) { rx.Add(count); };
    port.Open();

    QVERIFY(pty.Send("xyz"));
    QVERIFY(WaitWithoutEvents([&] { return WakeUps(port) >= 1 && port.InBufCount() == 3; }));
    char buffer[8];
    QCOMPARE(port.Read(buffer, 8), 3);
    QTest::qWait(QuietPeriodMs);
    QCOMPARE(rx.Calls(), 0);

    QVERIFY(pty.Send("q"));
    QTRY_COMPARE_WITH_TIMEOUT(rx.Calls(), 1, 10000);
    QCOMPARE(rx.Counts().first(), 1);
}

void TestSerialEvents::handlerExceptionEndsDelivery_data() {
    AddSyncMethodRows({smThreadSync, smNone});
}

void TestSerialEvents::handlerExceptionEndsDelivery() {
    QFETCH(int, syncMethod);
    PtyPair pty;
    Recorder rx;
    TSerialPort port;
    port.SetPort(pty.slavePath);
    port.SetSyncMethod(TSyncMethod(syncMethod));
    port.OnRxChar = [&rx](TSerialPort*, int32_t count) {
        rx.Add(count);
        throw ESerialPort(QStringLiteral("handler failed"));
    };
    port.Open();

    QVERIFY(pty.Send("a"));
    QTRY_COMPARE_WITH_TIMEOUT(rx.Calls(), 1, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(port.EventThread()->isFinished(), 10000);
    QVERIFY(port.EventThread()->Failure() != nullptr);
    QVERIFY(pty.Send("b"));
    QTest::qWait(QuietPeriodMs);
    QCOMPARE(rx.Calls(), 1);

    port.Close();
    QVERIFY(!port.Connected());
    port.Open();  // a new open delivers again
    QVERIFY(pty.Send("c"));
    QTRY_COMPARE_WITH_TIMEOUT(rx.Calls(), 2, 10000);
}

void TestSerialEvents::windowSyncReportsExceptionAndGoesOn() {
    ReportedExceptions reported;
    PtyPair pty;
    Recorder rx;
    TSerialPort port;
    port.SetPort(pty.slavePath);
    port.SetSyncMethod(smWindowSync);
    port.SetExceptionReport(&reported);
    port.OnRxChar = [&rx](TSerialPort*, int32_t count) {
        rx.Add(count);
        if (rx.Calls() == 1) throw ESerialPort(QStringLiteral("first failed"));
    };
    port.Open();

    QVERIFY(pty.Send("a"));
    QTRY_COMPARE_WITH_TIMEOUT(reported.messages, QStringList{"first failed"}, 10000);
    QVERIFY(pty.Send("b"));
    QTRY_COMPARE_WITH_TIMEOUT(rx.Calls(), 2, 10000);
    QCOMPARE(rx.Counts(), (QList<int32_t>{1, 2}));
    QCOMPARE(reported.messages.size(), 1);
}

void TestSerialEvents::closeRunsHandedOverWakeUp_data() {
    QTest::addColumn<int>("syncMethod");
    QTest::addColumn<int>("handlerRuns");
    QTest::newRow("smThreadSync") << int(smThreadSync) << 1;
    // The event thread did not wait: it purged the queue on its way out before the queued
    // delivery ran inside Close, which then finds nothing to report.
    QTest::newRow("smWindowSync") << int(smWindowSync) << 0;
}

// A wake-up handed to the main thread before Close is delivered inside Close, with the port
// still open; nothing runs once Close has returned.
void TestSerialEvents::closeRunsHandedOverWakeUp() {
    QFETCH(int, syncMethod);
    QFETCH(int, handlerRuns);
    PtyPair pty;
    TSerialPort port;
    port.SetPort(pty.slavePath);
    port.SetSyncMethod(TSyncMethod(syncMethod));
    bool closing = false;
    QList<bool> ranWhileClosing;
    QList<bool> connectedThen;
    port.OnRxChar = [&](TSerialPort* sender, int32_t) {
        ranWhileClosing << closing;
        connectedThen << sender->Connected();
    };
    port.Open();

    QVERIFY(pty.Send("a"));
    QVERIFY(WaitWithoutEvents([&] { return WakeUps(port) >= 1; }));
    closing = true;
    port.Close();
    closing = false;
    QCOMPARE(ranWhileClosing, QList<bool>(handlerRuns, true));
    QCOMPARE(connectedThen, QList<bool>(handlerRuns, true));

    QVERIFY(pty.Send("b"));
    QTest::qWait(QuietPeriodMs);
    QCOMPARE(ranWhileClosing.size(), handlerRuns);
}

void TestSerialEvents::hangUpNeitherCrashesNorSpins_data() {
    AddSyncMethodRows({smThreadSync, smWindowSync, smNone});
}

void TestSerialEvents::hangUpNeitherCrashesNorSpins() {
    QFETCH(int, syncMethod);
    ReportedExceptions reported;
    PtyPair pty;
    Recorder rx;
    TSerialPort port;
    port.SetPort(pty.slavePath);
    port.SetSyncMethod(TSyncMethod(syncMethod));
    port.SetExceptionReport(&reported);
    port.OnRxChar = [&rx](TSerialPort*, int32_t count) { rx.Add(count); };
    port.Open();

    pty.CloseMaster();
    QTRY_VERIFY_WITH_TIMEOUT(WakeUps(port) >= 1, 10000);
    QTest::qWait(QuietPeriodMs);
    const int wakeUps = WakeUps(port);
    QTest::qWait(QuietPeriodMs);
    QCOMPARE(WakeUps(port), wakeUps);
    QVERIFY(wakeUps <= 2);
    QVERIFY(reported.messages.size() <= 1);

    port.Close();
    QVERIFY(!port.Connected());
    char byte;
    QVERIFY_THROWS_EXCEPTION(ESerialPort, port.Read(&byte, 1));
}

void TestSerialEvents::receivedTextAsPacketsOrCount_data() {
    QTest::addColumn<QString>("stopString");
    QTest::addColumn<QStringList>("packets");
    QTest::addColumn<int>("rxCount");
    QTest::addColumn<int>("leftQueued");
    QTest::newRow("packet defined") << "CD" << QStringList{"1CD"} << 0 << 0;
    QTest::newRow("enabled, nothing defined") << "" << QStringList{} << 4 << 4;
}

void TestSerialEvents::receivedTextAsPacketsOrCount() {
    QFETCH(QString, stopString);
    QFETCH(QStringList, packets);
    QFETCH(int, rxCount);
    QFETCH(int, leftQueued);
    PtyPair pty;
    Recorder rx;
    QStringList received;
    TSerialPort port;
    port.SetPort(pty.slavePath);
    port.DataPacket().SetEnabled(true);
    port.DataPacket().SetStopString(stopString);
    port.OnRxChar = [&rx](TSerialPort*, int32_t count) { rx.Add(count); };
    port.OnPacket = [&received](TSerialPort*, const QString& str) { received << str; };
    port.Open();

    QVERIFY(pty.Send("1CD2"));
    QTRY_VERIFY_WITH_TIMEOUT(received.size() + rx.Calls() > 0, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(port.InBufCount(), leftQueued, 10000);
    QCOMPARE(received, packets);
    QCOMPARE(rx.Counts(), rxCount ? QList<int32_t>{rxCount} : QList<int32_t>{});
}

QTEST_GUILESS_MAIN(TestSerialEvents)
#include "test_serial_events.moc"
