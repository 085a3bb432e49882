#include "ui/KnownFolders.h"

#include <QDir>
#include <QStandardPaths>

namespace {

bool StandardLocationFor(int csidl, QStandardPaths::StandardLocation* location) {
    switch (csidl) {
        case CSIDL_PERSONAL:
            *location = QStandardPaths::DocumentsLocation;
            return true;
        case CSIDL_APPDATA:
            *location = QStandardPaths::GenericDataLocation;
            return true;
        default:
            return false;
    }
}

}  // namespace

QString GetSpecialFolder(int csidl) {
    QStandardPaths::StandardLocation location;
    if (!StandardLocationFor(csidl, &location)) return QString();
    const QString path = QStandardPaths::writableLocation(location);
    if (path.isEmpty()) return QString();
    if (!QDir().mkpath(path)) return QString();
    return QDir::cleanPath(path);
}
