#include "app/CommandLine.h"

#include <QCommandLineParser>

namespace {

constexpr uint16_t LowestAddress = 1;
constexpr uint16_t HighestAddress = 65000;

// A port as the settings dialog takes it: "COM3", "ttyUSB0" or a full path. Anything that
// starts with "-" is more likely a forgotten value than a device.
bool IsPortName(const QString& port) {
    if (port.isEmpty() || port.startsWith(QLatin1Char('-'))) return false;
    for (const QChar c : port)
        if (c.isSpace() || c.category() == QChar::Other_Control) return false;
    return true;
}

std::optional<uint16_t> ParseAddress(const QString& text) {
    bool ok = false;
    const uint value = text.toUInt(&ok, 10);
    if (!ok || value < LowestAddress || value > HighestAddress) return std::nullopt;
    return uint16_t(value);
}

CommandLine Failure(const QString& message) {
    CommandLine result;
    result.action = CommandLine::Action::Error;
    result.text = message + QStringLiteral("\nTry 'tessera --help'.");
    return result;
}

// The parser names the program after argv[0] (or a placeholder when no application object
// exists yet); the help always names it as it is installed.
QString HelpText(const QCommandLineParser& parser) {
    QString text = parser.helpText();
    while (text.endsWith(QLatin1Char('\n'))) text.chop(1);
    return QStringLiteral("Usage: tessera [options]") + text.mid(text.indexOf(QLatin1Char('\n')));
}

}  // namespace

QStringList LanguageChoices() {
    return {QStringLiteral("ru"), QStringLiteral("en")};
}

QString VersionText() {
    return QStringLiteral("tessera (Tessera_RS-485) %1").arg(QStringLiteral(TESSERA_VERSION));
}

CommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    // Qt's own options (-platform, -style) are single-dash words too.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Service tool for panel measuring instruments on an RS-485 line "
                       "(QV protocol and Modbus RTU)."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the program's version and exit."));
    const QCommandLineOption demo(
        QStringLiteral("demo"),
        QStringLiteral("Work with a built-in virtual instrument at address 1, for this run only."));
    const QCommandLineOption port(
        QStringLiteral("port"),
        QStringLiteral("Open this serial port for this run instead of the stored one "
                       "(COM1, ttyUSB0, /dev/ttyUSB0). Not stored."),
        QStringLiteral("port"));
    const QCommandLineOption address(
        QStringLiteral("address"),
        QStringLiteral("Start with this device address (%1..%2) in the address box. Not stored.")
            .arg(LowestAddress)
            .arg(HighestAddress),
        QStringLiteral("n"));
    const QCommandLineOption lang(
        QStringLiteral("lang"),
        QStringLiteral("Show the program's texts in this language for this run: %1. Not stored.")
            .arg(LanguageChoices().join(QStringLiteral(" or "))),
        QStringLiteral("language"));
    parser.addOptions({help, version, demo, port, address, lang});

    if (!parser.parse(arguments)) {
        CommandLine failure = Failure(parser.errorText());
        failure.unknownOptions = parser.unknownOptionNames();
        return failure;
    }
    if (!parser.positionalArguments().isEmpty())
        return Failure(
            QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first()));

    CommandLine result;
    if (parser.isSet(help)) {
        result.action = CommandLine::Action::Help;
        result.text = HelpText(parser);
        return result;
    }
    if (parser.isSet(version)) {
        result.action = CommandLine::Action::Version;
        result.text = VersionText();
        return result;
    }
    result.demo = parser.isSet(demo);
    if (parser.isSet(port)) {
        result.port = parser.value(port);
        if (!IsPortName(result.port))
            return Failure(QStringLiteral("Invalid port name '%1'.").arg(result.port));
    }
    if (parser.isSet(address)) {
        result.address = ParseAddress(parser.value(address));
        if (!result.address)
            return Failure(QStringLiteral("Invalid address '%1': give a number from %2 to %3.")
                               .arg(parser.value(address))
                               .arg(LowestAddress)
                               .arg(HighestAddress));
    }
    if (parser.isSet(lang)) {
        result.language = parser.value(lang);
        if (!LanguageChoices().contains(result.language))
            return Failure(
                QStringLiteral("Invalid language '%1': give %2.")
                    .arg(result.language, LanguageChoices().join(QStringLiteral(" or "))));
    }
    // The demo instrument brings its own line and address.
    if (result.demo && (parser.isSet(port) || parser.isSet(address)))
        return Failure(QStringLiteral("--demo cannot be combined with --port or --address."));
    return result;
}
