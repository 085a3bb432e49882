#pragma once
// TPollingStatus: whether the readings are being polled, as the main window's permanent
// status-bar field says it: "Опрос: идёт" while they are; once polling ends (the "Стоп"
// button, another request taking the line, the settings dialog, a failed line), when it
// stopped and why. Readings on the panels are live only while it runs. Main thread only.
#include <QString>
#include <QTime>

class TPollingStatus {
public:
    void Started();
    // Polling ended at `at`; `why` may be empty. False when it was not running (nothing
    // changes then: the first reason given is the one kept).
    bool Stopped(const QTime& at, const QString& why);

    bool Running() const { return FRunning; }
    // Empty until polling first started.
    QString Text() const;

private:
    bool FRunning = false;
    bool FEverStarted = false;
    QTime FStoppedAt;
    QString FWhy;
};
