// The readings log on a disk that fills up: the file keeps whole lines only, and the message
// gives the system's reason. The disk is made full with a file size limit or /dev/full.
#include <QTemporaryDir>
#include <QtTest>

#include "FileSizeLimit.h"
#include "commissioning/ReadingLog.h"

namespace {

const QDateTime When = QDateTime(QDate(2026, 12, 8), QTime(10, 0), Qt::UTC);

}  // namespace

class TestReadingLog : public QObject {
    Q_OBJECT

private slots:
    // The limit falls inside the third reading's line: two whole readings stay, the cut
    // line is taken back, and the message names the system's reason, not "Unknown error".
    void fullDiskKeepsWholeLines() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("readings.csv"));
        const QString header = QStringLiteral("time,parameter,value,unit\n");
        const QString line =
            TReadingLog::Line(When, 1, QStringLiteral("12.5"), QStringLiteral("V")) +
            QLatin1Char('\n');
        FileSizeLimit limit(rlim_t(header.size() + 2 * line.size() + line.size() / 2));
        QVERIFY(limit.Set());
        TReadingLog log;
        QString error;
        QVERIFY2(log.Start(path, error), qPrintable(error));
        QVERIFY(log.Add(When, 1, QStringLiteral("12.5"), QStringLiteral("V"), error));
        QVERIFY(log.Add(When, 1, QStringLiteral("12.5"), QStringLiteral("V"), error));
        QVERIFY(!log.Add(When, 1, QStringLiteral("12.5"), QStringLiteral("V"), error));
        QVERIFY(!log.Active());
        QCOMPARE(log.Lines(), 2);
        QVERIFY2(error.startsWith(QStringLiteral("Запись показаний в ") + path +
                                  QStringLiteral(" прервана: ")),
                 qPrintable(error));
        QVERIFY2(error.endsWith(QString::fromLocal8Bit(std::strerror(EFBIG))), qPrintable(error));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), header + line + line);
    }

    // No room even for the column line: the log does not start, and says why.
    void noRoomAtAllIsSaid() {
        if (!QFileInfo::exists(QStringLiteral("/dev/full"))) QSKIP("no /dev/full here");
        TReadingLog log;
        QString error;
        QVERIFY(!log.Start(QStringLiteral("/dev/full"), error));
        QVERIFY(!log.Active());
        QVERIFY2(error.endsWith(QString::fromLocal8Bit(std::strerror(ENOSPC))), qPrintable(error));
    }
};

QTEST_MAIN(TestReadingLog)
#include "test_reading_log.moc"
