// The profile (INI) file: any file content is loaded, read, written to and saved; what was
// written must read back after a fresh load, and a key that was not written must read as
// before. A saved file that loses or changes keys would break the settings of the program.
//
// Input: one byte choosing the written values, then the file's bytes.
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "ui/Profile.h"

namespace {

[[noreturn]] void Fail(const char* what, const QString& detail) {
    std::fprintf(stderr, "%s: %s\n", what, detail.toUtf8().constData());
    std::abort();
}

QString Folder() {
    static QTemporaryDir dir;  // removed at exit
    if (!dir.isValid()) Fail("no temporary folder", QString());
    return dir.path();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t choice = data[0];
    const QString path = Folder() + QStringLiteral("/setup.cfg");
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) Fail("cannot write", path);
        file.write(reinterpret_cast<const char*>(data + 1), qint64(size - 1));
    }

    TProfile profile;
    profile.Load(path);
    // The settings the program reads, with its defaults.
    profile.ReadString(QStringLiteral("Port"), QStringLiteral("Port"), QStringLiteral("COM1"));
    profile.ReadInteger(QStringLiteral("Port"), QStringLiteral("Baud"), 3);
    profile.ReadBool(QStringLiteral("Update"), QStringLiteral("Update"), true);
    const int32_t pause = profile.ReadInteger(QStringLiteral("Port"), QStringLiteral("Pause"), 500);
    const QString left =
        profile.ReadString(QStringLiteral("form"), QStringLiteral("left"), QStringLiteral("?"));

    // Values as the program writes them: integers of any sign, a Boolean, a port name.
    const int32_t baud = int32_t(choice) - 128;
    const bool update = choice & 1;
    const QString portName = (choice & 2) ? QStringLiteral("/dev/ttyUSB%1").arg(choice)
                                          : QStringLiteral("COM%1").arg(choice);
    profile.WriteInteger(QStringLiteral("Port"), QStringLiteral("Baud"), baud);
    profile.WriteBool(QStringLiteral("Update"), QStringLiteral("Update"), update);
    profile.WriteString(QStringLiteral("Port"), QStringLiteral("Port"), portName);
    profile.WriteInteger(QStringLiteral("Fuzz"), QStringLiteral("New"), -baud);
    if (!profile.Save()) Fail("save failed", path);

    TProfile again;
    if (!again.Load(path)) Fail("reload failed", path);
    auto expect = [](bool ok, const char* what, const QString& got) {
        if (!ok) Fail(what, got);
    };
    const int32_t baudRead =
        again.ReadInteger(QStringLiteral("Port"), QStringLiteral("Baud"), 1000);
    expect(baudRead == baud, "Baud", QString::number(baudRead));
    expect(again.ReadBool(QStringLiteral("Update"), QStringLiteral("Update"), !update) == update,
           "Update", QString());
    const QString portRead =
        again.ReadString(QStringLiteral("Port"), QStringLiteral("Port"), QString());
    expect(portRead == portName, "Port", portRead);
    const int32_t newRead = again.ReadInteger(QStringLiteral("Fuzz"), QStringLiteral("New"), 1000);
    expect(newRead == -baud, "New", QString::number(newRead));
    // Keys that were not written read as before.
    const int32_t pauseRead =
        again.ReadInteger(QStringLiteral("Port"), QStringLiteral("Pause"), 500);
    expect(pauseRead == pause, "Pause", QString::number(pauseRead));
    const QString leftRead =
        again.ReadString(QStringLiteral("form"), QStringLiteral("left"), QStringLiteral("?"));
    expect(leftRead == left, "form/left", leftRead);
    return 0;
}
