#pragma once
// TRealDesktop: the desktop as it is: dialogs run modally, files and pages opened by the
// system, the process ended at once, a failed port event handler logged.
#include "operations/Desktop.h"

class TRealDesktop final : public TDesktop {
public:
    int RunModal(QDialog& dialog) override;
    void OpenFile(const QString& path) override;
    bool OpenPage(const QUrl& page) override;
    void ExitProcess(int code) override;
    bool ReadPortDetails(std::vector<serial_backend::PortInfo>& ports) override;
    void HandlerFailed(const QString& message) override;

    // The one the windows use when they are given none.
    static TRealDesktop& Instance();
};
