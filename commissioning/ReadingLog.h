#pragma once
// TReadingLog: the readings shown on the panels, written to a CSV file as they come, one line
// per reading: UTC time (ISO 8601, milliseconds), parameter, value as the panel shows it,
// unit ("time,parameter,value,unit", the columns of tessera-cli's read --csv). Every line is
// handed to the system at once, so a crash of the program loses nothing already shown.
// Main thread only.
#include <QDateTime>
#include <QFile>
#include <QString>

class TReadingLog {
public:
    // Opens (and empties) the file and writes the column line; false with `error` set when
    // the file cannot be written. A log already running is stopped first.
    bool Start(const QString& path, QString& error);
    void Stop();
    bool Active() const { return FFile.isOpen(); }
    QString Path() const { return FFile.fileName(); }
    qint64 Lines() const { return FLines; }  // readings written since Start

    // One reading; false (and the log stopped, `error` set) when the line cannot be written.
    bool Add(const QDateTime& time, int parameter, const QString& value, const QString& unit,
             QString& error);

    static QString Line(const QDateTime& time, int parameter, const QString& value,
                        const QString& unit);

private:
    // False with the system's reason when the line could not be written whole.
    bool WriteLine(const QString& line, QString& reason);

    QFile FFile;
    qint64 FLines = 0;
};
