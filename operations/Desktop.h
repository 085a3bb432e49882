#pragma once
// TDesktop: what the program asks of the desktop and the process: running a modal dialog (an
// error box, a report, a preview), opening a file with its program or a page in the browser,
// ending the process, reading the serial ports present, and reporting a port event handler
// that failed. The windows are given
// one when they are made; the real one (ui/RealDesktop.h) is the default. A test gives its
// own, which answers the dialogs and records what was opened instead.
#include <vector>

#include "serial/SerialBackend.h"
#include "serial/SerialPort.h"

class QDialog;
class QString;
class QUrl;

class TDesktop : public TExceptionReport {
public:
    // The dialog's result (QDialog::Accepted, a QMessageBox button).
    virtual int RunModal(QDialog& dialog) = 0;
    virtual void OpenFile(const QString& path) = 0;
    virtual bool OpenPage(const QUrl& page) = 0;  // false when no browser took it
    // At once: no close handlers, no settings written, no static destructors.
    virtual void ExitProcess(int code) = 0;
    // The serial ports present; false when the system's list cannot be read.
    virtual bool ReadPortDetails(std::vector<serial_backend::PortInfo>& ports) = 0;
};
