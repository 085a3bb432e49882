// TSerialPort on pseudo-terminals: opening and closing, the failures of Open, the property
// rules, reads and writes with their timeouts, the line settings the code computes, and the
// list of ports (on a made-up sysfs tree).
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <cstring>
#include <functional>

#include "PtyPair.h"
#include "serial/SerialPort.h"
#include "serial/SerialTermios.h"
#include "serial/SerialTermios2.h"

namespace {

QString MessageOf(int index) {
    return QString::fromUtf8(SerialPortMessages[index]);
}

// The message the call raised, or an empty string.
QString RaisedBy(const std::function<void()>& call) {
    try {
        call();
    } catch (const ESerialPort& e) {
        return e.Message();
    }
    return QString();
}

uint32_t LineSpeed(const PtyPair& pty) {
    uint32_t speed = 0;
    serial_backend::ReadOutputSpeed(pty.slave, speed);
    return speed;
}

}  // namespace

class TestSerialPort : public QObject {
    Q_OBJECT
private slots:
    void messagesTable();
    void devicePath_data();
    void devicePath();
    void openAndCloseAreIdempotent();
    void openFailures_data();
    void openFailures();
    void busyDevice_data();
    void busyDevice();
    void noPermissionIsNeitherBusyNorMissing();
    void propertiesRefusedWhileOpen();
    void queueSizes_data();
    void queueSizes();
    void speedTakesEffectOnlyWhileOpen();
    void everySpeedReachesTheLine_data();
    void everySpeedReachesTheLine();
    void impossibleSettingsRaiseAndStayStored();
    void portErrorsCarryTheSystemsReason();
    void lineFlags_data();
    void lineFlags();
    void readWithTimeouts_data();
    void readWithTimeouts();
    void readAndWriteStrings();
    void writeStopsAtItsTimeout();
    void closedPortErrors_data();
    void closedPortErrors();
    void modemLinesOfAPty_data();
    void modemLinesOfAPty();
    void queueCountsAndPurge();
    void enumSerialPorts();
    void enumSerialPortsFailures();
};

void TestSerialPort::messagesTable() {
    QCOMPARE(MessageOf(0), QString("Попытка открыть несуществующий COM-порт"));
    QCOMPARE(MessageOf(12), QString("Нельзя менять свойство, пока порт открыт"));
    QCOMPARE(MessageOf(13), QString("Ошибка обращения к системному реестру"));
    QVERIFY(MessageOf(14).contains("dialout"));
}

void TestSerialPort::devicePath_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("path");
    QTest::newRow("COM1") << "COM1"
                          << "/dev/ttyS0";
    QTest::newRow("COM12") << "COM12"
                           << "/dev/ttyS11";
    QTest::newRow("com3") << "com3"
                          << "/dev/ttyS2";
    QTest::newRow("COM0 is no alias") << "COM0"
                                      << "/dev/COM0";
    QTest::newRow("device name") << "ttyUSB0"
                                 << "/dev/ttyUSB0";
    QTest::newRow("absolute path") << "/dev/pts/7"
                                   << "/dev/pts/7";
}

void TestSerialPort::devicePath() {
    QFETCH(QString, port);
    QFETCH(QString, path);
    QCOMPARE(TSerialPort::DevicePath(port), path);
}

void TestSerialPort::openAndCloseAreIdempotent() {
    PtyPair pty;
    QVERIFY(pty.Valid());
    TSerialPort port;
    port.Close();
    QVERIFY(!port.Connected());
    port.SetPort(pty.slavePath);
    port.Open();
    QVERIFY(port.Connected());
    port.Open();
    QVERIFY(port.Connected());
    port.Close();
    port.Close();
    QVERIFY(!port.Connected());
    port.Open();  // and again after a close
    QVERIFY(port.Connected());
}

void TestSerialPort::openFailures_data() {
    QTest::addColumn<QString>("portName");
    QTest::addColumn<int>("message");
    QTest::newRow("missing by name") << "ttyTesseraNoSuchPort" << 0;
    QTest::newRow("missing by path") << "/nonexistent-dir/tty0" << 0;
    // Paths that open but are no serial port are told apart from a port that fails to set up.
    static QTemporaryDir scratch;
    const QString file = scratch.path() + QStringLiteral("/plain-file");
    QFile plain(file);
    if (plain.open(QIODevice::WriteOnly)) plain.write("not a port");
    const QString fifo = scratch.path() + QStringLiteral("/fifo");
    ::mkfifo(QFile::encodeName(fifo).constData(), 0600);
    QTest::newRow("/dev/null") << "/dev/null" << 15;
    QTest::newRow("regular file") << file << 15;
    QTest::newRow("FIFO") << fifo << 15;
    QTest::newRow("folder") << scratch.path() << 15;
}

void TestSerialPort::openFailures() {
    QFETCH(QString, portName);
    QFETCH(int, message);
    TSerialPort port;
    port.SetPort(portName);
    QCOMPARE(RaisedBy([&] { port.Open(); }), MessageOf(message));
    QVERIFY(!port.Connected());
    QVERIFY(port.EventThread() == nullptr);

    // A failed open leaves a closed component that opens once the port is there.
    PtyPair pty;
    port.SetPort(pty.slavePath);
    port.Open();
    QVERIFY(port.Connected());
}

void TestSerialPort::busyDevice_data() {
    QTest::addColumn<bool>("heldByOurComponent");
    QTest::newRow("second component") << true;
    QTest::newRow("other program's lock") << false;
}

void TestSerialPort::busyDevice() {
    QFETCH(bool, heldByOurComponent);
    PtyPair pty;
    QVERIFY(pty.Valid());
    TSerialPort holder;
    int otherProgram = -1;
    if (heldByOurComponent) {
        holder.SetPort(pty.slavePath);
        holder.Open();
    } else {
        otherProgram = ::open(pty.slavePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        QVERIFY(otherProgram >= 0);
        QCOMPARE(flock(otherProgram, LOCK_EX | LOCK_NB), 0);
    }

    TSerialPort port;
    port.SetPort(pty.slavePath);
    QCOMPARE(RaisedBy([&] { port.Open(); }), MessageOf(1));
    QVERIFY(!port.Connected());

    holder.Close();
    if (otherProgram >= 0) ::close(otherProgram);
    port.Open();
    QVERIFY(port.Connected());
}

// As root the kernel grants every open, so the open is tried by a child that has become
// "nobody"; as anyone else the device node is made inaccessible to ourselves.
void TestSerialPort::noPermissionIsNeitherBusyNorMissing() {
    PtyPair pty;
    QVERIFY(pty.Valid());
    const QByteArray path = pty.slavePath.toLocal8Bit();
    QString message;
    if (geteuid() != 0) {
        QCOMPARE(chmod(path.constData(), 0), 0);
        TSerialPort port;
        port.SetPort(pty.slavePath);
        message = RaisedBy([&] { port.Open(); });
        chmod(path.constData(), 0620);
    } else {
        int fds[2];
        QCOMPARE(pipe(fds), 0);
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            ::close(fds[0]);
            const uid_t nobody = 65534;
            if (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0) _exit(2);
            TSerialPort port;
            port.SetPort(pty.slavePath);
            const QByteArray raised = RaisedBy([&] { port.Open(); }).toUtf8();
            const bool sent =
                ::write(fds[1], raised.constData(), size_t(raised.size())) == raised.size();
            _exit(sent ? 0 : 3);
        }
        ::close(fds[1]);
        QByteArray raised;
        char chunk[512];
        for (ssize_t n; (n = ::read(fds[0], chunk, sizeof chunk)) > 0;) raised.append(chunk, n);
        ::close(fds[0]);
        int status = 0;
        waitpid(child, &status, 0);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        message = QString::fromUtf8(raised);
    }
    QCOMPARE(message, MessageOf(14));
}

void TestSerialPort::propertiesRefusedWhileOpen() {
    PtyPair pty;
    TSerialPort port;
    port.SetPort(pty.slavePath);
    port.Open();
    QCOMPARE(RaisedBy([&] { port.SetPort(pty.slavePath); }), MessageOf(12));
    QCOMPARE(RaisedBy([&] { port.SetPort("ttyUSB0"); }), MessageOf(12));
    QCOMPARE(port.Port(), pty.slavePath);
    QCOMPARE(RaisedBy([&] { port.SetSyncMethod(smThreadSync); }), QString());
    QCOMPARE(RaisedBy([&] { port.SetSyncMethod(smNone); }), MessageOf(12));
    QCOMPARE(port.SyncMethod(), smThreadSync);
    QCOMPARE(RaisedBy([&] { port.SetThreadPriority(tpNormal); }), QString());
    QCOMPARE(RaisedBy([&] { port.SetThreadPriority(tpHighest); }), MessageOf(12));
    QCOMPARE(port.ThreadPriority(), tpNormal);

    port.Close();
    port.SetSyncMethod(smNone);
    port.SetThreadPriority(tpHighest);
    port.SetPort("ttyUSB0");
    QCOMPARE(port.SyncMethod(), smNone);
    QCOMPARE(port.ThreadPriority(), tpHighest);
    QCOMPARE(port.Port(), QString("ttyUSB0"));
}

void TestSerialPort::queueSizes_data() {
    QTest::addColumn<int>("requested");
    QTest::addColumn<int>("stored");
    QTest::newRow("odd lowered") << 2049 << 2048;
    QTest::newRow("even kept") << 4096 << 4096;
    QTest::newRow("one lowered to zero") << 1 << 0;
    QTest::newRow("negative odd unchanged") << -5 << -5;
}

void TestSerialPort::queueSizes() {
    QFETCH(int, requested);
    QFETCH(int, stored);
    PtyPair pty;
    TSerialPort port;
    port.SetPort(pty.slavePath);
    port.SetInBufSize(requested);
    port.SetOutBufSize(requested);
    QCOMPARE(port.InBufSize(), stored);
    QCOMPARE(port.OutBufSize(), stored);
    port.Open();  // the stored sizes are applied without complaint
    port.SetInBufSize(requested + 2);
    QCOMPARE(port.InBufSize(), stored + 2);
}

void TestSerialPort::speedTakesEffectOnlyWhileOpen() {
    PtyPair pty;
    TSerialPort port;
    port.SetPort(pty.slavePath);
    port.Open();
    QCOMPARE(LineSpeed(pty), 9600u);
    port.Close();
    port.SetBaudRate(br57600);
    QVERIFY(LineSpeed(pty) != 57600u);
    port.Open();
    QCOMPARE(LineSpeed(pty), 57600u);
    port.SetBaudRate(br1200);
    QCOMPARE(LineSpeed(pty), 1200u);
}

void TestSerialPort::everySpeedReachesTheLine_data() {
    QTest::addColumn<int>("rate");
    for (int rate = br110; rate <= br4000000; ++rate)
        QTest::newRow(QByteArray::number(BaudRateTable[rate]).constData()) << rate;
}

void TestSerialPort::everySpeedReachesTheLine() {
    QFETCH(int, rate);
    PtyPair pty;
    TSerialPort port;
    port.SetPort(pty.slavePath);
    port.SetBaudRate(TBaudRate(rate));
    port.Open();
    QCOMPARE(LineSpeed(pty), uint32_t(BaudRateTable[rate]));
    port.SetBaudRate(brCustom);
    QCOMPARE(LineSpeed(pty), 9600u);
    port.SetCustomBaudRate(31250);
    QCOMPARE(LineSpeed(pty), 31250u);
}

// An unusable setting is an error on the device and the value stays stored; nothing falls
// back to a default speed.
void TestSerialPort::impossibleSettingsRaiseAndStayStored() {
    PtyPair pty;
    TSerialPort port;
    port.SetPort(pty.slavePath);
    port.SetBaudRate(br19200);
    port.Open();
    port.SetBaudRate(brCustom);
    QCOMPARE(RaisedBy([&] { port.SetCustomBaudRate(0); }), MessageOf(6));
    QCOMPARE(port.CustomBaudRate(), 0);
    QCOMPARE(LineSpeed(pty), 9600u);
    QCOMPARE(RaisedBy([&] { port.SetStopBits(sb1_5); }), MessageOf(6));
    QCOMPARE(port.StopBits(), sb1_5);
    port.Close();

    QCOMPARE(RaisedBy([&] { port.Open(); }), MessageOf(6));
    QVERIFY(!port.Connected());
}

// A line that failed under the port (the far side gone): the operator's text names the
// system's reason.
void TestSerialPort::portErrorsCarryTheSystemsReason() {
    PtyPair pty;
    TSerialPort port;
    port.SetPort(pty.slavePath);
    port.Open();
    pty.CloseMaster();
    ::close(pty.slave);
    pty.slave = -1;
    QString text;
    try {
        port.SetBaudRate(br19200);
    } catch (const ESerialPort& e) {
        QCOMPARE(e.Message(), MessageOf(6));
        QCOMPARE(e.SystemError(), EIO);
        text = e.Text();
    }
    QCOMPARE(text, MessageOf(6) + ": " + QString::fromLocal8Bit(std::strerror(EIO)));
    port.Close();
}

void TestSerialPort::lineFlags_data() {
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<uint>("cflags");  // among CSIZE, PARENB, PARODD, CMSPAR, CSTOPB
    QTest::addColumn<bool>("parityCheck");
    using P = serial_backend::Parity;
    using S = serial_backend::StopBits;
    QTest::newRow("8N1") << 8 << int(P::None) << int(S::One) << true << uint(CS8) << false;
    QTest::newRow("7E1") << 7 << int(P::Even) << int(S::One) << true << uint(CS7 | PARENB) << true;
    QTest::newRow("8O2") << 8 << int(P::Odd) << int(S::Two) << true
                         << uint(CS8 | PARENB | PARODD | CSTOPB) << true;
    QTest::newRow("6M1") << 6 << int(P::Mark) << int(S::One) << true
                         << uint(CS6 | PARENB | PARODD | CMSPAR) << true;
    QTest::newRow("8S1") << 8 << int(P::Space) << int(S::One) << true << uint(CS8 | PARENB | CMSPAR)
                         << true;
    QTest::newRow("5N1.5") << 5 << int(P::None) << int(S::OneAndHalf) << true << uint(CS5 | CSTOPB)
                           << false;
    QTest::newRow("8N1.5 impossible")
        << 8 << int(P::None) << int(S::OneAndHalf) << false << 0u << false;
    QTest::newRow("5N2 impossible") << 5 << int(P::None) << int(S::Two) << false << 0u << false;
    QTest::newRow("9 data bits") << 9 << int(P::None) << int(S::One) << false << 0u << false;
}

void TestSerialPort::lineFlags() {
    QFETCH(int, dataBits);
    QFETCH(int, parity);
    QFETCH(int, stopBits);
    QFETCH(bool, valid);
    QFETCH(uint, cflags);
    QFETCH(bool, parityCheck);

    serial_backend::LineSettings settings;
    settings.dataBits = dataBits;
    settings.parity = serial_backend::Parity(parity);
    settings.stopBits = serial_backend::StopBits(stopBits);
    termios t{};
    // What a terminal in cooked mode with flow control starts from.
    t.c_iflag = ICRNL | IXON | IXOFF | BRKINT;
    t.c_oflag = OPOST | ONLCR;
    t.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    t.c_cflag = CS7 | PARENB | CRTSCTS | HUPCL;
    bool arbitrary = true;
    QCOMPARE(serial_backend::MakeRawTermios(settings, t, arbitrary), valid);
    if (!valid) return;
    QCOMPARE(uint(t.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB)), cflags);
    QCOMPARE(bool(t.c_iflag & INPCK), parityCheck);
    QCOMPARE(uint(t.c_cflag & (CLOCAL | CREAD | CRTSCTS)), uint(CLOCAL | CREAD));
    QCOMPARE(uint(t.c_iflag & (ICRNL | IXON | IXOFF)), 0u);
    QCOMPARE(uint(t.c_lflag & (ICANON | ECHO | ISIG)), 0u);
    QCOMPARE(uint(t.c_oflag & OPOST), 0u);
    QVERIFY(!arbitrary);
    QCOMPARE(cfgetospeed(&t), speed_t(B9600));

    settings.baudRate = 14400;  // no Bxxx constant
    QVERIFY(serial_backend::MakeRawTermios(settings, t, arbitrary));
    QVERIFY(arbitrary);
}

void TestSerialPort::readWithTimeouts_data() {
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("multiplier");
    QTest::addColumn<int>("constant");
    QTest::addColumn<int>("queued");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("minMs");  // the read must have waited at least this long
    QTest::addColumn<int>("maxMs");  // and returned well before a wrong timeout ends it

    QTest::newRow("defaults: what is queued") << -1 << 0 << 0 << 3 << 10 << 3 << 0 << 2000;
    QTest::newRow("defaults: nothing queued") << -1 << 0 << 0 << 0 << 10 << 0 << 0 << 2000;
    QTest::newRow("any negative interval") << -7 << 0 << 0 << 3 << 10 << 3 << 0 << 2000;
    QTest::newRow("count reached") << 0 << 0 << 5000 << 10 << 4 << 4 << 0 << 2500;
    QTest::newRow("total time-out") << 0 << 100 << 200 << 3 << 4 << 3 << 550 << 5000;
    QTest::newRow("interval time-out") << 300 << 0 << 0 << 3 << 10 << 3 << 280 << 5000;
    QTest::newRow("first byte only") << -1 << -1 << 8000 << 2 << 10 << 2 << 0 << 4000;
    QTest::newRow("first byte only, none comes") << -1 << -1 << 300 << 0 << 10 << 0 << 280 << 5000;
}

void TestSerialPort::readWithTimeouts() {
    QFETCH(int, interval);
    QFETCH(int, multiplier);
    QFETCH(int, constant);
    QFETCH(int, queued);
    QFETCH(int, count);
    QFETCH(int, expected);
    QFETCH(int, minMs);
    QFETCH(int, maxMs);

    PtyPair pty;
    TSerialPort port;
    port.SetPort(pty.slavePath);
    port.Open();
    port.Timeouts().SetReadInterval(interval);
    port.Timeouts().SetReadTotalMultiplier(multiplier);
    port.Timeouts().SetReadTotalConstant(constant);
    const QByteArray sent = QByteArray("0123456789").left(queued);
    QVERIFY(pty.Send(sent));
    QTRY_COMPARE_WITH_TIMEOUT(port.InBufCount(), queued, 5000);

    char buffer[16] = {};
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(port.Read(buffer, count), expected);
    const qint64 took = clock.elapsed();
    QCOMPARE(QByteArray(buffer, expected), sent.left(expected));
    QVERIFY2(took >= minMs && took <= maxMs, QByteArray::number(took).constData());
}

void TestSerialPort::readAndWriteStrings() {
    PtyPair pty;
    TSerialPort port;
    port.SetPort(pty.slavePath);
    port.Open();
    char byte = 0;
    QCOMPARE(port.Read(&byte, 0), 0);
    QString str = "stale";
    QCOMPARE(port.ReadStr(str, 5), 0);
    QCOMPARE(str, QString());
    QCOMPARE(port.WriteStr(QString()), 0);
    QCOMPARE(port.Write("x", 0), 0);

    const QString text = QString::fromLatin1(
        "\x01\xff"
        "AB");
    QCOMPARE(port.WriteStr(text), 4);
    QByteArray received;
    QTRY_COMPARE_WITH_TIMEOUT(received += pty.Received(),
                              QByteArray("\x01\xff"
                                         "AB"),
                              5000);

    QVERIFY(pty.Send(QByteArray("\x00\xe9z", 3)));
    QTRY_COMPARE_WITH_TIMEOUT(port.InBufCount(), 3, 5000);
    QCOMPARE(port.ReadStr(str, 10), 3);
    QCOMPARE(str, QString::fromLatin1("\x00\xe9z", 3));
}

// Nobody reads the far side, so the line's queues fill up and the write ends at its
// time-out with the part that went out.
void TestSerialPort::writeStopsAtItsTimeout() {
    PtyPair pty;
    TSerialPort port;
    port.SetPort(pty.slavePath);
    port.Open();
    port.Timeouts().SetWriteTotalMultiplier(0);
    port.Timeouts().SetWriteTotalConstant(200);
    const QByteArray big(4 * 1024 * 1024, 'w');
    const int32_t written = port.Write(big.constData(), int32_t(big.size()));
    QVERIFY(written > 0);
    QVERIFY(written < big.size());
}

void TestSerialPort::closedPortErrors_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("message");
    QTest::newRow("Read") << "Read" << 2;
    QTest::newRow("ReadStr") << "ReadStr" << 2;
    QTest::newRow("Write") << "Write" << 2;
    QTest::newRow("WriteStr") << "WriteStr" << 2;
    QTest::newRow("Signals") << "Signals" << 2;
    QTest::newRow("SetDTR") << "SetDTR" << 2;
    QTest::newRow("SetRTS") << "SetRTS" << 2;
    QTest::newRow("SetBreak") << "SetBreak" << 2;
    QTest::newRow("InBufCount") << "InBufCount" << 9;
    QTest::newRow("OutBufCount") << "OutBufCount" << 9;
    QTest::newRow("ClearBuffer") << "ClearBuffer" << 5;
}

void TestSerialPort::closedPortErrors() {
    QFETCH(QString, operation);
    QFETCH(int, message);
    TSerialPort port;
    char buffer[4] = {};
    QString str;
    const QMap<QString, std::function<void()>> calls = {
        {"Read", [&] { port.Read(buffer, 4); }},
        {"ReadStr", [&] { port.ReadStr(str, 4); }},
        {"Write", [&] { port.Write(buffer, 4); }},
        {"WriteStr", [&] { port.WriteStr("ab"); }},
        {"Signals", [&] { port.Signals(); }},
        {"SetDTR", [&] { port.SetDTR(true); }},
        {"SetRTS", [&] { port.SetRTS(false); }},
        {"SetBreak", [&] { port.SetBreak(true); }},
        {"InBufCount", [&] { port.InBufCount(); }},
        {"OutBufCount", [&] { port.OutBufCount(); }},
        {"ClearBuffer", [&] { port.ClearBuffer(true, true); }},
    };
    QCOMPARE(RaisedBy(calls.value(operation)), MessageOf(message));
}

void TestSerialPort::modemLinesOfAPty_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("message");
    QTest::newRow("Signals") << "Signals" << 10;
    QTest::newRow("SetDTR") << "SetDTR" << 11;
    QTest::newRow("SetRTS") << "SetRTS" << 11;
}

void TestSerialPort::modemLinesOfAPty() {
    QFETCH(QString, operation);
    QFETCH(int, message);
    PtyPair pty;
    TSerialPort port;
    port.SetPort(pty.slavePath);
    port.Open();
    const QString raised = RaisedBy([&] {
        if (operation == "Signals")
            port.Signals();
        else if (operation == "SetDTR")
            port.SetDTR(false);
        else
            port.SetRTS(true);
    });
    QCOMPARE(raised, MessageOf(message));
    QVERIFY(port.Connected());
}

void TestSerialPort::queueCountsAndPurge() {
    PtyPair pty;
    TSerialPort port;
    port.SetPort(pty.slavePath);
    port.Open();
    QCOMPARE(port.InBufCount(), 0);
    QCOMPARE(port.OutBufCount(), 0);
    QVERIFY(pty.Send("12345"));
    QTRY_COMPARE_WITH_TIMEOUT(port.InBufCount(), 5, 5000);
    port.ClearBuffer(false, true);
    QCOMPARE(port.InBufCount(), 5);
    port.ClearBuffer(true, false);
    QCOMPARE(port.InBufCount(), 0);
}

namespace {

void MakeEntry(const QDir& root, const QString& name, const char* type = nullptr,
               bool device = false) {
    QVERIFY(root.mkpath(name));
    if (device) QVERIFY(root.mkpath(name + "/device"));
    if (type) {
        QFile file(root.filePath(name + "/type"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(type);
    }
}

struct SysfsOverride {
    explicit SysfsOverride(const QString& dir) { qputenv("TESSERA_SYSFS_TTY", dir.toLocal8Bit()); }
    ~SysfsOverride() { qunsetenv("TESSERA_SYSFS_TTY"); }
};

}  // namespace

void TestSerialPort::enumSerialPorts() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QDir root(dir.path());
    MakeEntry(root, "ttyS0", "4\n", true);
    MakeEntry(root, "ttyS10", "4\n", true);
    MakeEntry(root, "ttyS1", "0\n", true);  // registered by the driver, no UART behind it
    MakeEntry(root, "ttyS2", nullptr, true);
    MakeEntry(root, "ttyUSB0");
    MakeEntry(root, "ttyACM1");
    MakeEntry(root, "ttyAMA0");
    MakeEntry(root, "rfcomm0");
    MakeEntry(root, "ttymxc0", nullptr, true);
    MakeEntry(root, "tty0");
    MakeEntry(root, "console");
    MakeEntry(root, "ptmx");

    SysfsOverride sysfs(dir.path());
    QStringList ports{"stale entry"};
    TSerialPort::EnumSerialPorts(ports);
    QCOMPARE(ports, (QStringList{"rfcomm0", "ttyACM1", "ttyAMA0", "ttymxc0", "ttyS0", "ttyS10",
                                 "ttyUSB0"}));
}

void TestSerialPort::enumSerialPortsFailures() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QStringList ports{"stale entry"};
    {
        SysfsOverride sysfs(dir.path());
        TSerialPort::EnumSerialPorts(ports);
        QVERIFY(ports.isEmpty());
    }
    SysfsOverride sysfs(dir.filePath("missing"));
    ports = QStringList{"kept"};
    QCOMPARE(RaisedBy([&] { TSerialPort::EnumSerialPorts(ports); }), MessageOf(13));
    QCOMPARE(ports, QStringList{"kept"});
}

QTEST_GUILESS_MAIN(TestSerialPort)
#include "test_serial_port.moc"
