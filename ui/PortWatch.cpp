#include "ui/PortWatch.h"

#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>
#include <vector>

#include "operations/Desktop.h"
#include "operations/WindowHost.h"
#include "serial/SerialBackend.h"
#include "serial/SerialPort.h"
#include "ui/PortList.h"

namespace {

bool DeviceFilePresent(const QString& port) {
    return QFileInfo::exists(TSerialPort::DevicePath(port));  // follows symlinks
}

}  // namespace

TPortWatch::TPortWatch(TWindowHost& window)
    : QObject(window.Window()), FWindow(window), FField(new QLabel) {
    FField->setObjectName(QStringLiteral("PortField"));
    FWindow.ShowInStatusBar(FField, true);
    FLook.setInterval(LookIntervalMs);
    connect(&FLook, &QTimer::timeout, this, &TPortWatch::Look);
}

void TPortWatch::PortChanged() {
    FLook.stop();
    FReconnectedAt = QTime();
    FSinceReconnect.invalidate();
    ResolveStableName();
    ShowField();
}

// udev removes the by-id link together with the device, so the name is looked up while the
// device is still there and kept for the watch.
void TPortWatch::ResolveStableName() {
    const QString port = FWindow.Port().Port();
    std::vector<serial_backend::PortInfo> ports;
    FStableName = FWindow.Desktop().ReadPortDetails(ports) ? StablePortName(port, ports) : port;
    FStableNameFor = port;
}

QString TPortWatch::SystemReason(const ESerialPort& e) const {
    TSerialPort& port = FWindow.Port();
    // A closed port's errors come from no system call: nothing to add.
    if (!port.Connected()) return QString();
    int code = e.SystemError();
    if (code == 0) {
        // The exchange thread hands on only the message; the device, asked again, tells why.
        try {
            port.InBufCount();
        } catch (const ESerialPort& again) {
            code = again.SystemError();
        }
    }
    return code ? QString::fromStdString(serial_backend::ErrorText(code)) : QString();
}

QString TPortWatch::OpenFailureText(const ESerialPort& e) {
    // Messages 3 to 11 name a read, a write or a system call, and say nothing of why it failed;
    // 17 to 20 say in plain words why a gateway was not reached, and the system's own words
    // (the resolver's, the connection's) follow.
    for (int index : {3, 4, 5, 6, 7, 8, 9, 10, 11, 17, 18, 19, 20})
        if (e.Message() == ESerialPort(index).Message()) return e.Text();
    return e.Message();
}

QString TPortWatch::FailureText(const ESerialPort& e) const {
    const QString port = FWindow.Port().Port();
    QString text = e.Message() + QLatin1Char('.');
    const QString reason = SystemReason(e);
    if (!reason.isEmpty()) text += tr(" Система сообщает: %1.").arg(reason);
    const bool recovering = Watching() || FWindow.Port().Connected();
    if (!recovering)
        return text + tr(" Обмен с прибором прерван: проверьте подключение к порту %1.").arg(port);
    if (FWindow.Port().IsNetworkPort())
        return text + tr(" Соединение со шлюзом %1 разорвано: проверьте сеть и шлюз.").arg(port) +
               (FPollingWanted || (Watching() && FResumePolling)
                    ? tr(" Когда шлюз ответит снова, программа подключится к нему сама и "
                         "продолжит опрос.")
                    : tr(" Когда шлюз ответит снова, программа подключится к нему сама."));
    text += (DeviceFilePresent(port)
                 ? tr(" Связь с прибором через порт %1 прервана: проверьте подключение.")
                 : tr(" Устройство %1 отключено от компьютера: проверьте подключение."))
                .arg(port);
    text += FPollingWanted || (Watching() && FResumePolling)
                ? tr(" Когда устройство появится снова, программа подключится к нему "
                     "сама и продолжит опрос.")
                : tr(" Когда устройство появится снова, программа подключится к нему сама.");
    return text;
}

void TPortWatch::LineFailed(const ESerialPort& e) {
    const QString text = FailureText(e);
    // Told in the status bar only: a failure met while the device is already awaited (a late
    // report of the same loss, or reading asked for meanwhile), while the box about it is up,
    // or soon after the line came back (a flaky contact would otherwise stack box on box).
    const bool recentlyBack =
        FSinceReconnect.isValid() && !FSinceReconnect.hasExpired(QuietAfterReconnectMs);
    const bool alreadyTold = Watching() || FBoxOpen || recentlyBack;
    if (Watching() && FPollingWanted) FResumePolling = true;
    if (FWindow.Port().Connected()) StartWatch();
    FWindow.ShowStatus(text);
    if (alreadyTold) return;
    FBoxOpen = true;
    FWindow.ShowError(text);
    FBoxOpen = false;
}

// The port is closed at once: the device's node goes only when nobody holds it open, and a
// device that comes back under the same name must find it free.
void TPortWatch::StartWatch() {
    FResumePolling = FPollingWanted;
    FWindow.HaltExchange();
    if (FStableNameFor != FWindow.Port().Port()) ResolveStableName();
    FWindow.Port().Close();
    FReconnectedAt = QTime();
    FLook.start();
    ShowField();
}

void TPortWatch::Look() {
    TSerialPort& port = FWindow.Port();
    if (port.Connected()) {
        // Opened meanwhile by other means: the watch has nothing left to do.
        FLook.stop();
        ShowField();
        return;
    }
    if (port.IsNetworkPort()) {
        // A gateway cannot be seen coming back: it is connected to again, one attempt at a
        // time, in the background.
        if (port.Connecting()) return;
        port.OpenInBackground([this](const ESerialPort* failure) {
            if (failure)
                ShowField();  // the next look tries again
            else
                Reconnected();
        });
        ShowField();
        return;
    }
    if (!DeviceFilePresent(FStableName)) return;
    try {
        port.SetPort(FStableName);
        port.Open();
    } catch (const ESerialPort&) {
        return;  // there, but not ready yet (still being set up): the next look tries again
    }
    Reconnected();
}

void TPortWatch::Reconnected() {
    FLook.stop();
    FReconnectedAt = QTime::currentTime();
    FSinceReconnect.start();
    ShowField();
    const bool resume = FResumePolling;
    if (FWindow.Port().IsNetworkPort())
        FWindow.ShowStatus(
            resume ? tr("Шлюз %1 снова на связи, опрос продолжается.").arg(FWindow.Port().Port())
                   : tr("Шлюз %1 снова на связи.").arg(FWindow.Port().Port()));
    else
        FWindow.ShowStatus(
            resume ? tr("Устройство %1 снова подключено, опрос продолжается.").arg(FStableName)
                   : tr("Устройство %1 снова подключено.").arg(FStableName));
    if (resume) FWindow.StartReading();
}

void TPortWatch::ShowField() {
    const QString port = FWindow.Port().Port();
    if (FWindow.Port().Connecting())
        FField->setText(tr("Порт %1: подключение…").arg(port));
    else if (Watching())
        FField->setText(tr("Порт %1: ожидание устройства").arg(FStableName));
    else if (!FWindow.Port().Connected())
        FField->setText(tr("Порт %1 не открыт").arg(port));
    else if (FReconnectedAt.isValid())
        FField->setText(tr("Порт: %1 (подключён снова в %2)")
                            .arg(port, FReconnectedAt.toString(QStringLiteral("HH:mm:ss"))));
    else
        FField->setText(tr("Порт: %1").arg(port));
}
