#include "ui/PortList.h"

#include <QFileInfo>

#include "serial/SerialPort.h"

using serial_backend::PortInfo;

namespace {

QString Text(const std::string& s) {
    return QString::fromLocal8Bit(s.c_str());
}

TPortChoice Choice(const QString& value, const std::string& description) {
    const QString text =
        description.empty() ? value : value + QStringLiteral("   ") + Text(description);
    return {value, text};
}

// Symlinks and the COMn alias resolved, so that two names of one device compare equal.
QString DeviceFile(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

}  // namespace

QVector<TPortChoice> PortChoices(const std::vector<PortInfo>& ports) {
    QVector<TPortChoice> choices;
    for (const PortInfo& port : ports) {
        choices << Choice(Text(port.name), port.description);
        if (!port.stablePath.empty()) choices << Choice(Text(port.stablePath), port.description);
    }
    return choices;
}

QString StablePortName(const QString& port, const std::vector<PortInfo>& ports) {
    const QString device = DeviceFile(TSerialPort::DevicePath(port));
    for (const PortInfo& info : ports) {
        if (info.stablePath.empty()) continue;
        if (Text(info.stablePath) == port) return port;
        if (Text(info.name) == port || DeviceFile(Text(info.path)) == device)
            return Text(info.stablePath);
    }
    return port;
}
