#pragma once
// setup.cfg: the program's settings file, its keys and their defaults in one place.
//
// The file is a profile (INI) file in <Documents>/Tessera_RS/. Only the keys below belong to
// the program; everything else in the file is kept as it is when the keys are written back.
#include <QString>
#include <QStringList>
#include <cstdint>

namespace SetupFile {

constexpr const char* DefaultPortName = "COM1";
constexpr int32_t DefaultSpeedIndex = 3;     // 9600 bit/s
constexpr int32_t DefaultRepeatPause = 500;  // ms between value requests
constexpr uint8_t DefaultProtocolIsModbus = 1;
constexpr bool DefaultSPFlag = true;
constexpr bool DefaultCheckUpdates = true;
// The stored window position is kept within what window systems place (X11 coordinates are
// 16-bit): a window at INT_MAX would overflow every geometry computed from it.
constexpr int32_t MaxWindowCoordinate = 32767;

struct TSetup {
    int left = 0;
    int top = 0;
    QString portName = QString::fromLatin1(DefaultPortName);
    int32_t speedIndex = DefaultSpeedIndex;
    int32_t repeatPause = DefaultRepeatPause;
    uint8_t protocolIsModbus = DefaultProtocolIsModbus;
    bool spFlag = DefaultSPFlag;
    bool checkUpdates = DefaultCheckUpdates;
    // [Language] Lang: the language chosen for the program's texts ("ru", "en"; whether the
    // program has it is Language's business), empty when none was chosen. Written only when
    // not empty, so a file in which nobody chose a language keeps exactly the keys it had.
    QString language;
    // False for a run on a port given for that run only (--demo, --port): the line's keys
    // (Port, Baud, prot) are left in the file as they are, or absent as they were.
    bool writeLine = true;
};

// The folder that holds setup.cfg, "<Documents>/Tessera_RS/" (the root folder's when there is
// no documents folder); ends with a separator. Not created here.
QString Folder();
// Folder() + "setup.cfg".
QString Path();

// Reads the file; a missing file, a missing key and a value out of range give the default.
TSetup Read(const QString& path);
// Writes the keys into the file, keeping the rest of it; false if the file was not written.
bool Write(const QString& path, const TSetup& setup);

// [Port] Parity (0 none, 1 odd, 2 even) and StopBits (1 or 2): the line's framing, 8N1 when
// absent or out of range. Kept apart from TSetup: the registers window writes them when the
// operator chooses them, and the main window's own writes leave them as they are.
struct TFraming {
    int parity = 0;
    int stopBits = 1;
};
TFraming ReadFraming(const QString& path);
bool WriteFraming(const QString& path, const TFraming& framing);

// [Network] AllowanceMs: how much longer an answer may take through a gateway than on a wire
// (DefaultAllowanceMs when absent or outside 0..MaxAllowanceMs); Recent1..RecentN: the gateways
// last connected to, newest first, offered in the port list beside the serial ports.
struct TNetwork {
    static constexpr int DefaultAllowanceMs = 200;
    static constexpr int MaxAllowanceMs = 5000;
    static constexpr int RecentCount = 5;
    int allowanceMs = DefaultAllowanceMs;
    QStringList recent;
};
TNetwork ReadNetwork(const QString& path);
// Puts `gateway` first in the recent list (once), keeping RecentCount; false if not written.
bool RememberGateway(const QString& path, const QString& gateway);

}  // namespace SetupFile
