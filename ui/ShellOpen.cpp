#include "ui/ShellOpen.h"

#include <QDesktopServices>
#include <QUrl>

bool ShellOpenFile(const QString& filePath) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(filePath));
}
