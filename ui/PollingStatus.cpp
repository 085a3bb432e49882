#include "ui/PollingStatus.h"

#include <QCoreApplication>

void TPollingStatus::Started() {
    FRunning = true;
    FEverStarted = true;
    FWhy.clear();
}

bool TPollingStatus::Stopped(const QTime& at, const QString& why) {
    if (!FRunning) return false;
    FRunning = false;
    FStoppedAt = at;
    FWhy = why;
    return true;
}

QString TPollingStatus::Text() const {
    if (FRunning) return QCoreApplication::translate("TPollingStatus", "Опрос: идёт");
    if (!FEverStarted) return QString();
    const QString when = QCoreApplication::translate("TPollingStatus", "Опрос остановлен в %1")
                             .arg(FStoppedAt.toString(QStringLiteral("HH:mm:ss")));
    return FWhy.isEmpty() ? when : when + QStringLiteral(": ") + FWhy;
}
