// The program on a hostile bench: the device vanishing in the middle of polling, random bytes
// flooding the line, answers overlapping the next exchange, a long polling run with faults
// injected at random (counted exactly by the instrument), hostile settings files and hostile
// update pages. Every test runs the real windows, the real port on a pseudo-terminal and the
// virtual instrument; the HOME is a fresh temporary folder, whatever the caller's.
//
// Figures for the README: `TESSERA_SOAK_EXCHANGES=10000 ./tests/test_reliability soak`.
#include <sys/stat.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <iterator>
#include <limits>
#include <random>
#include <thread>

#include "AppHarness.h"
#include "BoxCloser.h"
#include "ShardedMain.h"
#include "exchange/cp1251.h"
#include "sim/Answers.h"
#include "ui/Profile.h"
#include "ui/SetupFile.h"
#include "ui/UpdateForm.h"
#include "ui/UpdateNet.h"
#include "ui_Unit1.h"

using sim::Protocol;

namespace {

constexpr int Wait = 10000;  // generous: these machines are shared and noisy

// Runs the event loop (never a sleep: the program's answers are handled there) until the
// predicate holds, checking it every millisecond; false when the time runs out.
bool SpinUntil(const std::function<bool()>& done, int timeoutMs) {
    if (done()) return true;
    QEventLoop loop;
    QTimer check;
    check.setTimerType(Qt::PreciseTimer);
    bool ok = false;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done()) {
            ok = true;
            loop.quit();
        }
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    check.start(1);
    loop.exec();
    return ok || done();
}

// Resident memory of this process in KiB (VmRSS of /proc/self/status).
qint64 RssKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

int SoakExchanges() {
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("TESSERA_SOAK_EXCHANGES", &ok);
    return ok && n > 0 ? n : 10000;
}

// Stands between the request builder and the main window and notes every request that goes
// out while the answer to the one before is still awaited.
struct OverlapWatch : TQueryTarget {
    TQueryTarget* inner = nullptr;
    int queries = 0;
    int overlaps = 0;
    TSerialPort* QueryPort() override { return inner->QueryPort(); }
    void ArmAnswerTimeout() override {
        ++queries;
        if (AwaitingAnswer) ++overlaps;
        inner->ArmAnswerTimeout();
    }
    int SelectedRelay() override { return inner->SelectedRelay(); }
};

QString Title(int speedIndex, int protocol) {
    static const char* const SpeedNames[] = {"1200",  "2400",  "4800",  "9600",
                                             "19200", "38400", "57600", "115200"};
    return QStringLiteral("Tessera_RS-485 4.15        Протокол: %1   %2")
        .arg(protocol == 0 ? QStringLiteral("Quorvanta") : QStringLiteral("ModBus RTU"),
             QLatin1String(SpeedNames[speedIndex]));
}

QByteArray RandomBytes(int size, uint32_t seed) {
    std::mt19937 random(seed);
    QByteArray bytes(size, '\0');
    for (char& c : bytes) c = char(random() & 0xFF);
    return bytes;
}

// What a settings file holds in place of setup.cfg.
enum SettingsShape {
    RegularFile,
    ReadOnlyFile,
    FolderInstead,
    FifoInstead,
    DanglingLink,
    FolderIsAFile
};

// A local web server that answers every request with one body.
class PageServer : public QObject {
public:
    explicit PageServer(QByteArray body) : FBody(std::move(body)) {
        connect(&FServer, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = FServer.nextPendingConnection()) {
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    if (!socket->readAll().contains("\r\n\r\n")) return;
                    socket->write(
                        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n"
                        "Content-Length: " +
                        QByteArray::number(FBody.size()) + "\r\n\r\n" + FBody);
                    socket->disconnectFromHost();
                });
            }
        });
    }
    bool Listen() { return FServer.listen(QHostAddress::LocalHost, 0); }
    QString Url() const {
        return QStringLiteral("http://127.0.0.1:%1/page").arg(FServer.serverPort());
    }

private:
    QTcpServer FServer;
    QByteArray FBody;
};

}  // namespace

Q_DECLARE_METATYPE(SettingsShape)

class TestReliability : public QObject {
    Q_OBJECT
    AppHarness app;

    void StartWith(Protocol protocol, uint16_t address,
                   const std::function<QString(const QString&)>& portFor = {}) {
        // The exchange globals outlive a window the previous test destroyed mid-exchange; a
        // program starts with no answer awaited.
        AwaitingAnswer = false;
        sim::Config config;
        config.protocol = protocol;
        config.address = address;
        app.Start(&config, protocol == Protocol::Modbus, QString(), portFor);
        app.SetAddress(address);
        QVERIFY(app.window->ComPort->Connected());
    }
    void Tick(bool p1, bool p2, bool p3) {
        app.ui().CheckBox1->setChecked(p1);
        app.ui().CheckBox2->setChecked(p2);
        app.ui().CheckBox3->setChecked(p3);
    }
    // Starts reading and waits until the values are being polled.
    void StartPolling(const QString& interval) {
        app.ui().Edit1->setText(interval);
        app.ui().ToolButton1->click();
        app.ui().BitBtn1->click();
        QTRY_COMPARE_WITH_TIMEOUT(int(ExchangeState.load()), int(ExchangeStates::ContinuousReading),
                                  Wait);
    }
    // Waits (event loop running) until `more` further requests have gone out.
    bool MoreRequests(int more, int timeoutMs = 60000) {
        const int target = SentCount + more;
        return SpinUntil([&] { return SentCount >= target; }, timeoutMs);
    }
    // Counts the answers the interpretation took while values were polled: each one ends
    // with a blank line in the hidden answer log.
    // The count lives in the test object, which outlives the window.
    // Puts the request watcher between the request builder and the window.
    void WatchRequests() {
        FWatch.inner = app.window.get();
        QueryTarget = &FWatch;
    }

    void CountInterpretedAnswers() {
        FInterpreted = 0;
        // A shown log takes each answer's lines as it comes (a hidden one only once shown).
        app.ui().Memo1->show();
        QAbstractItemModel* log = app.ui().Memo1->model();
        connect(log, &QAbstractItemModel::rowsInserted, this,
                [this, log](const QModelIndex&, int first, int last) {
                    for (int row = first; row <= last; ++row)
                        if (ExchangeState == ExchangeStates::ContinuousReading &&
                            log->index(row, 0).data().toString() == QLatin1String("  "))
                            ++FInterpreted;
                });
    }

    // Stops polling at an exchange boundary: the exchange in flight arms an hour's pause
    // when its answer or its silence has been taken, and "Стоп" ends that pause.
    void StopAtExchangeBoundary() {
        app.ui().Edit1->setText(QString::number(Tz::LongestRepeatPauseMs));
        QVERIFY(SpinUntil(
            [&] {
                return !AwaitingAnswer && app.window->TimerRepeat->isActive() &&
                       app.window->TimerRepeat->interval() == Tz::LongestRepeatPauseMs;
            },
            Wait));
        app.ui().BitBtn2->click();
        QVERIFY(!app.window->TimerRepeat->isActive());
    }

private slots:
    void initTestCase() {
        // Tests never see the operator's settings: the documents folder is ours alone.
        QVERIFY(FHome.isValid());
        qputenv("HOME", FHome.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (FHome.path() + "/.config").toUtf8());
        qputenv("XDG_DATA_HOME", (FHome.path() + "/.local/share").toUtf8());
        QVERIFY(AppHarness::SettingsPath().startsWith(FHome.path()));
        // The settings dialog lists ports from an empty folder, not from this machine.
        QVERIFY(QDir().mkpath(FHome.path() + "/sysfs-tty"));
        qputenv("TESSERA_SYSFS_TTY", (FHome.path() + "/sysfs-tty").toUtf8());
    }
    // Whatever an earlier run left in place of the settings file or its folder.
    static void RemoveSettingsShapes() {
        const QString path = AppHarness::SettingsPath();
        const QString folder = QFileInfo(path).path();
        if (QFileInfo(folder).isFile() || QFileInfo(folder).isSymLink()) QFile::remove(folder);
        const QFileInfo info(path);
        if (info.isDir() && !info.isSymLink())
            QDir(path).removeRecursively();
        else if (info.exists() || info.isSymLink()) {
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
            QFile::remove(path);
        }
    }

    // The window goes first: its exchange thread may still be in a pass that reads the
    // watcher, and the window ends that thread before it lets go of the request target.
    void cleanup() {
        app.Stop();
        QVERIFY(QueryTarget == nullptr);
        FWatch = OverlapWatch{};
    }

    // --- the device vanishes -------------------------------------------------------------

    void deviceVanishesDuringReading_data() {
        QTest::addColumn<bool>("modbus");
        QTest::addColumn<bool>("throughDialog");
        QTest::newRow("Modbus, reopened in the settings dialog") << true << true;
        QTest::newRow("QV, port reopened directly") << false << false;
    }
    void deviceVanishesDuringReading() {
        QFETCH(bool, modbus);
        QFETCH(bool, throughDialog);
        // The program reaches the device through a name of the test's own, which goes with
        // the device: a pty that another test opens meanwhile may get the vanished one's
        // number, and the program, watching for the device to return, would take it.
        QTemporaryDir names;
        const QString name = names.filePath(QStringLiteral("instrument"));
        StartWith(modbus ? Protocol::Modbus : Protocol::Qv, 7, [&name](const QString& device) {
            return QFile::link(device, name) ? name : device;
        });
        app.instrument->Model().SetParameterSetup(1, 100.0f, 1, 2);
        app.instrument->Model().FreezeValue(1, 12.5f);
        Tick(true, false, false);
        StartPolling(QStringLiteral("20"));
        QTRY_COMPARE_WITH_TIMEOUT(app.PanelText(1), QStringLiteral("  12.5"), Wait);

        QVERIFY(QFile::remove(name));
        app.instrument->Vanish();
        QTRY_VERIFY_WITH_TIMEOUT(!app.errors.isEmpty(), Wait);
        qInfo() << "device gone:" << app.errors << "status:" << app.window->StatusText();
        // The component's own text, then what to check.
        const QString shown = app.errors.first();
        const int lineMessages[] = {3, 4, 5, 9};
        const bool portText =
            std::any_of(std::begin(lineMessages), std::end(lineMessages), [&](int i) {
                return shown.startsWith(QString::fromUtf8(SerialPortMessages[i]) +
                                        QLatin1Char('.'));
            });
        QVERIFY2(portText, qPrintable(shown));
        QVERIFY2(shown.contains(QStringLiteral("проверьте подключение")), qPrintable(shown));
        // The polling comes to rest: no request awaited, no timer left to fire.
        QTRY_VERIFY_WITH_TIMEOUT(!AwaitingAnswer && !app.window->Timer_Out->isActive() &&
                                     !app.window->TimerRepeat->isActive(),
                                 Wait);
        // and stays there: one message, not one per time-out.
        const int told = app.errors.size();
        QTest::qWait(3 * AnswerTimeoutMs);
        QVERIFY2(app.errors.size() == told, qPrintable(app.errors.join(QLatin1Char('|'))));
        QVERIFY(!AwaitingAnswer);

        app.instrument->Reappear();
        const QString path = QString::fromStdString(app.instrument->DevicePath());
        if (throughDialog) {
            BoxCloser boxes;
            QTimer::singleShot(0, this, [path] {
                SettingForm->ui->ComboBox1->setEditText(path);
                SettingForm->ui->Button1->click();
            });
            app.ui().ToolButton3->click();  // modal: the dialog's own loop runs the clicks above
            QVERIFY2(boxes.seen.isEmpty(), qPrintable(boxes.Texts().join(QLatin1Char('|'))));
        } else {
            app.window->ComPort->Close();
            app.window->ComPort->SetPort(path);
            app.window->ComPort->Open();
        }
        QVERIFY(app.window->ComPort->Connected());
        QCOMPARE(app.window->ComPort->Port(), path);

        app.errors.clear();
        app.instrument->ClearReceived();
        app.instrument->Model().FreezeValue(1, 1.25f);
        const int passes = ExchangeThread->PassCount();
        app.ui().BitBtn1->click();
        QTRY_COMPARE_WITH_TIMEOUT(app.PanelText(1), QStringLiteral("   1.3"), Wait);
        QVERIFY(app.WaitForFrames(5, Wait));  // and it goes on
        QVERIFY(ExchangeThread->PassCount() >= passes + 4);
        QCOMPARE(NoAnswerCount.load(), 0);
        QCOMPARE(CrcErrorCount.load(), 0);
        QVERIFY(app.errors.isEmpty());
    }

    // --- random bytes on the line --------------------------------------------------------

    void floodDuringPolling_data() {
        QTest::addColumn<bool>("modbus");
        QTest::newRow("Modbus") << true;
        QTest::newRow("QV") << false;
    }
    void floodDuringPolling() {
        QFETCH(bool, modbus);
        StartWith(modbus ? Protocol::Modbus : Protocol::Qv, 5);
        Tick(true, true, true);
        WatchRequests();
        CountInterpretedAnswers();
        const int& interpreted = FInterpreted;
        const int passesAtStart = ExchangeThread->PassCount();
        StartPolling(QStringLiteral("20"));

        // Answers in three pieces, so that the noise falls inside them as well as between. The
        // repeat pause is longer than an answer takes: a request sent while the instrument is
        // still answering the one before would meet the rest of that answer, and every exchange
        // after it would be out of step.
        app.instrument->SetFaults(Fault([](sim::Faults& f) {
            f.pieces = 3;
            f.pieceGapMs = 5;
        }));
        std::atomic<bool> stop{false};
        std::atomic<int> injected{0};
        sim::VirtualInstrument* instrument = app.instrument.get();
        std::thread flood([&stop, &injected, instrument] {
            std::mt19937 random(485);
            while (!stop) {
                sim::Bytes bytes(1 + random() % 32);
                for (uint8_t& b : bytes) b = uint8_t(random());
                instrument->InjectBytes(bytes);
                injected += int(bytes.size());
                // pacing of the noise, not synchronisation
                std::this_thread::sleep_for(std::chrono::microseconds(500 + random() % 20000));
            }
        });
        const bool polled = MoreRequests(150);
        stop = true;
        flood.join();
        QVERIFY2(polled, qPrintable(QStringLiteral("only %1 requests").arg(SentCount.load())));
        QCOMPARE(int(ExchangeState.load()), int(ExchangeStates::ContinuousReading));
        const int failedInFlood = CrcErrorCount + NoAnswerCount;
        qInfo(
            "flood: %d bytes injected during %d requests: %d good answers, %d checksum errors, %d "
            "without answer",
            injected.load(), SentCount.load(), interpreted - CrcErrorCount, CrcErrorCount.load(),
            NoAnswerCount.load());
        QVERIFY(CrcErrorCount > 0);  // the noise did reach the answers

        // Once the line is quiet the exchanges are good again (the one in flight may still
        // carry the last noise).
        QVERIFY(MoreRequests(30));
        QVERIFY(CrcErrorCount + NoAnswerCount <= failedInFlood + 1);

        StopAtExchangeBoundary();
        const int sent = SentCount;
        QVERIFY(
            SpinUntil([&] { return ExchangeThread->PassCount() - passesAtStart == sent; }, Wait));
        const int ticked = 3;
        // Every value request ended exactly once: interpreted (good or bad checksum), timed
        // out, or given up with more bytes than one answer waiting; none was sent while
        // another was awaited.
        QCOMPARE(interpreted + NoAnswerCount + DiscardedAnswerCount, sent - ticked);
        QVERIFY(interpreted - CrcErrorCount > 0);
        QCOMPARE(FWatch.overlaps, 0);
        QCOMPARE(FWatch.queries, sent);
        QVERIFY(app.errors.isEmpty());
    }

    // --- answers overlapping the next exchange -------------------------------------------

    void overlappingAnswers_data() {
        QTest::addColumn<bool>("modbus");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<int>("pieces");
        QTest::addColumn<int>("pieceGapMs");
        QTest::addColumn<int>("trailingBytes");  // of another whole answer; -1: all of it
        QTest::addColumn<int>("minFailures");
        QTest::addColumn<int>("maxFailures");
        // The late answer is taken for the next request's (the protocol carries no sequence
        // number); the next request's own answer is then purged.
        QTest::newRow("Modbus: late answer after the time-out")
            << true << 600 << 1 << 0 << 0 << 1 << 1;
        QTest::newRow("QV: late answer after the time-out")
            << false << 600 << 1 << 0 << 0 << 1 << 1;
        QTest::newRow("answer split across two time-outs") << true << 0 << 3 << 500 << 0 << 1 << 3;
        // Each piece restarts the silence wait: 500 ms in all, no gap of 370 ms.
        QTest::newRow("Modbus: answer in three pieces 250 ms apart")
            << true << 0 << 3 << 250 << 0 << 0 << 0;
        QTest::newRow("QV: answer in three pieces 250 ms apart")
            << false << 0 << 3 << 250 << 0 << 0 << 0;
        QTest::newRow("a second answer follows after a pause")
            << true << 0 << 2 << 150 << -1 << 0 << 0;
        QTest::newRow("a second answer's first bytes glued on")
            << true << 0 << 1 << 0 << 5 << 0 << 0;
        QTest::newRow("QV: a second answer glued on") << false << 0 << 1 << 0 << -1 << 0 << 0;
    }
    void overlappingAnswers() {
        QFETCH(bool, modbus);
        QFETCH(int, delayMs);
        QFETCH(int, pieces);
        QFETCH(int, pieceGapMs);
        QFETCH(int, trailingBytes);
        QFETCH(int, minFailures);
        QFETCH(int, maxFailures);
        const Protocol protocol = modbus ? Protocol::Modbus : Protocol::Qv;
        StartWith(protocol, 7);
        sim::InstrumentModel& model = app.instrument->Model();
        model.SetParameterSetup(1, 100.0f, 1, 2);
        model.SetParameterSetup(3, 100.0f, 1, 2);
        model.FreezeValue(1, 12.5f);
        model.FreezeValue(3, 45.0f);
        Tick(true, false, true);
        WatchRequests();
        StartPolling(QStringLiteral("50"));
        const QString shown1 = QStringLiteral("  12.5"), shown3 = QStringLiteral("  45.0");
        QTRY_VERIFY_WITH_TIMEOUT(app.PanelText(1) == shown1 && app.PanelText(3) == shown3, Wait);

        // Another instrument's answer to the same kind of request, with a value of its own.
        sim::InstrumentState other = model.Snapshot();
        sim::InstrumentModel foreign(other);
        foreign.FreezeValue(1, 77.0f);
        foreign.FreezeValue(3, 77.0f);
        const sim::Bytes request = app.instrument->ReceivedFrames().back();
        sim::Bytes second = sim::Answer(foreign, request);
        QVERIFY(!second.empty());
        if (trailingBytes > 0) second.resize(size_t(trailingBytes));

        const int failedBefore = CrcErrorCount + NoAnswerCount;
        app.instrument->SetFaults(Fault([&](sim::Faults& f) {
            f.delayMs = delayMs;
            f.pieces = pieces;
            f.pieceGapMs = pieceGapMs;
            if (trailingBytes != 0) f.trailing = second;
            f.count = 1;
        }));
        QTRY_VERIFY_WITH_TIMEOUT(app.instrument->InjectedFaults().delayed +
                                         app.instrument->InjectedFaults().split +
                                         app.instrument->InjectedFaults().trailing >
                                     0,
                                 Wait);
        // Give the overlap time to play out, then the exchanges must be good again and the
        // values on their own panels.
        QVERIFY(MoreRequests(8));
        const int failures = CrcErrorCount + NoAnswerCount - failedBefore;
        qInfo("failures counted: %d", failures);
        QVERIFY(failures >= minFailures && failures <= maxFailures);
        const int failedAfter = CrcErrorCount + NoAnswerCount;
        QVERIFY(MoreRequests(8));
        QCOMPARE(CrcErrorCount + NoAnswerCount, failedAfter);
        QCOMPARE(app.PanelText(1), shown1);
        QCOMPARE(app.PanelText(3), shown3);
        QCOMPARE(int(ExchangeState.load()), int(ExchangeStates::ContinuousReading));
        QCOMPARE(FWatch.overlaps, 0);
        QVERIFY(app.errors.isEmpty());
    }

    // Every answer duplicated some time after it, or every answer late: a duplicate or a late
    // answer lands in a later exchange, where its form is that of the other channel's answer.
    // Whatever the timing, no panel ever shows the other channel's value, polling goes on, and
    // every request ends exactly once.
    void duplicatesAndLateAnswersNeverShowAnotherChannel_data() {
        QTest::addColumn<bool>("modbus");
        QTest::addColumn<QString>("pause");
        QTest::addColumn<int>("duplicateAfterMs");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<int>("requests");
        QTest::newRow("Modbus: duplicate 100 ms later, pause 20 ms")
            << true << QStringLiteral("20") << 100 << 0 << 40;
        QTest::newRow("QV: duplicate 100 ms later, pause 20 ms")
            << false << QStringLiteral("20") << 100 << 0 << 40;
        QTest::newRow("Modbus: duplicate 600 ms later, pause 500 ms")
            << true << QStringLiteral("500") << 600 << 0 << 6;
        QTest::newRow("Modbus: every answer 450 ms late, pause 20 ms")
            << true << QStringLiteral("20") << -1 << 450 << 6;
    }
    void duplicatesAndLateAnswersNeverShowAnotherChannel() {
        QFETCH(bool, modbus);
        QFETCH(QString, pause);
        QFETCH(int, duplicateAfterMs);
        QFETCH(int, delayMs);
        QFETCH(int, requests);
        StartWith(modbus ? Protocol::Modbus : Protocol::Qv, 7);
        sim::InstrumentModel& model = app.instrument->Model();
        model.SetParameterSetup(1, 100.0f, 1, 2);
        model.SetParameterSetup(3, 100.0f, 1, 2);
        model.FreezeValue(1, 12.5f);
        model.FreezeValue(3, 45.0f);
        Tick(true, false, true);
        WatchRequests();
        CountInterpretedAnswers();
        const int& interpreted = FInterpreted;
        StartPolling(pause);
        const QString shown1 = QStringLiteral("  12.5"), shown3 = QStringLiteral("  45.0");
        QTRY_VERIFY_WITH_TIMEOUT(app.PanelText(1) == shown1 && app.PanelText(3) == shown3, Wait);

        // Each panel shows its own value or nothing (a failed exchange clears the panels).
        QStringList wrong;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            const QString p1 = app.PanelText(1), p3 = app.PanelText(3);
            if (!p1.trimmed().isEmpty() && p1 != shown1) wrong << QStringLiteral("1: ") + p1;
            if (!p3.trimmed().isEmpty() && p3 != shown3) wrong << QStringLiteral("3: ") + p3;
        });
        watch.start(2);
        // Counted from a moment between exchanges (the last one handled to its end, the
        // pause before the next running), so each counted request ends in the count: with no
        // answer awaited an exchange's end may still be on its way to the main thread.
        QVERIFY(SpinUntil(
            [this] {
                return !RequestOnItsWay() && !AnswerPending && app.window->TimerRepeat->isActive();
            },
            Wait));
        const int interpretedBefore = interpreted;
        const int endedBefore = interpreted + NoAnswerCount + DiscardedAnswerCount;
        const int sentBefore = SentCount;
        app.instrument->SetFaults(Fault([&](sim::Faults& f) {
            f.duplicateAfterMs = duplicateAfterMs;
            f.delayMs = delayMs;
        }));
        QVERIFY2(MoreRequests(requests), qPrintable(QString::number(SentCount - sentBefore)));
        StopAtExchangeBoundary();
        watch.stop();
        const int sent = SentCount - sentBefore;
        const int ended = interpreted + NoAnswerCount + DiscardedAnswerCount - endedBefore;
        qInfo(
            "%d requests: %d interpreted, %d without answer, %d given up, line out of step %d "
            "times",
            sent, interpreted - interpretedBefore, NoAnswerCount.load(),
            DiscardedAnswerCount.load(), OutOfStepCount.load());
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral(", "))));
        QCOMPARE(ended, sent);
        QCOMPARE(FWatch.overlaps, 0);
        QVERIFY(OutOfStepCount > 0);  // the faults did reach the program
        QVERIFY(app.errors.isEmpty());
    }

    // --- a long run with faults injected at random -------------------------------------

    void soak() {
        const int exchanges = SoakExchanges();
        const qint64 rssBefore = RssKiB();
        QElapsedTimer clock;
        clock.start();
        StartWith(Protocol::Modbus, 1);
        Tick(true, true, true);
        WatchRequests();
        CountInterpretedAnswers();
        const int& interpreted = FInterpreted;
        const int passesAtStart = ExchangeThread->PassCount();
        StartPolling(QStringLiteral("1"));
        // Faults only from the values on: a silence while the characteristics are read ends
        // the reading with a message box, as it should.
        app.instrument->SetFaults(Fault([](sim::Faults& f) {
            f.silenceChance = 0.05;
            f.badCrcChance = 0.05;
            f.seed = 485;
        }));

        const int warmUp = std::min(1000, exchanges / 5);
        qint64 rssWarm = -1;
        int nextClear = 500;
        const bool reached = SpinUntil(
            [&] {
                if (rssWarm < 0 && SentCount >= warmUp) rssWarm = RssKiB();
                // The instrument's own record of frames would grow with the run and hide
                // the program's memory; the counts below do not need it.
                if (SentCount >= nextClear) {
                    app.instrument->ClearReceived();
                    nextClear += 500;
                }
                return SentCount >= exchanges;
            },
            exchanges * 60 + 60000);
        QVERIFY2(
            reached,
            qPrintable(QStringLiteral("%1 of %2 requests").arg(SentCount.load()).arg(exchanges)));
        StopAtExchangeBoundary();
        const int sent = SentCount;
        QVERIFY(
            SpinUntil([&] { return ExchangeThread->PassCount() - passesAtStart == sent; }, Wait));
        const qint64 elapsedMs = clock.elapsed();
        app.instrument->ClearReceived();
        const qint64 rssEnd = RssKiB();

        const sim::FaultCounts injected = app.instrument->InjectedFaults();
        const qint64 answers = qint64(app.instrument->AnswersSent());
        const qint64 heard = qint64(app.instrument->RequestsHeard());
        const int ticked = 3;
        qInfo(
            "soak: %d requests in %.1f s; injected %llu silences, %llu bad checksums; counted %d "
            "without answer, %d checksum errors; %lld answers sent, %d interpreted",
            sent, elapsedMs / 1000.0, qulonglong(injected.silenced), qulonglong(injected.badCrc),
            NoAnswerCount.load(), CrcErrorCount.load(), answers, interpreted);
        qInfo(
            "soak: VmRSS %lld KiB before start, %lld KiB after %d requests, %lld KiB at the end "
            "(%+lld KiB)",
            rssBefore, rssWarm, warmUp, rssEnd, rssEnd - rssWarm);

        // On the instrument's side every whole request it heard met exactly one answer or one
        // injected silence. It never heard more requests than were sent; on a busy machine a
        // request may reach it in pieces too far apart to be one frame, and is lost.
        QCOMPARE(heard, answers + qint64(injected.silenced));
        QVERIFY2(heard <= qint64(sent),
                 qPrintable(QStringLiteral("%1 requests heard, %2 sent").arg(heard).arg(sent)));
        const qint64 lost = qint64(sent) - heard;
        // On the program's side every request was ended exactly once: by an interpreted answer
        // (good or failing its checksum) or by its time-out (the answers that prepare the
        // ticked parameters are not counted as readings) ...
        QCOMPARE(interpreted + NoAnswerCount + DiscardedAnswerCount, sent - ticked);
        // ... and every injected fault and every lost request was counted as a failure: a
        // silence or a lost request always as an answer missing. A good answer that comes
        // after the silence time-out on a loaded machine counts as missing too, so the
        // failures counted may exceed these, never fall short of them.
        const qint64 injectedFailures = qint64(injected.silenced + injected.badCrc);
        const qint64 counted = qint64(NoAnswerCount) + qint64(CrcErrorCount);
        qInfo(
            "soak: %lld requests lost on the way, %lld failures counted beyond those "
            "injected or lost",
            lost, counted - injectedFailures - lost);
        QVERIFY2(counted >= injectedFailures + lost,
                 qPrintable(QStringLiteral("%1 failures counted, %2 injected, %3 lost")
                                .arg(counted)
                                .arg(injectedFailures)
                                .arg(lost)));
        QVERIFY(qint64(NoAnswerCount.load()) >= qint64(injected.silenced) + lost);
        // ... each request was ended by exactly one pass of the exchange thread, and none went
        // out while the answer to the one before was still awaited.
        QCOMPARE(ExchangeThread->PassCount() - passesAtStart, sent);
        QCOMPARE(FWatch.overlaps, 0);
        QCOMPARE(FWatch.queries, sent);
        // The faults were really there, at about the rates asked for once the run is long
        // enough for a rate to mean something.
        QVERIFY(injected.silenced > 0 && injected.badCrc > 0);
        const double values = sent - ticked;
        if (values >= 2000) {
            QVERIFY(injected.silenced > 0.03 * values && injected.silenced < 0.07 * values);
            QVERIFY(injected.badCrc > 0.03 * values && injected.badCrc < 0.07 * values);
        }
        QVERIFY(app.errors.isEmpty());
        QVERIFY(rssWarm > 0 && rssEnd > 0);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
        // Under a sanitizer the resident size follows its bookkeeping (the address sanitizer
        // keeps freed memory in a quarantine of up to 256 MiB), not the program's; there the
        // leak check at exit stands in for this bound.
        QVERIFY2(rssEnd - rssWarm < 10 * 1024,
                 "resident memory grew by 10 MiB or more after the warm-up");
#endif
    }

    // --- hostile settings files ----------------------------------------------------------

    void hostileSettingsFile_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<SettingsShape>("shape");
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("prot");
        QTest::addColumn<int>("pause");
        QTest::addColumn<bool>("saved");
        const QByteArray valid = "[Port]\nBaud=6\nprot=0\nPause=250\n[Update]\nUpdate=0\n";
        const QByteArray junkLine = "junk=a line of no interest to anyone\n";
        auto row = [](const char* name, const QByteArray& content, int baud, int prot, int pause,
                      SettingsShape shape = RegularFile, bool saved = true) {
            QTest::newRow(name) << content << shape << baud << prot << pause
                                << (saved && shape == RegularFile);
        };
        row("binary garbage", RandomBytes(64 * 1024, 1), 3, 1, 500);
        row("binary garbage around valid keys",
            RandomBytes(4096, 2) + "\n[Port]\nBaud=6\nprot=0\n" + RandomBytes(4096, 3), 6, 0, 500);
        row("several megabytes", valid + junkLine.repeated(5 * 1024 * 1024 / junkLine.size()), 6, 0,
            250);
        row("keys beyond the first megabyte",
            junkLine.repeated(2 * 1024 * 1024 / junkLine.size()) + valid, 3, 1, 500);
        // Whole, yet with no room for the keys: writing them would push them past what is read.
        row("just under the size limit", junkLine.repeated(MaxProfileBytes / junkLine.size()), 3, 1,
            500, RegularFile, false);
        row("one line of several megabytes", QByteArray(3 * 1024 * 1024, 'x') + "\n" + valid, 3, 1,
            500);
        row("empty file", QByteArray(), 3, 1, 500);
        row("missing sections", "[Update]\nUpdate=0\n", 3, 1, 500);
        row("keys outside any section", "Baud=6\nprot=0\nPause=250\n", 3, 1, 500);
        row("duplicate keys and sections", "[Port]\nBaud=6\nBaud=2\n[port]\nBaud=5\nprot=0\n", 6, 1,
            500);
        row("Baud=99", "[Port]\nBaud=99\n", 3, 1, 500);
        row("Baud=99999999999", "[Port]\nBaud=99999999999\n", 3, 1, 500);
        row("Baud=-1", "[Port]\nBaud=-1\n", 3, 1, 500);
        row("Baud=0x7", "[Port]\nBaud=0x7\n", 7, 1, 500);
        row("Baud=7abc", "[Port]\nBaud=7abc\n", 3, 1, 500);
        row("prot=-1", "[Port]\nprot=-1\n", 3, 1, 500);
        row("prot=2", "[Port]\nprot=2\n", 3, 1, 500);
        row("Pause=abc", "[Port]\nPause=abc\n", 3, 1, 500);
        row("Pause=-1", "[Port]\nPause=-1\n", 3, 1, 500);
        row("Pause=99999999999", "[Port]\nPause=99999999999\n", 3, 1, 500);
        row("Pause=0x80000000", "[Port]\nPause=0x80000000\n", 3, 1, 500);
        row("Pause=2147483647", "[Port]\nPause=2147483647\n", 3, 1, 2147483647);
        row("window far off any screen", "[form]\nleft=-2147483648\ntop=2147483647\n", 3, 1, 500);
        row("byte order mark and CRLF", "\xEF\xBB\xBF[Port]\r\nBaud=6\r\nprot=0\r\n", 6, 0, 500);
        row("NUL bytes in the values", QByteArray("[Port]\nBaud=6\0\nprot=\0\n", 22), 3, 1, 500);
        row("read-only file", valid, 6, 0, 250, ReadOnlyFile);
        row("a folder in place of the file", QByteArray(), 3, 1, 500, FolderInstead);
        row("a FIFO in place of the file", QByteArray(), 3, 1, 500, FifoInstead);
        row("a dangling link in place of the file", QByteArray(), 3, 1, 500, DanglingLink);
        row("a file in place of the settings folder", valid, 3, 1, 500, FolderIsAFile);
    }
    void hostileSettingsFile() {
        QFETCH(QByteArray, content);
        QFETCH(SettingsShape, shape);
        QFETCH(int, baud);
        QFETCH(int, prot);
        QFETCH(int, pause);
        QFETCH(bool, saved);
        const QString path = AppHarness::SettingsPath();
        const QString folder = QFileInfo(path).path();
        RemoveSettingsShapes();
        QVERIFY(QDir().mkpath(folder));
        switch (shape) {
            case RegularFile:
            case ReadOnlyFile: {
                QFile file(path);
                QVERIFY(file.open(QIODevice::WriteOnly));
                QCOMPARE(file.write(content), content.size());
                file.close();
                if (shape == ReadOnlyFile)
                    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup));
                break;
            }
            case FolderInstead:
                QVERIFY(QDir().mkdir(path));
                break;
            case FifoInstead:
                QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
                break;
            case DanglingLink:
                QVERIFY(QFile::link(folder + QStringLiteral("/nowhere/setup.cfg"), path));
                break;
            case FolderIsAFile: {
                QVERIFY(QDir(folder).removeRecursively());
                QFile file(folder);
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write(content);
                break;
            }
        }

        const QString portError = QString::fromUtf8(SerialPortMessages[0]) + QLatin1Char(' ');
        app.errors.clear();
        Tz::PortOverride = QStringLiteral("/dev/tessera-no-such-port");
        app.desktop.errorBox = [this](const QString& text) { app.errors << text; };
        app.window = std::make_unique<Tz>(nullptr, &app.desktop);
        app.window->show();
        QVERIFY(QTest::qWaitFor([] { return CurrentQuery != nullptr; }, Wait));
        QTRY_COMPARE_WITH_TIMEOUT(app.errors, QStringList{portError}, Wait);
        QCOMPARE(SpeedIndex, baud);
        QCOMPARE(int(ProtocolIsModbus), prot);
        QCOMPARE(RepeatPause, pause);
        QCOMPARE(app.ui().Edit1->text(), QString::number(pause));
        QCOMPARE(app.window->windowTitle(), Title(baud, prot));
        // A stored position far off any screen is brought within what geometry can hold.
        QVERIFY(std::abs(app.window->x()) <= SetupFile::MaxWindowCoordinate);
        QVERIFY(std::abs(app.window->y()) <= SetupFile::MaxWindowCoordinate);

        app.errors.clear();
        app.window->close();
        if (saved) {
            QVERIFY2(app.errors.isEmpty(), qPrintable(app.errors.join(QLatin1Char('|'))));
            QVERIFY(QFileInfo(path).size() <= MaxProfileBytes);
            TProfile written;
            QVERIFY(written.Load(path));
            const QString absent = QStringLiteral("(absent)");
            auto number = [&](const char* section, const char* key) {
                const QString text =
                    written.ReadString(QLatin1String(section), QLatin1String(key), absent);
                int32_t value = 0;
                if (!QRegularExpression(QStringLiteral("^-?[0-9]+$")).match(text).hasMatch() ||
                    !ParseProfileInteger(text, &value))
                    return std::numeric_limits<qint64>::min();  // no plain decimal integer: never
                                                                // valid
                return qint64(value);
            };
            QCOMPARE(number("Port", "Baud"), qint64(baud));
            QCOMPARE(number("Port", "prot"), qint64(prot));
            QCOMPARE(number("Port", "Pause"), qint64(pause));
            QVERIFY(number("Port", "SP") == 0 || number("Port", "SP") == 1);
            QCOMPARE(number("Update", "Update"), qint64(1));  // no notification this run
            QCOMPARE(number("form", "left"), qint64(app.window->x()));
            QCOMPARE(number("form", "top"), qint64(app.window->y()));
            QVERIFY(written.ReadString(QStringLiteral("Port"), QStringLiteral("Port"), absent) !=
                    absent);
        } else {
            // Not writable: the operator is told once, and what stood there stays as it was.
            QCOMPARE(app.errors.size(), 1);
            QVERIFY2(app.errors[0].contains(QStringLiteral("setup.cfg")),
                     qPrintable(app.errors[0]));
            const QFileInfo info(path);
            switch (shape) {
                case RegularFile:
                case ReadOnlyFile: {
                    QFile file(path);
                    QVERIFY(file.open(QIODevice::ReadOnly));
                    QCOMPARE(file.readAll(), content);
                    QVERIFY(shape == RegularFile || !(info.permissions() & QFile::WriteOwner));
                    break;
                }
                case FolderInstead:
                    QVERIFY(info.isDir());
                    break;
                case FifoInstead:
                    QVERIFY(!info.isFile() && !info.isDir() && info.exists());
                    break;
                case DanglingLink:
                    QVERIFY(info.isSymLink() && !info.exists());
                    break;
                case FolderIsAFile: {
                    QVERIFY(QFileInfo(folder).isFile());
                    QFile file(folder);
                    QVERIFY(file.open(QIODevice::ReadOnly));
                    QCOMPARE(file.readAll(), content);
                    break;
                }
            }
        }
        RemoveSettingsShapes();
    }

    // --- hostile update pages ------------------------------------------------------------

    void hostileUpdatePage_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("version");
        const QByteArray key = "Tessera_RS-485";
        QTest::newRow("Windows-1251 text")
            << ToCp1251(QStringLiteral("<p>Новая версия Tessera_RS-485 4.16 — здесь</p>")) << true
            << QStringLiteral("4.16");
        QTest::newRow("binary, the key inside")
            << RandomBytes(64 * 1024, 7) + key + " 4.17 " + RandomBytes(64 * 1024, 8) << true
            << QStringLiteral("4.17");
        QTest::newRow("binary, no key") << RandomBytes(512 * 1024, 9) << false << QString();
        QTest::newRow("NUL bytes around the version")
            << QByteArray(2, '\0') + key + QByteArray(1, '\0') + "4.18" + QByteArray(2, '\0')
            << true << QStringLiteral("4.18");
        QTest::newRow("invalid UTF-8 ends the version")
            << key + " 4.19\xFF\xFE</p>" << true << QStringLiteral("4.19");
        const QString utf16Text = QStringLiteral("<p>Tessera_RS-485 4.20</p>");
        QTest::newRow("UTF-16 page")
            << QByteArray(reinterpret_cast<const char*>(utf16Text.utf16()), utf16Text.size() * 2)
            << false << QString();
    }
    void hostileUpdatePage() {
        QFETCH(QByteArray, body);
        QFETCH(bool, found);
        QFETCH(QString, version);
        PageServer server(body);
        QVERIFY(server.Listen());
        // The fetch blocks its caller, as on the update worker; the server answers here.
        QString page;
        std::unique_ptr<QThread> worker(
            QThread::create([&page, url = server.Url()] { page = FetchUrlText(url); }));
        QSignalSpy finished(worker.get(), &QThread::finished);
        worker->start();
        QVERIFY(finished.wait(60000));
        worker->wait();
        QVERIFY(!page.isEmpty());
        bool keyFound = !found;
        QCOMPARE(ScanPageVersion(page, QStringLiteral("Tessera_RS-485"), &keyFound), version);
        QCOMPARE(keyFound, found);
    }

private:
    QTemporaryDir FHome;
    OverlapWatch FWatch;
    int FInterpreted = 0;
};

TESSERA_SHARDED_TEST_MAIN(TestReliability)
#include "test_reliability.moc"
