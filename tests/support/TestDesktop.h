#pragma once
// TTestDesktop: the desktop a test gives the windows. Each kind of request goes to the
// function the test set for it; one it left empty is served as the real desktop serves it
// (a dialog nobody answers is shown, and a test that waits on it fails by its timeout).
#include <QDialog>
#include <QMessageBox>
#include <QString>
#include <QUrl>
#include <functional>

#include "commissioning/ConfigPreview.h"
#include "operations/Desktop.h"
#include "ui/RealDesktop.h"

class TTestDesktop : public TDesktop {
public:
    std::function<void(const QString& text)> errorBox;  // the text as the box shows it
    // A configuration load's report; `problem`: shown as a warning.
    std::function<void(const QString& text, bool problem)> report;
    std::function<bool(TConfigPreview& preview)> preview;  // true: write
    std::function<void(const QString& path)> openFile;
    std::function<void(int code)> exitProcess;
    std::function<bool(const QUrl& page)> openPage;
    std::function<void(const QString& message)> handlerFailed;
    std::function<bool(std::vector<serial_backend::PortInfo>& ports)> portDetails;

    int RunModal(QDialog& dialog) override {
        if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
            if (box->objectName() == QLatin1String("ErrorBox") && errorBox) {
                errorBox(box->text());
                return QMessageBox::Ok;
            }
            if (box->objectName() == QLatin1String("ConfigReport") && report) {
                report(box->text(), box->icon() == QMessageBox::Warning);
                return QMessageBox::Ok;
            }
        }
        if (auto* shown = dynamic_cast<TConfigPreview*>(&dialog); shown && preview)
            return preview(*shown) ? QDialog::Accepted : QDialog::Rejected;
        return TRealDesktop::Instance().RunModal(dialog);
    }
    void OpenFile(const QString& path) override {
        if (openFile)
            openFile(path);
        else
            TRealDesktop::Instance().OpenFile(path);
    }
    bool OpenPage(const QUrl& page) override {
        return openPage ? openPage(page) : TRealDesktop::Instance().OpenPage(page);
    }
    void ExitProcess(int code) override {
        if (exitProcess)
            exitProcess(code);
        else
            TRealDesktop::Instance().ExitProcess(code);
    }
    bool ReadPortDetails(std::vector<serial_backend::PortInfo>& ports) override {
        return portDetails ? portDetails(ports) : TRealDesktop::Instance().ReadPortDetails(ports);
    }
    void HandlerFailed(const QString& message) override {
        if (handlerFailed)
            handlerFailed(message);
        else
            TRealDesktop::Instance().HandlerFailed(message);
    }
};
