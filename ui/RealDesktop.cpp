#include "ui/RealDesktop.h"

#include <QDesktopServices>
#include <QDialog>
#include <QUrl>
#include <cstdlib>

#include "ui/ShellOpen.h"

int TRealDesktop::RunModal(QDialog& dialog) {
    return dialog.exec();
}

void TRealDesktop::OpenFile(const QString& path) {
    ShellOpenFile(path);
}

bool TRealDesktop::OpenPage(const QUrl& page) {
    return QDesktopServices::openUrl(page);
}

void TRealDesktop::ExitProcess(int code) {
    std::_Exit(code);
}

void TRealDesktop::HandlerFailed(const QString& message) {
    TExceptionReport::LogHandlerFailure(message);
}

TRealDesktop& TRealDesktop::Instance() {
    static TRealDesktop desktop;
    return desktop;
}

bool TRealDesktop::ReadPortDetails(std::vector<serial_backend::PortInfo>& ports) {
    return serial_backend::ListPortDetails(ports);
}
