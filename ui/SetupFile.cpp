#include "ui/SetupFile.h"

#include <QDir>
#include <algorithm>

#include "ui/KnownFolders.h"
#include "ui/Profile.h"

namespace SetupFile {
namespace {

const QString Form = QStringLiteral("form");
const QString Port = QStringLiteral("Port");
const QString Update = QStringLiteral("Update");
const QString LanguageSection = QStringLiteral("Language");
const QString LanguageKey = QStringLiteral("Lang");
const QString Network = QStringLiteral("Network");

QString RecentKey(int index) {
    return QStringLiteral("Recent%1").arg(index + 1);
}

}  // namespace

QString Folder() {
    QString documents = GetSpecialFolder(CSIDL_PERSONAL);
    if (documents.isEmpty()) documents = QDir::rootPath();
    if (!documents.endsWith(QLatin1Char('/'))) documents += QLatin1Char('/');
    return documents + QStringLiteral("Tessera_RS/");
}

QString Path() {
    return Folder() + QStringLiteral("setup.cfg");
}

TSetup Read(const QString& path) {
    TProfile profile;
    profile.Load(path);
    TSetup s;
    s.left = std::clamp(profile.ReadInteger(Form, QStringLiteral("left"), 0), -MaxWindowCoordinate,
                        MaxWindowCoordinate);
    s.top = std::clamp(profile.ReadInteger(Form, QStringLiteral("top"), 0), -MaxWindowCoordinate,
                       MaxWindowCoordinate);
    s.portName = profile.ReadString(Port, QStringLiteral("Port"), s.portName);
    // A settings file from elsewhere may hold anything: out-of-range values fall back to the
    // defaults instead of reaching the speed list or the protocol switch.
    s.speedIndex = profile.ReadInteger(Port, QStringLiteral("Baud"), DefaultSpeedIndex);
    if (s.speedIndex < 0 || s.speedIndex > 7) s.speedIndex = DefaultSpeedIndex;
    s.repeatPause = profile.ReadInteger(Port, QStringLiteral("Pause"), DefaultRepeatPause);
    if (s.repeatPause < 0) s.repeatPause = DefaultRepeatPause;
    const int32_t protocol =
        profile.ReadInteger(Port, QStringLiteral("prot"), DefaultProtocolIsModbus);
    s.protocolIsModbus =
        (protocol == 0 || protocol == 1) ? uint8_t(protocol) : DefaultProtocolIsModbus;
    s.spFlag = profile.ReadBool(Port, QStringLiteral("SP"), DefaultSPFlag);
    s.checkUpdates = profile.ReadBool(Update, QStringLiteral("Update"), DefaultCheckUpdates);
    s.language = profile.ReadString(LanguageSection, LanguageKey, QString()).trimmed();
    return s;
}

bool Write(const QString& path, const TSetup& s) {
    TProfile profile;
    profile.Load(path);
    profile.WriteInteger(Form, QStringLiteral("left"), s.left);
    profile.WriteInteger(Form, QStringLiteral("top"), s.top);
    if (s.writeLine) {
        profile.WriteString(Port, QStringLiteral("Port"), s.portName);
        profile.WriteInteger(Port, QStringLiteral("Baud"), s.speedIndex);
    }
    profile.WriteInteger(Port, QStringLiteral("Pause"), s.repeatPause);
    if (s.writeLine) profile.WriteInteger(Port, QStringLiteral("prot"), s.protocolIsModbus);
    profile.WriteBool(Port, QStringLiteral("SP"), s.spFlag);
    profile.WriteBool(Update, QStringLiteral("Update"), s.checkUpdates);
    if (!s.language.isEmpty()) profile.WriteString(LanguageSection, LanguageKey, s.language);
    return profile.Save();
}

TFraming ReadFraming(const QString& path) {
    TProfile profile;
    profile.Load(path);
    TFraming f;
    const int32_t parity = profile.ReadInteger(Port, QStringLiteral("Parity"), 0);
    const int32_t stopBits = profile.ReadInteger(Port, QStringLiteral("StopBits"), 1);
    if (parity >= 0 && parity <= 2) f.parity = parity;
    if (stopBits == 1 || stopBits == 2) f.stopBits = stopBits;
    return f;
}

bool WriteFraming(const QString& path, const TFraming& framing) {
    TProfile profile;
    profile.Load(path);
    profile.WriteInteger(Port, QStringLiteral("Parity"), framing.parity);
    profile.WriteInteger(Port, QStringLiteral("StopBits"), framing.stopBits);
    return profile.Save();
}

TNetwork ReadNetwork(const QString& path) {
    TProfile profile;
    profile.Load(path);
    TNetwork n;
    const int32_t allowance =
        profile.ReadInteger(Network, QStringLiteral("AllowanceMs"), TNetwork::DefaultAllowanceMs);
    if (allowance >= 0 && allowance <= TNetwork::MaxAllowanceMs) n.allowanceMs = allowance;
    for (int i = 0; i < TNetwork::RecentCount; ++i) {
        const QString name = profile.ReadString(Network, RecentKey(i), QString()).trimmed();
        if (!name.isEmpty() && !n.recent.contains(name)) n.recent << name;
    }
    return n;
}

bool RememberGateway(const QString& path, const QString& gateway) {
    QStringList recent = ReadNetwork(path).recent;
    recent.removeAll(gateway);
    recent.prepend(gateway);
    TProfile profile;
    profile.Load(path);
    for (int i = 0; i < TNetwork::RecentCount; ++i)
        profile.WriteString(Network, RecentKey(i), recent.value(i));
    return profile.Save();
}

}  // namespace SetupFile
