// tessera-cli under hostile input and interruptions: configuration files with values, texts
// or encodings the instrument cannot take, files that are not files, writes that fail half
// way, Ctrl+C and SIGTERM in the middle of writing, a full disk, read-only keys that differ,
// and an instrument whose answer to the search comes late. The real program against the
// virtual instrument on a pseudo-terminal, judged by its exit code, its output and the
// instrument's state afterwards.
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include "InstrumentSetups.h"
#include "ProgramRun.h"
#include "ShardedMain.h"
#include "cli/Errors.h"
#include "config/ConfigError.h"
#include "config/ConfigFile.h"
#include "protocol/Answers.h"
#include "protocol/Crc.h"
#include "sim/VirtualInstrument.h"

namespace {

// The program once, to the end; `stdoutFile` takes its standard output when given.
Run Cli(const QStringList& arguments, const QString& stdoutFile = QString()) {
    return RunProgram(QStringLiteral(TESSERA_CLI_PROGRAM), arguments, 30000, stdoutFile);
}

QString Port(const sim::VirtualInstrument& vi) {
    return QString::fromStdString(vi.DevicePath());
}

QString WriteFile(const QTemporaryDir& dir, const QByteArray& bytes) {
    const QString path = dir.filePath(QStringLiteral("c.cfg"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return QString();
    return path;
}

QString Refusal(const QByteArray& text) {
    try {
        config::ParseConfig(text.toStdString());
    } catch (const config::ConfigError& e) {
        return QString::number(e.Why() == config::ConfigError::Reason::Invalid ? 1 : 3) + "|" +
               QString::fromUtf8(e.what());
    }
    return QStringLiteral("accepted");
}

// The writes (Modbus functions 0x06 and 0x10) the instrument received.
int WritesReceived(const sim::VirtualInstrument& vi) {
    int writes = 0;
    for (const sim::Bytes& frame : vi.ReceivedFrames())
        if (frame.size() > 1 && (frame[1] == 0x06 || frame[1] == 0x10)) ++writes;
    return writes;
}

QStringList Strings(const QJsonValue& value) {
    QStringList list;
    for (const QJsonValue& v : value.toArray()) list << v.toString();
    return list;
}

std::vector<uint8_t> WithCrc(std::vector<uint8_t> bytes) {
    bytes.resize(bytes.size() + 2);
    StoreCrc(bytes.data(), uint16_t(bytes.size()));
    return bytes;
}

}  // namespace

class TestCliFaults : public QObject {
    Q_OBJECT

private slots:
    // Every key's range is checked while the file is read, before anything is sent.
    void valuesOutOfRangeAreRefused_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("ASDU type between the three")
            << QByteArray("iec.type = 10") << "line 1: iec.type must be one of 9, 13, 21";
        QTest::newRow("ASDU type above") << QByteArray("iec.type = 22") << "iec.type must be";
        QTest::newRow("relay mode")
            << QByteArray("relay1.mode = 99") << "line 1: relay1.mode must be within 0..4";
        QTest::newRow("second relay mode")
            << QByteArray("relay2.mode = 5") << "relay2.mode must be within 0..4";
        QTest::newRow("alarm mode")
            << QByteArray("alarm.mode = 9") << "line 1: alarm.mode must be within 0..3";
        QTest::newRow("common address size")
            << QByteArray("iec.common_address_size = 0") << "must be within 1..2";
        QTest::newRow("object address size")
            << QByteArray("iec.object_address_size = 4") << "must be within 1..3";
        QTest::newRow("cause size") << QByteArray("iec.cause_size = 3") << "must be within 1..2";
        QTest::newRow("bad value after good ones")
            << QByteArray("brightness = 0\n# c\nalarm.mode = 2\nrelay1.mode = 7\n")
            << "line 4: relay1.mode";
    }
    void valuesOutOfRangeAreRefused() {
        QFETCH(QByteArray, text);
        QFETCH(QString, message);
        const QString refusal = Refusal(text);
        QVERIFY2(refusal.startsWith("1|") && refusal.contains(message), qPrintable(refusal));
    }

    void valuesInRangeAreTaken() {
        const config::InstrumentConfig config = config::ParseConfig(
            "iec.type = 21\niec.common_address_size = 2\niec.object_address_size = 3\n"
            "iec.cause_size = 1\nalarm.mode = 3\nrelay1.mode = 4\nrelay2.mode = 0\n");
        QCOMPARE(QString::fromStdString(*config.at("iec.type")), QStringLiteral("21"));
        QCOMPARE(QString::fromStdString(*config.at("relay1.mode")), QStringLiteral("4"));
        QCOMPARE(QString::fromStdString(*config.at("alarm.mode")), QStringLiteral("3"));
    }

    // Characters the instrument's code page lacks, and files in another encoding, are refused
    // with the line and the character, not sent as "?".
    void textsTheInstrumentCannotHold_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("emoji") << QByteArray("info = \"ok \xF0\x9F\x98\x80\"")
                               << "line 1: info: the instrument cannot show \"😀\" (U+1F600)";
        QTest::newRow("Chinese") << QByteArray("# c\ninfo = \"\xE4\xB8\xAD\"")
                                 << "line 2: info: the instrument cannot show \"中\" (U+4E2D)";
        QTest::newRow("file in Windows-1251")
            << QByteArray("brightness = 1\ninfo = \"\xD9\xE8\xF2\"")
            << "line 2: the file is not UTF-8 text: the byte 0xD9 (not UTF-8) at column 9";
        QTest::newRow("file in Latin-1") << QByteArray("info = \"caf\xE9\"")
                                         << "line 1: the file is not UTF-8 text: the byte 0xE9";
        QTest::newRow("Latin-1 in a comment")
            << QByteArray("# caf\xE9\nbrightness = 1") << "line 1: the file is not UTF-8 text";
        QTest::newRow("the code page's empty byte")
            << QByteArray("info = \"\\x98\"") << "info: the instrument cannot show";
    }
    void textsTheInstrumentCannotHold() {
        QFETCH(QByteArray, text);
        QFETCH(QString, message);
        const QString refusal = Refusal(text);
        QVERIFY2(refusal.startsWith("1|") && refusal.contains(message), qPrintable(refusal));
    }

    void textsOfTheCodePageAreTaken() {
        const config::InstrumentConfig config =
            config::ParseConfig("# комментарий 😀\ninfo = \"Щит № 5 «A» €\"");
        QCOMPARE(QString::fromStdString(*config.at("info")), QStringLiteral("Щит № 5 «A» €"));
    }

    // A file with any mistake sends nothing at all.
    void aBadFileWritesNothing_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("range") << QByteArray("brightness = 0\ninfo = \"x\"\niec.type = 10\n")
                               << "line 3: iec.type";
        QTest::newRow("encoding") << QByteArray("brightness = 0\ninfo = \"\xD9\xE8\xF2\"\n")
                                  << "line 2: the file is not UTF-8";
    }
    void aBadFileWritesNothing() {
        QFETCH(QByteArray, text);
        QFETCH(QString, message);
        sim::VirtualInstrument vi(Instrument(sim::Protocol::Modbus, 7));
        vi.Start();
        QTemporaryDir dir;
        const QString file = WriteFile(dir, text);
        const Run run = Cli({"--port", Port(vi), "--address", "7", "set-config", file});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(vi.ReceivedFrames().empty());
        QCOMPARE(int(vi.Model().Snapshot().brightness), 1);
    }

    // Only a regular file of a sensible size is read: nothing waits on a FIFO, a directory is
    // no configuration, /dev/zero does not fill the memory.
    void onlyRegularFilesAreRead_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("FIFO") << "fifo"
                              << "it is a pipe (FIFO)";
        QTest::newRow("directory") << "directory"
                                   << "it is a directory";
        QTest::newRow("/dev/zero") << "zero"
                                   << "it is a device";
        QTest::newRow("too large") << "large"
                                   << "it is larger than 64 KiB";
        QTest::newRow("missing") << "missing"
                                 << "No such file or directory";
    }
    void onlyRegularFilesAreRead() {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        sim::VirtualInstrument vi(Instrument(sim::Protocol::Modbus, 7));
        vi.Start();
        QTemporaryDir dir;
        QString path = dir.filePath("c.cfg");
        if (kind == "fifo") QCOMPARE(mkfifo(path.toLocal8Bit().constData(), 0600), 0);
        if (kind == "directory") QVERIFY(QDir(dir.path()).mkdir("c.cfg"));
        if (kind == "zero") path = "/dev/zero";
        if (kind == "large") path = WriteFile(dir, QByteArray(70 * 1024, '#'));
        const Run run = Cli({"--port", Port(vi), "--address", "7", "set-config", path});
        QVERIFY2(run.code == 1, qPrintable(Explain(run)));
        QVERIFY2(run.err.contains("cannot read " + path + ": " + message), qPrintable(run.err));
        QVERIFY(vi.ReceivedFrames().empty());
    }

    // A write that fails half way: what went through, what failed (named by its keys) and
    // what was never attempted, in text and in JSON.
    void setConfigReportsWhatWasWritten_data() {
        QTest::addColumn<bool>("json");
        QTest::newRow("text") << false;
        QTest::newRow("JSON") << true;
    }
    void setConfigReportsWhatWasWritten() {
        QFETCH(bool, json);
        sim::VirtualInstrument vi(Instrument(sim::Protocol::Modbus, 7));
        vi.Model().SetSerialLocked(true);
        vi.Start();
        QTemporaryDir dir;
        const QString file =
            WriteFile(dir, "brightness = 0\ninfo = \"new\"\nserial.number = 99\naddress = 8\n");
        QStringList arguments{"--port",     Port(vi), "--address",     "7",
                              "set-config", file,     "--with-address"};
        if (json) arguments << "--json";
        const Run run = Cli(arguments);
        QVERIFY2(run.code == 4, qPrintable(Explain(run)));
        QVERIFY2(!run.err.contains("SetNumberOfProduce") && run.err.contains("serial.number"),
                 qPrintable(run.err));
        QCOMPARE(int(vi.Model().Address()), 7);
        QCOMPARE(int(vi.Model().Snapshot().brightness), 0);
        if (!json) {
            QVERIFY2(run.out.contains("write info: \"\" -> \"new\"\nwrite brightness: 1 -> 0\n"),
                     qPrintable(run.out));
            QVERIFY2(run.out.contains("failed serial.number: the instrument refused serial.number"),
                     qPrintable(run.out));
            QVERIFY2(run.out.contains("not attempted address\n"), qPrintable(run.out));
            QVERIFY2(!run.out.contains("write address") && !run.out.contains("write serial"),
                     qPrintable(run.out));
            return;
        }
        const QJsonObject report = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(Strings(report.value("written")), (QStringList{"info", "brightness"}));
        QCOMPARE(Strings(report.value("failed").toObject().value("keys")),
                 QStringList{"serial.number"});
        QVERIFY(report.value("failed").toObject().value("error").toString().contains("refused"));
        QCOMPARE(Strings(report.value("not_attempted")), QStringList{"address"});
        QCOMPARE(report.value("interrupted").toBool(true), false);
    }

    // Ctrl+C or SIGTERM while writing: the write under way ends, no other starts, what was
    // written is reported, exit 130.
    void signalStopsSetConfig_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
    }
    void signalStopsSetConfig() {
        QFETCH(int, signal);
        sim::VirtualInstrument vi(Instrument(sim::Protocol::Modbus, 7));
        vi.Start();
        QTemporaryDir dir;
        const QString file = WriteFile(dir, "brightness = 0\ninfo = \"new\"\naddress = 8\n");
        vi.ClearReceived();
        sim::Faults slow;
        slow.delayMs = 400;  // time for the signal to come while a write is awaited
        vi.SetFaults(slow);
        QProcess program;
        program.start(QStringLiteral(TESSERA_CLI_PROGRAM),
                      {"--port", Port(vi), "--address", "7", "--protocol", "modbus", "--timeout",
                       "2000", "set-config", file, "--with-address"});
        QVERIFY(program.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(WritesReceived(vi) >= 1, 20000);
        ::kill(pid_t(program.processId()), signal);
        QVERIFY(program.waitForFinished(20000));
        const QString out = QString::fromUtf8(program.readAllStandardOutput());
        QVERIFY2(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 130,
                 qPrintable(out + program.readAllStandardError()));
        // The address, written last, never changed; every write reported is on the
        // instrument, and only those were sent.
        QCOMPARE(int(vi.Model().Address()), 7);
        QVERIFY2(out.contains("write info: \"\" -> \"new\"\n"), qPrintable(out));
        QVERIFY2(out.contains("not attempted address\n"), qPrintable(out));
        QCOMPARE(vi.Model().InfoText().substr(0, 3), std::string("new"));
        const bool brightnessWritten = out.contains("write brightness: 1 -> 0\n");
        QCOMPARE(int(vi.Model().Snapshot().brightness), brightnessWritten ? 0 : 1);
        QCOMPARE(WritesReceived(vi), brightnessWritten ? 2 : 1);
        QVERIFY(!out.contains("read back"));
        QVERIFY(vi.Discarded().empty());
    }

    // A signal while the instrument is being found: the address is never written.
    void signalStopsSetAddress_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
    }
    void signalStopsSetAddress() {
        QFETCH(int, signal);
        sim::VirtualInstrument vi(Instrument(sim::Protocol::Modbus, 7));
        vi.Start();
        sim::Faults slow;
        slow.delayMs = 400;
        vi.SetFaults(slow);
        QProcess program;
        program.start(QStringLiteral(TESSERA_CLI_PROGRAM),
                      {"--port", Port(vi), "--timeout", "2000", "set-address", "9"});
        QVERIFY(program.waitForStarted());
        QVERIFY(vi.WaitForFrames(1, 20000));
        ::kill(pid_t(program.processId()), signal);
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitCode(), 130);
        QCOMPARE(QString::fromUtf8(program.readAllStandardOutput()),
                 QStringLiteral("address 7 (not changed)\n"));
        QCOMPARE(WritesReceived(vi), 0);
        QCOMPARE(int(vi.Model().Address()), 7);
    }

    // Keys that cannot be written and differ are differences, not "as in the file".
    void readOnlyDifferencesAreReported() {
        sim::VirtualInstrument vi(Instrument(sim::Protocol::Modbus, 7, 3));
        vi.Start();
        QTemporaryDir dir;
        const QString file = WriteFile(dir, "parameters = 1\nsetpoint.format = 8\n");
        const Run run = Cli({"--port", Port(vi), "--address", "7", "set-config", file});
        QVERIFY2(run.code == 3, qPrintable(Explain(run)));
        QVERIFY2(run.out.contains("cannot write parameters (read-only): file 1, instrument 3\n"),
                 qPrintable(run.out));
        QVERIFY2(run.out.contains("cannot write setpoint.format (read-only): file 8, instrument "
                                  "710\n"),
                 qPrintable(run.out));
        QVERIFY(!run.out.contains("as in the file"));

        const Run json = Cli({"--port", Port(vi), "--address", "7", "--json", "set-config", file});
        QCOMPARE(json.code, 3);
        const QJsonArray readOnly =
            QJsonDocument::fromJson(json.out.toUtf8()).object().value("read_only").toArray();
        QCOMPARE(readOnly.size(), 2);
        QCOMPARE(readOnly.at(0).toObject().value("key").toString(), QStringLiteral("parameters"));
        QCOMPARE(readOnly.at(0).toObject().value("instrument").toString(), QStringLiteral("3"));

        // The same file matching the instrument says so.
        const QString same = WriteFile(dir, "parameters = 3\nsetpoint.format = 710\n");
        const Run match = Cli({"--port", Port(vi), "--address", "7", "set-config", same});
        QVERIFY2(match.code == 0, qPrintable(Explain(match)));
        QCOMPARE(match.out, QStringLiteral("read back: as in the file\n"));
    }

    // QV tells the setpoint format in one byte: 710 in a file saved over Modbus RTU is what a
    // QV instrument with 16-bit setpoints gives as 198, not a difference.
    void setpointFormatOverQvIsNoDifference() {
        sim::VirtualInstrument vi(Instrument(sim::Protocol::Qv, 12));
        vi.Start();
        QTemporaryDir dir;
        const QString file = WriteFile(dir, "setpoint.format = 710\n");
        const Run run = Cli({"--port", Port(vi), "--address", "12", "set-config", file});
        QVERIFY2(run.code == 0, qPrintable(Explain(run)));
        QCOMPARE(run.out, QStringLiteral("read back: as in the file\n"));
        const QString other = WriteFile(dir, "setpoint.format = 8\n");
        const Run differs = Cli({"--port", Port(vi), "--address", "12", "set-config", other});
        QVERIFY2(differs.code == 3, qPrintable(Explain(differs)));
        QVERIFY2(differs.out.contains("cannot write setpoint.format (read-only): file 8, "
                                      "instrument 198\n"),
                 qPrintable(differs.out));

        // And the other way: a file saved over QV (198) copied to a Modbus RTU instrument.
        sim::VirtualInstrument modbus(Instrument(sim::Protocol::Modbus, 7));
        modbus.Start();
        const QString fromQv = WriteFile(dir, "setpoint.format = 198\n");
        const Run copied = Cli({"--port", Port(modbus), "--address", "7", "set-config", fromQv});
        QVERIFY2(copied.code == 0, qPrintable(Explain(copied)));
        QCOMPARE(copied.out, QStringLiteral("read back: as in the file\n"));
    }

    // Output that does not reach the disk is a failure with the system's reason.
    void fullDiskIsAFailure_data() {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<bool>("stdoutToFull");
        QTest::newRow("read --csv FILE") << QStringList{"read", "--csv", "/dev/full"} << false;
        QTest::newRow("read > FILE") << QStringList{"read"} << true;
        QTest::newRow("read --json > FILE") << QStringList{"read", "--json"} << true;
        QTest::newRow("get-config -o FILE")
            << QStringList{"get-config", "-o", "/dev/full"} << false;
        QTest::newRow("get-config > FILE") << QStringList{"get-config"} << true;
        QTest::newRow("ports --json > FILE") << QStringList{"ports", "--json"} << true;
    }
    void fullDiskIsAFailure() {
        QFETCH(QStringList, command);
        QFETCH(bool, stdoutToFull);
        sim::VirtualInstrument vi(Instrument(sim::Protocol::Modbus, 7));
        vi.Start();
        const Run run =
            Cli(QStringList{"--port", Port(vi), "--address", "7", "--protocol", "modbus"} + command,
                stdoutToFull ? QStringLiteral("/dev/full") : QString());
        QVERIFY2(run.code == 1, qPrintable(Explain(run)));
        QVERIFY2(run.err.contains("No space left on device"), qPrintable(run.err));
    }

    // The search answer's form tells the protocol, whichever search it came to.
    void searchAnswerByItsForm_data() {
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<QString>("found");  // "address protocol", or "none"
        auto frame = [](std::vector<uint8_t> bytes) {
            const auto whole = WithCrc(std::move(bytes));
            return QByteArray(reinterpret_cast<const char*>(whole.data()), int(whole.size()));
        };
        QTest::newRow("QV") << frame({0x2C, 0x01, 0xFF, 0x00, 0x00}) << "300 qv";
        QTest::newRow("Modbus") << frame({0x11, 0x77, 0x00, 0x00, 0x01}) << "17 modbus";
        QTest::newRow("QV instrument at 0x77FF")
            << frame({0xFF, 0x77, 0xFF, 0x00, 0x00}) << "30719 qv";
        QTest::newRow("QV, trailing byte")
            << frame({0x07, 0x00, 0xFF, 0x00, 0x00}) + '\x01' << "7 qv";
        QTest::newRow("bad CRC") << frame({0x07, 0x00, 0xFF, 0x00, 0x00}).chopped(1) + '\x00'
                                 << "none";
        QTest::newRow("cut") << frame({0x11, 0x77, 0x00, 0x00, 0x01}).left(6) << "none";
        QTest::newRow("another answer") << frame({0x07, 0x03, 0x02, 0x00, 0x07}) << "none";
        QTest::newRow("nothing") << QByteArray() << "none";
    }
    void searchAnswerByItsForm() {
        QFETCH(QByteArray, received);
        QFETCH(QString, found);
        const auto answer = protocol::DecodeSearchAnswer(
            reinterpret_cast<const uint8_t*>(received.constData()), received.size());
        const QString said =
            answer ? QStringLiteral("%1 %2")
                         .arg(answer->address)
                         .arg(answer->protocol == protocol::Protocol::Modbus ? "modbus" : "qv")
                   : QStringLiteral("none");
        QCOMPARE(said, found);
    }

    // A QV instrument answering the search late, while the Modbus RTU search is awaited, is
    // still a QV instrument.
    void searchTakesALateQvAnswerForQv() {
        sim::VirtualInstrument vi(Instrument(sim::Protocol::Qv, 12));
        vi.Start();
        sim::Faults late;
        late.delayMs = 450;
        vi.SetFaults(late);
        const Run run = Cli({"--port", Port(vi), "--timeout", "300", "search"});
        QVERIFY2(run.code == 0, qPrintable(Explain(run)));
        QCOMPARE(run.out, QStringLiteral("address=12 protocol=qv\n"));
    }
};

TESSERA_SHARDED_GUILESS_TEST_MAIN(TestCliFaults)
#include "test_cli_faults.moc"
