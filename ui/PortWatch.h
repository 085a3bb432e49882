#pragma once
// TPortWatch: the main window's eye on its serial port. It names the port in a permanent
// field at the right of the status bar, and when the line fails during an exchange (a USB
// adapter pulled) it tells the operator what happened, closes the port, waits for the same
// device to come back (by its by-id name where it has one, else by its path), reopens it and
// resumes the polling that was running. Owned by the main window; main thread only.
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTime>
#include <QTimer>

class ESerialPort;
class QLabel;
class TWindowHost;

class TPortWatch : public QObject {
    Q_OBJECT
public:
    explicit TPortWatch(TWindowHost& window);

    // How often the device's name is looked for while it is gone.
    static constexpr int LookIntervalMs = 500;
    // A line that fails again this soon after coming back is the same trouble.
    static constexpr int QuietAfterReconnectMs = 10000;

    // The port was opened, or failed to open, at start or on the operator's word: the field
    // follows, a watch in progress ends, and the device's by-id name is looked up.
    void PortChanged();
    // Whether reading is running, so that a recovered line resumes it.
    void PollingStarted() { FPollingWanted = true; }
    void PollingStopped() { FPollingWanted = false; }

    // A port error met during an exchange: the message for the operator, in plain words.
    QString FailureText(const ESerialPort& e) const;
    // What the operator is told when opening the port failed: a message that names a system
    // call ("Ошибка функции SetCommState") gets the system's reason after it; one that says
    // what is wrong (no such port, busy) stands alone.
    static QString OpenFailureText(const ESerialPort& e);
    // Reports it (status bar; an error box unless the failure is already being dealt with)
    // and, if the port was open, starts watching for the device.
    void LineFailed(const ESerialPort& e);

    bool Watching() const { return FLook.isActive(); }
    QLabel* Field() const { return FField; }

private:
    void StartWatch();
    void Look();
    void Reconnected();
    void ResolveStableName();
    QString SystemReason(const ESerialPort& e) const;
    void ShowField();

    TWindowHost& FWindow;
    QLabel* FField;
    QTimer FLook;
    QString FStableName;     // the name that finds the device again
    QString FStableNameFor;  // the port name it was looked up for
    QTime FReconnectedAt;    // valid after the watch reopened the port by itself
    QElapsedTimer FSinceReconnect;
    bool FPollingWanted = false;
    bool FResumePolling = false;
    bool FBoxOpen = false;
};
