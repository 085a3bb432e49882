// tessera-cli as a script uses it: the real program, started for every case, against the
// virtual instrument on a pseudo-terminal (and against libmodbus's Modbus server), judged by
// its exit code, its output and the instrument's state afterwards. Its configuration file
// is also checked on its own.
#include <fcntl.h>
#include <grp.h>
#include <modbus.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <atomic>
#include <cstring>
#include <thread>

#include "InstrumentSetups.h"
#include "ProgramRun.h"
#include "PtyBridge.h"
#include "PtyPair.h"
#include "cli/Errors.h"
#include "cli/Line.h"
#include "config/ConfigError.h"
#include "config/ConfigFile.h"
#include "config/ConfigPlan.h"
#include "config/ConfigWrites.h"
#include "protocol/Commands.h"
#include "sim/BusList.h"
#include "sim/VirtualBus.h"
#include "sim/VirtualInstrument.h"

namespace {

// The program once, to the end.
Run Cli(const QStringList& arguments, int timeoutMs = 30000) {
    return RunProgram(QStringLiteral(TESSERA_CLI_PROGRAM), arguments, timeoutMs);
}

QString Port(const sim::VirtualInstrument& vi) {
    return QString::fromStdString(vi.DevicePath());
}

// Everything but the comment lines: what two configuration files say.
QStringList Settings(const QString& text) {
    QStringList lines;
    for (const QString& line : text.split('\n'))
        if (!line.startsWith('#') && !line.isEmpty()) lines << line;
    return lines;
}

QString ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Instruments on one line, from the text tessera-sim takes ("modbus:7,qv:12@19200").
std::vector<sim::Config> Bus(const char* entries) {
    std::vector<sim::Config> configs;
    std::string error;
    if (!sim::ParseBus(entries, configs, error)) qFatal("bad bus in test: %s", error.c_str());
    return configs;
}

// What opening `path` as the port raises in a child that has no right to it: as root the
// kernel grants every open, so the child becomes "nobody"; as anyone else the device node is
// made inaccessible to ourselves. "exit code|message", or why the child could not say.
QString OpenWithoutPermission(const QString& path) {
    const QByteArray device = path.toLocal8Bit();
    const bool root = geteuid() == 0;
    if (!root && chmod(device.constData(), 0) != 0) return QStringLiteral("chmod failed");
    int fds[2];
    if (pipe(fds) != 0) return QStringLiteral("pipe failed");
    const pid_t child = fork();
    if (child == 0) {
        ::close(fds[0]);
        const uid_t nobody = 65534;
        if (root && (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0))
            _exit(2);
        std::string said = "opened";
        try {
            cli::Line line(device.toStdString(), 9600, 100, false);
        } catch (const cli::CliError& e) {
            said = std::to_string(int(e.Code())) + "|" + e.what();
        }
        const bool sent = ::write(fds[1], said.data(), said.size()) == ssize_t(said.size());
        _exit(sent ? 0 : 3);
    }
    ::close(fds[1]);
    QByteArray said;
    char chunk[512];
    for (ssize_t n; child > 0 && (n = ::read(fds[0], chunk, sizeof chunk)) > 0;)
        said.append(chunk, int(n));
    ::close(fds[0]);
    int status = 0;
    if (child > 0) waitpid(child, &status, 0);
    if (!root) chmod(device.constData(), 0620);
    if (child < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return QStringLiteral("the child failed");
    return QString::fromUtf8(said);
}

}  // namespace

class TestCli : public QObject {
    Q_OBJECT

private slots:
    // ---- the configuration file ----------------------------------------------------------

    void configFileReadsWhatItWrites() {
        config::InstrumentConfig config;
        config["address"] = "7";
        config["protocol"] = "modbus";
        config["info"] = std::string("Щит \"A\"\\ 1\tx\x01");
        config["param1.scale"] = config::NumberText(173.2f);
        config["param1.unit"] = "13";
        config["relay2.delay"] = "-30";
        config["speed.line1"] = std::nullopt;
        const std::string text = config::FormatConfig(config, "header\nsecond line");
        QVERIFY(QString::fromStdString(text).startsWith("# header\n# second line\n"));
        QVERIFY(
            QString::fromStdString(text).contains(QRegularExpression("param1.unit = 13 +# Hz\n")));
        QCOMPARE(config::ParseConfig(text), config);
    }

    void configFileValues_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("canonical");  // "absent" for a key recorded as absent
        QTest::newRow("leading zeros and sign") << "relay1.delay = +0010"
                                                << "relay1.delay"
                                                << "10";
        QTest::newRow("number canonical") << "param2.scale = 1.50"
                                          << "param2.scale"
                                          << "1.5";
        QTest::newRow("single precision") << "param2.scale = 173.20000001"
                                          << "param2.scale"
                                          << "173.2";
        QTest::newRow("comment after value") << "brightness = 2   # bright"
                                             << "brightness"
                                             << "2";
        QTest::newRow("hash inside a text") << "info = \"#1\" # c"
                                            << "info"
                                            << "#1";
        QTest::newRow("escaped byte of the code page") << "info = \"\\xB9 5\""
                                                       << "info"
                                                       << "№ 5";
        QTest::newRow("absent") << "iec.type = absent"
                                << "iec.type"
                                << "absent";
        // The instrument gives the text back padded with blanks: they carry nothing.
        QTest::newRow("trailing blanks of a text") << "info = \"a b  \""
                                                   << "info"
                                                   << "a b";
        QTest::newRow("text of blanks") << "info = \"   \""
                                        << "info"
                                        << "";
        QTest::newRow("text absent needs no quotes") << "info = absent"
                                                     << "info"
                                                     << "absent";
        QTest::newRow("speed") << "speed.line2 = 19200"
                               << "speed.line2"
                               << "19200";
    }
    void configFileValues() {
        QFETCH(QString, line);
        QFETCH(QString, key);
        QFETCH(QString, canonical);
        const config::InstrumentConfig config =
            config::ParseConfig(("\xEF\xBB\xBF# c\n\n" + line).toStdString());
        QCOMPARE(int(config.size()), 1);
        const auto value = config.at(key.toStdString());
        QCOMPARE(value ? QString::fromStdString(*value) : QStringLiteral("absent"), canonical);
    }

    void configFileMistakes_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown key") << "address = 1\nadress = 2"
                                     << "line 2: unknown key \"adress\"";
        QTest::newRow("twice") << "address = 1\n\naddress = 2"
                               << "line 3: address is given twice";
        QTest::newRow("no equals") << "address 1"
                                   << "line 1: expected key = value";
        QTest::newRow("range") << "brightness = 3"
                               << "line 1: brightness must be within 0..2";
        QTest::newRow("setpoint range") << "setpoint.upper = 231"
                                        << "must be within -230..230";
        QTest::newRow("not a number") << "param1.scale = 1,5"
                                      << "param1.scale must be a number";
        QTest::newRow("not an integer") << "address = 7.0"
                                        << "address must be an integer";
        QTest::newRow("text unquoted") << "info = hello"
                                       << "info needs a quoted text";
        QTest::newRow("open quote") << "info = \"hello"
                                    << "no closing quote";
        QTest::newRow("junk after text") << "info = \"a\" b"
                                         << "unexpected text after the value";
        QTest::newRow("text too long") << "info = \"" + QString(65, 'x') + "\""
                                       << "longer than 64";
        QTest::newRow("odd speed") << "speed.line1 = 14400"
                                   << "must be one of 1200";
        QTest::newRow("protocol") << "protocol = rtu"
                                  << "protocol must be qv or modbus";
        QTest::newRow("empty value") << "address ="
                                     << "address needs a value";
    }
    void configFileMistakes() {
        QFETCH(QString, text);
        QFETCH(QString, message);
        try {
            config::ParseConfig(text.toStdString());
            QFAIL("accepted");
        } catch (const config::ConfigError& e) {
            QVERIFY(e.Why() == config::ConfigError::Reason::Invalid);
            QVERIFY2(QString::fromUtf8(e.what()).contains(message), e.what());
            // The line it names is the line it carries.
            QVERIFY(e.Line() >= 1);
            QVERIFY2(QString::fromUtf8(e.what()).startsWith(QString("line %1: ").arg(e.Line())),
                     e.what());
        }
    }

    // Why a plan cannot be made, and the key at fault: the file's mistakes apart from an
    // instrument that did not answer, which tessera-cli reports with another exit code.
    void configPlanRefusals_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("current");
        QTest::addColumn<bool>("notAnswered");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("message");
        QTest::newRow("address too high for Modbus")
            << "address = 300"
            << "address = 7\nprotocol = modbus" << false << "address"
            << "address: Modbus RTU addresses end at 247";
        QTest::newRow("unit without the scale the instrument did not give")
            << "param1.unit = 3"
            << "param1.point = 1" << false << "param1.scale"
            << "param1: the file must give param1.scale";
        QTest::newRow("setpoint without its format")
            << "setpoint.upper = 20"
            << "address = 7" << true << "setpoint.upper"
            << "setpoint.upper: the instrument did not tell its setpoint format";
    }
    void configPlanRefusals() {
        QFETCH(QString, file);
        QFETCH(QString, current);
        QFETCH(bool, notAnswered);
        QFETCH(QString, key);
        QFETCH(QString, message);
        try {
            config::ConfigPlan plan(config::ParseConfig(file.toStdString()),
                                    config::ParseConfig(current.toStdString()));
            QFAIL("planned");
        } catch (const config::ConfigError& e) {
            QCOMPARE(e.Why() == config::ConfigError::Reason::NotAnswered, notAnswered);
            QCOMPARE(QString::fromStdString(e.Key()), key);
            QCOMPARE(e.Line(), 0);
            QVERIFY2(QString::fromUtf8(e.what()).startsWith(message), e.what());
        }
    }

    // The requests each planned write goes out as, in order, and what changes on the line after
    // them: the same for tessera-cli, the line window's batch and the main window.
    void configWriteRequests_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("current");
        QTest::addColumn<bool>("modbus");
        QTest::addColumn<int>("address");
        QTest::addColumn<QString>("requests");  // "Command data" of each request, "; " between
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("after");  // "address N", "protocol qv|modbus", or empty
        QTest::newRow("brightness") << "brightness = 0"
                                    << "brightness = 2" << false << 7 << "SetBright 00"
                                    << "brightness"
                                    << "";
        QTest::newRow("QV serial number with its year in one request")
            << "serial.number = 1234\nserial.year = 2024"
            << "serial.number = 1\nserial.year = 2020" << false << 7 << "SetYear 18 04 D2"
            << "serial"
            << "";
        QTest::newRow("Modbus serial number, then its year")
            << "serial.number = 1234\nserial.year = 2150"
            << "serial.number = 1\nserial.year = 2020" << true << 7
            << "SetNumberOfProduce D2 04; SetYearMB 96 00"
            << "serial"
            << "";
        QTest::newRow("relay 2 mode and delay, without its hysteresis")
            << "relay2.mode = 3\nrelay2.delay = 500"
            << "relay2.mode = 1\nrelay2.delay = 0\nrelay2.hysteresis = 2" << true << 7
            << "SetRelayParams 00 03 01 F4 (relay 2)"
            << "relay"
            << "";
        QTest::newRow("relay 1 hysteresis alone")
            << "relay1.hysteresis = 1.5"
            << "relay1.mode = 1\nrelay1.delay = 0\nrelay1.hysteresis = 2" << false << 7
            << "SetRelayGist 3F C0 00 00 (relay 1)"
            << "relay.hysteresis"
            << "";
        QTest::newRow("16-bit upper setpoint")
            << "setpoint.upper = -20"
            << "setpoint.format = 710" << true << 7 << "SetUst11 FF EC"
            << "setpoint.upper"
            << "";
        QTest::newRow("8-bit lower setpoint") << "setpoint.lower = -20"
                                              << "setpoint.format = 8" << false << 7 << "SetUst2 EC"
                                              << "setpoint.lower"
                                              << "";
        QTest::newRow("second line's speed") << "speed.line2 = 19200"
                                             << "" << true << 7 << "SetSpeed2 05"
                                             << "speed"
                                             << "";
        QTest::newRow("address") << "address = 300"
                                 << "address = 7\nprotocol = qv" << false << 7 << "SetAdr 2C 01"
                                 << "address"
                                 << "address 300";
        QTest::newRow("QV to Modbus RTU")
            << "protocol = modbus"
            << "protocol = qv" << false << 12 << "SetTypeProt 0C (at 0)"
            << "protocol"
            << "protocol modbus";
        QTest::newRow("Modbus RTU to QV")
            << "protocol = qv"
            << "protocol = modbus" << true << 12 << "SetTypeProt 0C 00 00 00 (at 0)"
            << "protocol"
            << "protocol qv";
        QTest::newRow("no switch to Modbus RTU from an address it has not")
            << "protocol = modbus"
            << "protocol = qv" << false << 300 << "refused"
            << "protocol"
            << "";
    }
    void configWriteRequests() {
        QFETCH(QString, file);
        QFETCH(QString, current);
        QFETCH(bool, modbus);
        QFETCH(int, address);
        QFETCH(QString, requests);
        QFETCH(QString, name);
        QFETCH(QString, after);
        const config::ConfigPlan plan(config::ParseConfig(file.toStdString()),
                                      config::ParseConfig(current.toStdString()));
        QCOMPARE(plan.Writes().size(), size_t(1));
        const config::PlannedWrite& w = plan.Writes().front();
        QCOMPARE(QString::fromStdString(config::WriteName(w)), name);
        const bool moves = name == "address" || name == "protocol" || name == "speed";
        QCOMPARE(config::MovesOnTheLine(w), moves);
        const protocol::Protocol protocol =
            modbus ? protocol::Protocol::Modbus : protocol::Protocol::Qv;
        config::WriteRequests write;
        try {
            write = config::RequestsOf(w, protocol, uint16_t(address));
        } catch (const config::ConfigError& e) {
            QCOMPARE(QStringLiteral("refused"), requests);
            QCOMPARE(e.Why(), config::ConfigError::Reason::Invalid);
            QCOMPARE(QString::fromUtf8(e.what()),
                     QStringLiteral("the protocol switch needs an address within 1..247"));
            return;
        }
        QStringList sent;
        for (const protocol::Request& r : write.requests) {
            QString text = QString::fromLatin1(CommandName(r.command));
            for (uint8_t b : r.data) text += QStringLiteral(" %1").arg(b, 2, 16, QLatin1Char('0'));
            if (r.command == SetRelayParams || r.command == SetRelayGist)
                text += QStringLiteral(" (relay %1)").arg(r.relay);
            if (r.fixedAddress) text += QStringLiteral(" (at %1)").arg(*r.fixedAddress);
            sent << text;
        }
        QCOMPARE(sent.join(QStringLiteral("; ")).toUpper(), requests.toUpper());
        QString changed;
        if (write.newAddress) changed = QStringLiteral("address %1").arg(*write.newAddress);
        if (write.newProtocol)
            changed = write.newProtocol == protocol::Protocol::Modbus
                          ? QStringLiteral("protocol modbus")
                          : QStringLiteral("protocol qv");
        QCOMPARE(changed, after);
    }

    // ---- the program ---------------------------------------------------------------------

    void usageAndVersion() {
        const Run version = Cli({"--version"});
        QCOMPARE(version.code, 0);
        QCOMPARE(version.out, QStringLiteral("tessera-cli " TESSERA_VERSION "\n"));
        const Run help = Cli({"--help"});
        QCOMPARE(help.code, 0);
        QVERIFY(help.out.contains("set-config FILE"));
        QCOMPARE(Cli({"frobnicate"}).code, 1);
        QCOMPARE(Cli({"read", "--count"}).code, 1);
        QCOMPARE(Cli({"read", "--params", "4", "--port", "/dev/null"}).code, 1);
        const Run noPort = Cli({"read"});
        QCOMPARE(noPort.code, 1);
        QVERIFY(noPort.err.contains("--port"));
    }

    void missingPortIsExitCode2() {
        const Run run = Cli({"--port", "/dev/tessera-no-such-port", "search"});
        QCOMPARE(run.code, 2);
        QVERIFY2(run.err.contains("no such port"), qPrintable(run.err));
    }

    void busyPortIsExitCode2() {
        sim::VirtualInstrument vi(Instrument(sim::Protocol::Modbus, 7));
        vi.Start();
        QProcess first;  // holds the port while it reads until interrupted
        first.start(QStringLiteral(TESSERA_CLI_PROGRAM),
                    {"--port", Port(vi), "--protocol", "modbus", "--address", "7", "read",
                     "--count", "0", "--interval", "50"});
        QVERIFY(first.waitForStarted());
        QVERIFY(vi.WaitForFrames(2, 10000));
        const Run second = Cli({"--port", Port(vi), "search"});
        ::kill(pid_t(first.processId()), SIGINT);
        QVERIFY(first.waitForFinished(10000));
        QCOMPARE(first.exitCode(), 130);
        QCOMPARE(second.code, 2);
        QVERIFY2(second.err.contains("busy"), qPrintable(second.err));
    }

    void portNamesAndWhyTheyCannotBeOpened_data() {
        QTest::addColumn<QString>("port");  // "LINE": the name of a working line under /dev
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("a name under /dev") << "LINE" << 0 << "";
        QTest::newRow("a missing name under /dev")
            << "tessera-no-such-port" << 2 << "cannot open /dev/tessera-no-such-port: no such port";
        QTest::newRow("COMn is the n-th serial port")
            << "COM200" << 2 << "cannot open /dev/ttyS199: no such port";
    }
    void portNamesAndWhyTheyCannotBeOpened() {
        QFETCH(QString, port);
        QFETCH(int, code);
        QFETCH(QString, message);
        sim::VirtualInstrument vi(Instrument(sim::Protocol::Modbus, 7));
        vi.Start();
        if (port == "LINE") port = Port(vi).mid(int(strlen("/dev/")));
        const Run run = Cli({"--port", port, "search"});
        QVERIFY2(run.code == code, qPrintable(Explain(run)));
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        if (code == 0) QCOMPARE(run.out, QStringLiteral("address=7 protocol=modbus\n"));
    }

    void noPermissionIsExitCode2() {
        PtyPair line;
        QVERIFY(line.Valid());
        const QString said = OpenWithoutPermission(line.slavePath);
        QVERIFY2(said.startsWith("2|cannot open " + line.slavePath + ": permission denied"),
                 qPrintable(said));
    }

    // -v shows each request and its answer on stderr, the output stays as it is.
    void verboseShowsTheFrames() {
        sim::VirtualInstrument vi(Instrument(sim::Protocol::Modbus, 7));
        vi.Start();
        const Run run = Cli({"--port", Port(vi), "--protocol", "modbus", "--address", "7", "-v",
                             "read", "--params", "1"});
        QVERIFY2(run.code == 0, qPrintable(Explain(run)));
        QCOMPARE(run.out, QStringLiteral("parameter 1: 12.5 V\n"));
        QVERIFY2(run.err.startsWith("> 07 03 00 64 00 04 "), qPrintable(run.err));
        QVERIFY2(run.err.contains(QRegularExpression("\n> 07 03 00 00 00 02 [0-9A-F ]+\n"
                                                     "< 07 03 04 [0-9A-F ]+\n$")),
                 qPrintable(run.err));
    }

    // The single-instrument search on a line with several: one answering in a protocol is
    // found; two answering at once collide, and the message says so.
    void searchOnABus_data() {
        QTest::addColumn<QString>("bus");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("expected");  // standard output, or a part of stderr
        QTest::newRow("QV first, one at 9600")
            << "modbus:7,qv:12,modbus:30@19200" << QStringList{} << 0 << "address=12 protocol=qv\n";
        QTest::newRow("Modbus, one at 19200")
            << "modbus:7,qv:12,modbus:30@19200" << QStringList{"--baud", "19200"} << 0
            << "address=30 protocol=modbus\n";
        QTest::newRow("Modbus, two at 9600")
            << "modbus:7,modbus:8" << QStringList{"--protocol", "modbus"} << 3 << "collide";
    }
    void searchOnABus() {
        QFETCH(QString, bus);
        QFETCH(QStringList, options);
        QFETCH(int, code);
        QFETCH(QString, expected);
        sim::VirtualBus line(Bus(qPrintable(bus)));
        line.Start();
        const Run run = Cli(QStringList{"--port", QString::fromStdString(line.DevicePath())} +
                            options + QStringList{"search"});
        QVERIFY2(run.code == code, qPrintable(Explain(run)));
        if (code == 0)
            QCOMPARE(run.out, expected);
        else
            QVERIFY2(run.err.contains(expected), qPrintable(run.err));
    }

    void searchFindsAddressAndProtocol_data() {
        QTest::addColumn<int>("protocol");
        QTest::addColumn<int>("address");
        QTest::addColumn<QString>("expected");
        QTest::newRow("QV above 255")
            << int(sim::Protocol::Qv) << 300 << "address=300 protocol=qv\n";
        QTest::newRow("Modbus") << int(sim::Protocol::Modbus) << 17
                                << "address=17 protocol=modbus\n";
    }
    void searchFindsAddressAndProtocol() {
        QFETCH(int, protocol);
        QFETCH(int, address);
        QFETCH(QString, expected);
        sim::VirtualInstrument vi(Instrument(sim::Protocol(protocol), uint16_t(address)));
        vi.Start();
        const Run run = Cli({"--port", Port(vi), "search"});
        QVERIFY2(run.code == 0, qPrintable(Explain(run)));
        QCOMPARE(run.out, expected);
    }

    void readWritesCsv() {
        sim::VirtualInstrument vi(Instrument(sim::Protocol::Modbus, 7));
        vi.Model().SetParameterSetup(1, 250.0f, 1, 2);
        vi.Model().FreezeValue(1, 230.4f);
        vi.Model().SetParameterSetup(2, 5.0f, 2, 0);
        vi.Model().FreezeValue(2, -1.2345f);
        vi.Start();
        QTemporaryDir dir;
        const QString csv = dir.filePath("readings.csv");
        const Run run = Cli({"--port", Port(vi), "--address", "7", "read", "--params", "1,2",
                             "--count", "3", "--interval", "20", "--csv", csv});
        QVERIFY2(run.code == 0, qPrintable(Explain(run)));
        QCOMPARE(run.out.count("parameter 1: 230.4 V\n"), 3);
        QCOMPARE(run.out.count("parameter 2: -1.235 A\n"), 3);
        const QStringList rows = ReadFile(csv).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 7);
        QCOMPARE(rows[0], QStringLiteral("time,parameter,value,unit"));
        const QRegularExpression row(
            "^(\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z),([12]),(.*),(V|A)$");
        QString previous;
        for (int i = 1; i <= 6; ++i) {
            const QRegularExpressionMatch m = row.match(rows[i]);
            QVERIFY2(m.hasMatch(), qPrintable(rows[i]));
            QCOMPARE(m.captured(2).toInt(), 2 - i % 2);
            QCOMPARE(m.captured(3), i % 2 ? QStringLiteral("230.4") : QStringLiteral("-1.235"));
            QVERIFY(m.captured(1) >= previous);  // time stamps in order
            previous = m.captured(1);
        }
        // "-": the CSV alone on standard output.
        const Run toOutput =
            Cli({"--port", Port(vi), "--address", "7", "read", "--params", "2", "--csv", "-"});
        QVERIFY2(toOutput.code == 0, qPrintable(Explain(toOutput)));
        QVERIFY2(toOutput.out.contains(
                     QRegularExpression("^time,parameter,value,unit\n[-0-9T:.Z]+,2,-1.235,A\n$")),
                 qPrintable(toOutput.out));
    }

    void readOfAMissingParameterIsRefused_data() {
        QTest::addColumn<int>("protocol");
        QTest::newRow("QV status 2") << int(sim::Protocol::Qv);
        QTest::newRow("Modbus exception 2") << int(sim::Protocol::Modbus);
    }
    void readOfAMissingParameterIsRefused() {
        QFETCH(int, protocol);
        sim::VirtualInstrument vi(Instrument(sim::Protocol(protocol), 7, 2));
        vi.Start();
        const Run run = Cli({"--port", Port(vi), "--address", "7", "read", "--params", "3"});
        QCOMPARE(run.code, 4);
        QVERIFY2(run.err.contains("Несуществующий параметр"), qPrintable(run.err));
    }

    // The wait restarts with every byte: pieces apart by less than the silence, taking longer
    // than it in all, are one answer; a gap longer than the silence ends it.
    void answersInPieces_data() {
        QTest::addColumn<int>("gapMs");
        QTest::addColumn<int>("code");
        QTest::newRow("gaps under the silence, longer in all") << 150 << 0;
        QTest::newRow("a gap over the silence") << 700 << 3;
    }
    void answersInPieces() {
        QFETCH(int, gapMs);
        QFETCH(int, code);
        sim::VirtualInstrument vi(Instrument(sim::Protocol::Modbus, 7));
        vi.Start();
        sim::Faults faults;
        faults.pieces = 4;
        faults.pieceGapMs = gapMs;
        vi.SetFaults(faults);
        const Run run = Cli({"--port", Port(vi), "--protocol", "modbus", "--address", "7",
                             "--timeout", "370", "read", "--params", "1"});
        QVERIFY2(run.code == code, qPrintable(Explain(run)));
        if (code == 0) QCOMPARE(run.out, QStringLiteral("parameter 1: 12.5 V\n"));
    }

    // The whole configuration of one instrument onto another that speaks the other protocol
    // at another address: afterwards the second reads back exactly as the first.
    void configurationRoundTrip() {
        sim::VirtualInstrument source(Instrument(sim::Protocol::Modbus, 7, 2));
        ConfigureEveryGroup(source.Model());
        sim::VirtualInstrument target(Instrument(sim::Protocol::Qv, 12, 2));
        source.Start();
        target.Start();
        QTemporaryDir dir;
        const QString file = dir.filePath("source.cfg");
        const Run got = Cli({"--port", Port(source), "get-config", "-o", file});
        QVERIFY2(got.code == 0, qPrintable(Explain(got)));
        const QString text = ReadFile(file);
        QVERIFY(text.contains("info = \"Щит \\\"A\\\" № 5\"\n"));
        QVERIFY(text.contains("param3.scale = absent"));
        QVERIFY(text.contains("relay2.hysteresis = 0.25\n"));

        // Copied as it is, the file leaves the target its own address and protocol ...
        const Run kept = Cli({"--port", Port(target), "--address", "12", "set-config", file});
        QVERIFY2(kept.code == 0, qPrintable(Explain(kept)));
        QVERIFY2(
            kept.out.contains("address: 7 in the file, not written (--with-address writes it)"),
            qPrintable(kept.out));
        QVERIFY2(kept.out.contains("protocol: modbus in the file, not written"),
                 qPrintable(kept.out));
        QVERIFY(!kept.out.contains("write address") && !kept.out.contains("write protocol"));
        QCOMPARE(target.Model().Snapshot().protocol, sim::Protocol::Qv);
        QCOMPARE(int(target.Model().Snapshot().address), 12);

        // ... and writes them when asked: the address and then the protocol go last, each
        // of them cuts the line.
        const Run set =
            Cli({"--port", Port(target), "--address", "12", "set-config", file, "--with-address"});
        QVERIFY2(set.code == 0, qPrintable(Explain(set)));
        const QStringList writes = set.out.split('\n').filter(QRegularExpression("^write "));
        QVERIFY2(writes.size() >= 2, qPrintable(set.out));
        QCOMPARE(writes.at(writes.size() - 2), QStringLiteral("write address: 12 -> 7"));
        QCOMPARE(writes.last(), QStringLiteral("write protocol: qv -> modbus"));
        const sim::InstrumentState state = target.Model().Snapshot();
        QCOMPARE(state.protocol, sim::Protocol::Modbus);
        QCOMPARE(int(state.address), 7);

        const Run back = Cli({"--port", Port(target), "get-config"});
        QVERIFY2(back.code == 0, qPrintable(Explain(back)));
        QCOMPARE(Settings(back.out), Settings(text));
    }

    void dryRunWritesNothing() {
        sim::VirtualInstrument vi(Instrument(sim::Protocol::Modbus, 7));
        vi.Start();
        QTemporaryDir dir;
        const QString file = dir.filePath("c.cfg");
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("brightness = 0\ninfo = \"new\"\naddress = 9\n");
        out.close();
        const Run run = Cli({"--port", Port(vi), "set-config", file, "--dry-run", "--only",
                             "info,address", "--with-address"});
        QVERIFY2(run.code == 0, qPrintable(Explain(run)));
        QCOMPARE(run.out, QStringLiteral(
                              "would write info: \"\" -> \"new\"\nwould write address: 7 -> 9\n"));
        QCOMPARE(vi.Model().InfoText(), std::string());
        QCOMPARE(int(vi.Model().Address()), 7);
    }

    // A file the plan refuses is a usage error, as a mistake in it is: nothing is written.
    void refusedFileIsExitCode1_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("mistake on a line") << "brightness = 0\nbrightness = 1\n"
                                           << "c.cfg: line 2: brightness is given twice";
        QTest::newRow("address beyond Modbus") << "brightness = 0\naddress = 300\n"
                                               << "address: Modbus RTU addresses end at 247";
    }
    void refusedFileIsExitCode1() {
        QFETCH(QString, text);
        QFETCH(QString, message);
        sim::VirtualInstrument vi(Instrument(sim::Protocol::Modbus, 7));
        vi.Start();
        QTemporaryDir dir;
        const QString file = dir.filePath("c.cfg");
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(text.toUtf8());
        out.close();
        const Run run =
            Cli({"--port", Port(vi), "--address", "7", "set-config", file, "--with-address"});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY2(run.err.contains("(tessera-cli --help shows the usage)"), qPrintable(run.err));
        QCOMPARE(int(vi.Model().Snapshot().brightness), 1);
        QCOMPARE(int(vi.Model().Address()), 7);
    }

    // The 8-bit setpoint format carries one byte: the instrument takes 200 as -56, and the
    // read-back says so.
    void readBackDifferenceIsExitCode3() {
        sim::VirtualInstrument vi(Instrument(sim::Protocol::Modbus, 7));
        vi.Model().Change([](sim::InstrumentState& s) { s.setpointFormat = 0; });
        vi.Start();
        QTemporaryDir dir;
        const QString file = dir.filePath("c.cfg");
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("setpoint.upper = 200\nsetpoint.lower = -20\n");
        out.close();
        const Run run = Cli({"--port", Port(vi), "--address", "7", "set-config", file});
        QCOMPARE(run.code, 3);
        QVERIFY2(run.out.contains("differs setpoint.upper: file 200, instrument -56\n"),
                 qPrintable(run.out));
        QVERIFY(!run.out.contains("differs setpoint.lower"));
        QCOMPARE(int(vi.Model().Snapshot().lowerSetpoint), -20);

        const Run json = Cli({"--port", Port(vi), "--address", "7", "--json", "set-config", file});
        QCOMPARE(json.code, 3);
        QVERIFY2(json.out.contains(R"("differences":[{"key":"setpoint.upper","file":"200",)"
                                   R"("instrument":"-56"}])"),
                 qPrintable(json.out));
    }

    void faultyLineIsExitCode3_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QString>("message");
        QTest::newRow("silent instrument, read")
            << "silence" << QStringList{"read"} << "did not answer";
        QTest::newRow("bad CRC, get-config")
            << "badCrc" << QStringList{"get-config"} << "no valid answer";
        QTest::newRow("cut answers, set-address")
            << "cut" << QStringList{"set-address", "9"} << "no valid answer";
    }
    void faultyLineIsExitCode3() {
        QFETCH(QString, fault);
        QFETCH(QStringList, command);
        QFETCH(QString, message);
        sim::VirtualInstrument vi(Instrument(sim::Protocol::Modbus, 7));
        vi.Start();
        sim::Faults faults;
        faults.silence = fault == "silence";
        faults.badCrc = fault == "badCrc";
        faults.cutBytes = fault == "cut" ? 1 : 0;
        vi.SetFaults(faults);
        const Run run = Cli(QStringList{"--port", Port(vi), "--protocol", "modbus", "--address",
                                        "7", "--timeout", "100"} +
                            command);
        QCOMPARE(run.code, 3);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
    }

    void refusedWriteIsExitCode4_data() {
        QTest::addColumn<int>("protocol");
        QTest::addColumn<QString>("message");
        QTest::newRow("Modbus exception")
            << int(sim::Protocol::Modbus) << "Аппаратная защита (exception 70)";
        QTest::newRow("QV result byte")
            << int(sim::Protocol::Qv) << "Аппаратная защита (result 70)";
    }
    void refusedWriteIsExitCode4() {
        QFETCH(int, protocol);
        QFETCH(QString, message);
        sim::VirtualInstrument vi(Instrument(sim::Protocol(protocol), 7));
        vi.Model().SetWriteProtected(true);
        vi.Start();
        QTemporaryDir dir;
        const QString file = dir.filePath("c.cfg");
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("brightness = 0\n");
        out.close();
        const Run run = Cli({"--port", Port(vi), "--address", "7", "set-config", file});
        QCOMPARE(run.code, 4);
        QVERIFY2(run.err.contains("refused brightness: " + message), qPrintable(run.err));
        QCOMPARE(int(vi.Model().Snapshot().brightness), 1);
    }

    void addressAndProtocolSwitch() {
        sim::VirtualInstrument vi(Instrument(sim::Protocol::Modbus, 7));
        vi.Start();
        Run run = Cli({"--port", Port(vi), "switch-protocol", "qv"});
        QVERIFY2(run.code == 0, qPrintable(Explain(run)));
        QCOMPARE(vi.Model().SpokenProtocol(), sim::Protocol::Qv);
        run = Cli({"--port", Port(vi), "--address", "7", "set-address", "300", "--json"});
        QVERIFY2(run.code == 0, qPrintable(Explain(run)));
        QCOMPARE(run.out, QStringLiteral("{\"address\":300,\"was\":7}\n"));
        // 300 has no Modbus RTU form: the switch back is refused before anything is sent.
        vi.ClearReceived();
        run = Cli({"--port", Port(vi), "--address", "300", "--protocol", "qv", "switch-protocol",
                   "modbus"});
        QCOMPARE(run.code, 1);
        QVERIFY(vi.ReceivedFrames().empty());
        QCOMPARE(vi.Model().SpokenProtocol(), sim::Protocol::Qv);
    }

    void scanListsTheInstrument() {
        sim::VirtualInstrument vi(Instrument(sim::Protocol::Modbus, 5));
        vi.Model().Change([](sim::InstrumentState& s) {
            s.serialNumber = 42;
            s.year = 24;
        });
        vi.Start();
        const Run run =
            Cli({"--port", Port(vi), "scan", "--addresses", "3-6", "--timeout", "80", "--json"});
        QVERIFY2(run.code == 0, qPrintable(Explain(run)));
        QCOMPARE(run.out, QStringLiteral(
                              "{\"complete\":true,\"instruments\":[{\"baud\":9600,"
                              "\"protocol\":\"modbus\",\"address\":5,\"serial\":\"240042\"}]}\n"));
        // Each address asked once per protocol, the search request never.
        for (const sim::Bytes& frame : vi.ReceivedFrames()) QVERIFY(frame[1] != 0x77);
    }

    void scanFindingNothingIsExitCode3() {
        sim::VirtualInstrument vi(Instrument(sim::Protocol::Qv, 40));
        vi.Start();
        const Run run = Cli({"--port", Port(vi), "scan", "--addresses", "1,2", "--timeout", "60"});
        QCOMPARE(run.code, 3);
        QCOMPARE(Settings(run.out), QStringList{"BAUD     PROTOCOL  ADDRESS  SERIAL"});
    }

    // Progress goes to stderr only when that is a terminal; the list goes to stdout alike.
    void scanProgressOnlyOnATerminal_data() {
        QTest::addColumn<bool>("terminal");
        QTest::newRow("stderr a terminal") << true;
        QTest::newRow("stderr a pipe") << false;
    }
    void scanProgressOnlyOnATerminal() {
        QFETCH(bool, terminal);
        sim::VirtualInstrument vi(Instrument(sim::Protocol::Modbus, 5));
        vi.Start();
        PtyPair console;
        QVERIFY(console.Valid());
        QProcess scan;
        if (terminal) {
            const int fd = console.slave;
            scan.setChildProcessModifier([fd] { ::dup2(fd, STDERR_FILENO); });
        }
        scan.start(QStringLiteral(TESSERA_CLI_PROGRAM),
                   {"--port", Port(vi), "scan", "--addresses", "4,5", "--protocols", "modbus",
                    "--timeout", "60"});
        QVERIFY(scan.waitForFinished(30000));
        QCOMPARE(scan.exitCode(), 0);
        QVERIFY(QString::fromUtf8(scan.readAllStandardOutput())
                    .contains(QRegularExpression("\n9600 +modbus +5 +")));
        const QByteArray shown = console.Received();
        if (!terminal) {
            QCOMPARE(scan.readAllStandardError(), QByteArray());
            QCOMPARE(shown, QByteArray());
            return;
        }
        QVERIFY2(shown.contains("\r9600 baud: address 4 (1 of 2), 0 found"), shown.constData());
        QVERIFY2(shown.contains("\r9600 baud: address 5 (2 of 2), 0 found"), shown.constData());
        QVERIFY2(shown.endsWith("\r"), shown.constData());  // the progress line wiped
    }

    // Ctrl+C ends the scan after the exchange under way: what was found is printed and no
    // frame is left half sent.
    void scanStopsOnCtrlC() {
        sim::VirtualInstrument vi(Instrument(sim::Protocol::Modbus, 1));
        vi.Start();
        QProcess scan;
        scan.start(QStringLiteral(TESSERA_CLI_PROGRAM),
                   {"--port", Port(vi), "scan", "--protocols", "modbus", "--timeout", "100"});
        QVERIFY(scan.waitForStarted());
        QVERIFY(vi.WaitForFrames(4, 10000));
        ::kill(pid_t(scan.processId()), SIGINT);
        QVERIFY(scan.waitForFinished(10000));
        QCOMPARE(scan.exitCode(), 130);
        const QString out = QString::fromUtf8(scan.readAllStandardOutput());
        QVERIFY2(out.contains(QRegularExpression("\n9600 +modbus +1 +")), qPrintable(out));
        QVERIFY(vi.ReceivedFrames().size() < 247);
        QVERIFY(vi.Discarded().empty());
    }

    // Three instruments on one line, at mixed protocols and speeds: one scan finds them all,
    // each at its own speed, protocol and address.
    void scanFindsThreeInstrumentsOnOneBus() {
        std::vector<sim::Config> line = {Instrument(sim::Protocol::Modbus, 7),
                                         Instrument(sim::Protocol::Qv, 12),
                                         Instrument(sim::Protocol::Modbus, 30)};
        line[0].lineSpeed = 9600;
        line[1].lineSpeed = 9600;
        line[2].lineSpeed = 19200;
        sim::VirtualBus bus(line);
        bus.Start();
        const Run run =
            Cli({"--port", QString::fromStdString(bus.DevicePath()), "scan", "--addresses",
                 "6-13,29-31", "--bauds", "9600,19200", "--timeout", "80", "--json"});
        QVERIFY2(run.code == 0, qPrintable(Explain(run)));
        const QJsonObject result = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QVERIFY(result.value("complete").toBool());
        QStringList found;
        for (const QJsonValue& v : result.value("instruments").toArray()) {
            const QJsonObject o = v.toObject();
            found << QStringLiteral("%1 %2 %3")
                         .arg(o.value("baud").toInt())
                         .arg(o.value("protocol").toString())
                         .arg(o.value("address").toInt());
        }
        found.sort();
        QCOMPARE(found, QStringList({"19200 modbus 30", "9600 modbus 7", "9600 qv 12"}));
        QCOMPARE(bus.Collisions(), size_t(0));  // one address at a time: no answers collide
    }

    // The README's copy between two instruments of one line: the copy leaves the target its
    // address; asked to write it, or to readdress, the program first asks the new address
    // and refuses when an instrument answers there, having written nothing.
    void copyOnOneLineNeverGivesTwoInstrumentsOneAddress_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("said");
        QTest::newRow("copied") << QStringList{"set-config", "p7.cfg"} << 0
                                << "address: 7 in the file, not written";
        QTest::newRow("copied with the address")
            << QStringList{"set-config", "p7.cfg", "--with-address"} << 1
            << "address 7 is taken: an instrument answers there; nothing written";
        QTest::newRow("set-address") << QStringList{"set-address", "7"} << 1
                                     << "address 7 is taken: an instrument answers there";
        QTest::newRow("set-address to a free one")
            << QStringList{"set-address", "9"} << 0 << "address 8 -> 9";
    }
    void copyOnOneLineNeverGivesTwoInstrumentsOneAddress() {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, said);
        sim::VirtualBus bus(Bus("modbus:7,modbus:8"));
        bus.Instrument(0).Model().Change([](sim::InstrumentState& s) { s.brightness = 2; });
        bus.Start();
        const QString port = QString::fromStdString(bus.DevicePath());
        QTemporaryDir dir;
        const QString file = dir.filePath("p7.cfg");
        arguments.replaceInStrings(QStringLiteral("p7.cfg"), file);
        const Run got = Cli({"--port", port, "--address", "7", "get-config", "-o", file});
        QVERIFY2(got.code == 0, qPrintable(Explain(got)));

        const Run run = Cli(QStringList{"--port", port, "--address", "8"} + arguments);
        QVERIFY2(run.code == code, qPrintable(Explain(run)));
        QVERIFY2((run.out + run.err).contains(said), qPrintable(Explain(run)));
        QCOMPARE(int(bus.Instrument(0).Model().Address()), 7);
        QCOMPARE(int(bus.Instrument(1).Model().Address()),
                 code == 0 && arguments[1] == "9" ? 9 : 8);
        // The copy itself went through (or, refused, nothing at all was written).
        QCOMPARE(int(bus.Instrument(1).Model().Snapshot().brightness),
                 arguments[0] == "set-config" && code == 0 ? 2 : 1);
    }

    // Two instruments at one address: no instrument is listed there, the collision is named on
    // stderr and in the JSON; a slow one beside them is still found at its own address.
    void scanNamesACollision() {
        std::vector<sim::Config> line = {Instrument(sim::Protocol::Modbus, 20),
                                         Instrument(sim::Protocol::Modbus, 20),
                                         Instrument(sim::Protocol::Modbus, 18)};
        line[2].answerDelayMs = 250;
        sim::VirtualBus bus(line);
        for (size_t i = 0; i < bus.Size(); ++i)
            bus.Instrument(i).Model().Change(
                [i](sim::InstrumentState& s) { s.serialNumber = uint16_t(7 + i); });
        bus.Start();
        const Run run = Cli({"--port", QString::fromStdString(bus.DevicePath()), "scan",
                             "--addresses", "17-22", "--protocols", "modbus", "--json"});
        QVERIFY2(run.code == 0, qPrintable(Explain(run)));
        QCOMPARE(run.out, QStringLiteral("{\"complete\":true,\"instruments\":[{\"baud\":9600,"
                                         "\"protocol\":\"modbus\",\"address\":18,\"serial\":"
                                         "\"240009\"}],\"collisions\":[{\"baud\":9600,"
                                         "\"protocol\":\"modbus\",\"address\":20}]}\n"));
        QVERIFY2(run.err.contains("address 20 (modbus, 9600 baud): only damaged answers"),
                 qPrintable(run.err));
    }

    void portsFromAFakeSystem() {
        QTemporaryDir root;
        QVERIFY(QDir().mkpath(root.filePath("sys/class/tty/ttyS0")));
        QFile type(root.filePath("sys/class/tty/ttyS0/type"));
        QVERIFY(type.open(QIODevice::WriteOnly));
        type.write("4\n");
        type.close();
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TESSERA_SYSTEM_ROOT", root.path());
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(TESSERA_CLI_PROGRAM), {"ports", "--json"});
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(program.readAllStandardOutput()),
                 QStringLiteral("[{\"name\":\"ttyS0\",\"path\":\"/dev/ttyS0\",\"by_id\":\"\","
                                "\"description\":\"\"}]\n"));
    }

    // A Modbus server no one here wrote, with the instrument's registers set by hand: the
    // reading comes out as the panel would show it.
    void readFromLibmodbusServer() {
        PtyBridge line;
        QVERIFY(line.Valid());
        modbus_t* server = modbus_new_rtu(line.PathB().toLocal8Bit().constData(), 9600, 'N', 8, 1);
        QVERIFY(server);
        modbus_set_slave(server, 7);
        modbus_set_indication_timeout(server, 0, 100000);
        QVERIFY(modbus_connect(server) == 0);
        modbus_mapping_t* map = modbus_mapping_new(0, 0, 120, 0);
        QVERIFY(map);
        // Singles as the instrument keeps them: the low-order word in the first register.
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
        std::atomic<bool> stop{false};
        std::thread serve([&] {
            uint8_t request[MODBUS_RTU_MAX_ADU_LENGTH];
            while (!stop) {
                const int n = modbus_receive(server, request);
                if (n > 0) modbus_reply(server, request, n, map);
            }
        });
        const Run run = Cli({"--port", line.PathA(), "--protocol", "modbus", "--address", "7",
                             "read", "--params", "1", "--json"});
        stop = true;
        serve.join();
        modbus_mapping_free(map);
        modbus_close(server);
        modbus_free(server);
        QVERIFY2(run.code == 0, qPrintable(Explain(run)));
        QVERIFY2(run.out.contains(QRegularExpression("^\\{\"time\":\"[^\"]+\",\"parameter\":1,"
                                                     "\"text\":\"230.4\",\"value\":230.39999\\d*,"
                                                     "\"unit\":\"V\"\\}\n$")),
                 qPrintable(run.out));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
