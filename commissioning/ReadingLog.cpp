#include "commissioning/ReadingLog.h"

#include <QCoreApplication>

bool TReadingLog::Start(const QString& path, QString& error) {
    Stop();
    FFile.setFileName(path);
    FLines = 0;
    if (!FFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text) ||
        !WriteLine(QStringLiteral("time,parameter,value,unit"))) {
        error = QCoreApplication::translate("TReadingLog", "Не удалось записать файл %1: %2")
                    .arg(path, FFile.errorString());
        FFile.close();
        return false;
    }
    return true;
}

void TReadingLog::Stop() {
    if (FFile.isOpen()) FFile.close();
}

QString TReadingLog::Line(const QDateTime& time, int parameter, const QString& value,
                          const QString& unit) {
    return QStringLiteral("%1,%2,%3,%4")
        .arg(time.toUTC().toString(Qt::ISODateWithMs))
        .arg(parameter)
        .arg(value, unit);
}

bool TReadingLog::WriteLine(const QString& line) {
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    return FFile.write(bytes) == bytes.size() && FFile.flush();
}

bool TReadingLog::Add(const QDateTime& time, int parameter, const QString& value,
                      const QString& unit, QString& error) {
    if (!Active()) return false;
    if (!WriteLine(Line(time, parameter, value, unit))) {
        error = QCoreApplication::translate("TReadingLog", "Запись показаний в %1 прервана: %2")
                    .arg(FFile.fileName(), FFile.errorString());
        Stop();
        return false;
    }
    ++FLines;
    return true;
}
