#pragma once
// The program's command line: what this run does on top of the stored settings. Nothing given
// here is stored; the settings file keeps what it had.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

struct CommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    QString text;  // what to print for Help, Version and Error
    bool demo = false;
    QString port;  // empty: the stored port
    std::optional<uint16_t> address;
    QString language;  // empty: the language stored in the settings
    // Options the program does not know. Before Qt has taken its own options (-platform,
    // -style) from the list, these may be Qt's.
    QStringList unknownOptions;
};

// Parses the arguments as given to the program (the first one is its name). Prints nothing.
CommandLine ParseCommandLine(const QStringList& arguments);
// "tessera (Tessera_RS-485) <version of the build>".
QString VersionText();
// The languages --lang takes, the program's own first: "ru", "en" (those of ui/Language).
QStringList LanguageChoices();
