// Windows side of the special folders: the shell's known folders. The application-data folder
// is the roaming one, which Qt's GenericDataLocation is not on Windows (it is the local one).
#include "ui/KnownFolders.h"

// These headers only work in this order.
// clang-format off
// After KnownFolders.h: the shell's headers define the CSIDL_* names as macros too.
#include <windows.h>
#include <initguid.h>
// initguid.h before knownfolders.h, so that the folder ids are defined here.
#include <knownfolders.h>
#include <shlobj.h>
// clang-format on

#include <QDir>

namespace {

const KNOWNFOLDERID* KnownFolderFor(int csidl) {
    switch (csidl) {
        case CSIDL_PERSONAL:
            return &FOLDERID_Documents;
        case CSIDL_APPDATA:
            return &FOLDERID_RoamingAppData;
        default:
            return nullptr;
    }
}

}  // namespace

QString GetSpecialFolder(int csidl) {
    const KNOWNFOLDERID* folder = KnownFolderFor(csidl);
    if (!folder) return QString();
    PWSTR path = nullptr;
    const HRESULT result = SHGetKnownFolderPath(*folder, KF_FLAG_CREATE, nullptr, &path);
    QString found;
    if (SUCCEEDED(result) && path) found = QString::fromWCharArray(path);
    CoTaskMemFree(path);  // also when the call failed
    if (found.isEmpty()) return QString();
    return QDir::cleanPath(QDir::fromNativeSeparators(found));
}
