#include "commissioning/ReadingLog.h"

#include <QCoreApplication>
#include <cerrno>
#include <cstring>

bool TReadingLog::Start(const QString& path, QString& error) {
    Stop();
    FFile.setFileName(path);
    FLines = 0;
    QString reason;
    // Unbuffered: each line goes to the system in one write, whose failure carries its reason.
    if (!FFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        reason = FFile.errorString();
    else if (!WriteLine(QStringLiteral("time,parameter,value,unit"), reason))
        FFile.close();
    if (!reason.isEmpty()) {
        error = QCoreApplication::translate("TReadingLog", "Не удалось записать файл %1: %2")
                    .arg(path, reason);
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

// A line the system took only in part is taken back, so that the file holds whole lines only.
bool TReadingLog::WriteLine(const QString& line, QString& reason) {
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    const qint64 before = FFile.pos();
    errno = 0;
    const qint64 written = FFile.write(bytes);
    const int code = errno;
    if (written == bytes.size()) return true;
    // The system's own words (a full disk, a size limit); the file's when it gave none.
    reason = code != 0 ? QString::fromLocal8Bit(std::strerror(code)) : FFile.errorString();
    if (written > 0 || FFile.pos() > before) FFile.resize(before);
    return false;
}

bool TReadingLog::Add(const QDateTime& time, int parameter, const QString& value,
                      const QString& unit, QString& error) {
    if (!Active()) return false;
    QString reason;
    if (!WriteLine(Line(time, parameter, value, unit), reason)) {
        error = QCoreApplication::translate("TReadingLog", "Запись показаний в %1 прервана: %2")
                    .arg(FFile.fileName(), reason);
        Stop();
        return false;
    }
    ++FLines;
    return true;
}
