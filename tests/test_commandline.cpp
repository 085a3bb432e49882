// The program's command line: what each argument list asks for, and the texts it prints.
#include <QRegularExpression>
#include <QTest>

#include "app/CommandLine.h"

Q_DECLARE_METATYPE(std::optional<uint16_t>)

namespace {

CommandLine Parse(const QStringList& arguments) {
    return ParseCommandLine(QStringList{QStringLiteral("tessera")} + arguments);
}

}  // namespace

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void runs_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("demo");
        QTest::addColumn<QString>("port");
        QTest::addColumn<std::optional<uint16_t>>("address");
        using A = std::optional<uint16_t>;
        QTest::newRow("nothing") << QStringList{} << false << QString() << A();
        QTest::newRow("demo") << QStringList{"--demo"} << true << QString() << A();
        QTest::newRow("COM name") << QStringList{"--port", "COM3"} << false << "COM3" << A();
        QTest::newRow("device name")
            << QStringList{"--port", "ttyUSB0"} << false << "ttyUSB0" << A();
        QTest::newRow("path with =")
            << QStringList{"--port=/dev/ttyUSB0"} << false << "/dev/ttyUSB0" << A();
        QTest::newRow("single dash")
            << QStringList{"-port", "ttyACM1"} << false << "ttyACM1" << A();
        QTest::newRow("lowest address")
            << QStringList{"--address", "1"} << false << QString() << A(1);
        QTest::newRow("highest address")
            << QStringList{"--address=65000"} << false << QString() << A(65000);
        QTest::newRow("port and address") << QStringList{"--address", "247", "--port", "/dev/pts/5"}
                                          << false << "/dev/pts/5" << A(247);
    }
    void runs() {
        QFETCH(QStringList, arguments);
        const CommandLine command = Parse(arguments);
        QCOMPARE(command.action, CommandLine::Action::Run);
        QTEST(command.demo, "demo");
        QTEST(command.port, "port");
        QTEST(command.address, "address");
    }

    // --lang chooses the texts' language for the run; without it the stored choice counts.
    void language_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("language");
        QTest::newRow("none") << QStringList{} << QString();
        QTest::newRow("English") << QStringList{"--lang", "en"} << "en";
        QTest::newRow("Russian") << QStringList{"--lang=ru"} << "ru";
        QTest::newRow("with demo") << QStringList{"--demo", "--lang", "en"} << "en";
    }
    void language() {
        QFETCH(QStringList, arguments);
        const CommandLine command = Parse(arguments);
        QCOMPARE(command.action, CommandLine::Action::Run);
        QTEST(command.language, "language");
    }

    void rejects_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");      // a part of the error text
        QTest::addColumn<QStringList>("unknown");  // options that may yet be Qt's own
        auto row = [](const char* name, const QStringList& arguments, const char* message,
                      const QStringList& unknown = {}) {
            QTest::newRow(name) << arguments << QString::fromUtf8(message) << unknown;
        };
        row("address 0", {"--address", "0"}, "Invalid address '0'");
        row("address too high", {"--address", "65001"}, "Invalid address");
        row("address beyond 16 bits", {"--address", "65537"}, "Invalid address");
        row("address negative", {"--address=-3"}, "Invalid address");
        row("address not a number", {"--address", "7a"}, "Invalid address");
        row("address with a point", {"--address", "7.5"}, "Invalid address");
        row("address missing", {"--address"}, "Missing value");
        row("port missing", {"--port"}, "Missing value");
        row("port empty", {"--port", ""}, "Invalid port name");
        row("port with a space", {"--port", "tty USB0"}, "Invalid port name");
        row("option taken as port", {"--port", "--demo"}, "Invalid port name");
        row("unknown option", {"--baud", "9600"}, "Unknown option 'baud'", {"baud"});
        row("Qt's option before Qt took it", {"-platform", "offscreen"},
            "Unknown option 'platform'", {"platform"});
        row("stray argument", {"COM1"}, "Unexpected argument 'COM1'");
        row("demo and port", {"--demo", "--port", "COM1"}, "--demo");
        row("demo and address", {"--demo", "--address", "3"}, "--demo");
        row("unknown language", {"--lang", "de"}, "Invalid language 'de': give ru or en.");
        row("language in capitals", {"--lang", "EN"}, "Invalid language 'EN'");
        row("language missing", {"--lang"}, "Missing value");
        // An unknown option is an error even beside --help: nothing half-understood runs.
        row("unknown beside help", {"--help", "--bogus"}, "Unknown option", {"bogus"});
    }
    void rejects() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const CommandLine command = Parse(arguments);
        QCOMPARE(command.action, CommandLine::Action::Error);
        QVERIFY2(command.text.contains(message), qPrintable(command.text));
        QVERIFY2(command.text.endsWith(QStringLiteral("Try 'tessera --help'.")),
                 qPrintable(command.text));
        QTEST(command.unknownOptions, "unknown");
    }

    void version_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("long") << QStringList{"--version"};
        QTest::newRow("short") << QStringList{"-v"};
        QTest::newRow("beside a run option") << QStringList{"--port", "COM2", "--version"};
    }
    void version() {
        QFETCH(QStringList, arguments);
        const CommandLine command = Parse(arguments);
        QCOMPARE(command.action, CommandLine::Action::Version);
        QCOMPARE(command.text, QStringLiteral("tessera (Tessera_RS-485) " EXPECTED_VERSION));
        QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d+(\\.\\d+)?$"))
                    .match(QStringLiteral(EXPECTED_VERSION))
                    .hasMatch());
    }

    void helpListsEveryOption_data() {
        QTest::addColumn<QString>("option");
        for (const char* option : {"-h, --help", "-v, --version", "--demo", "--port <port>",
                                   "--address <n>", "--lang <language>"})
            QTest::newRow(option) << QString::fromLatin1(option);
    }
    void helpListsEveryOption() {
        QFETCH(QString, option);
        for (const char* asked : {"--help", "-h"}) {
            const CommandLine command = Parse({QString::fromLatin1(asked)});
            QCOMPARE(command.action, CommandLine::Action::Help);
            QVERIFY(command.text.startsWith(QStringLiteral("Usage: tessera [options]\n")));
            QVERIFY2(command.text.contains(option), qPrintable(command.text));
        }
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
