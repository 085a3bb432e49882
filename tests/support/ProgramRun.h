#pragma once
// One of our programs run once to its end from a test: its exit code and what it printed.
#include <QProcess>
#include <QString>
#include <QStringList>

struct Run {
    int code = -1;  // -1: it did not finish in time, -2: it crashed
    QString out;
    QString err;
};

// Waits at most `timeoutMs` (generous: the programs never wait long on a pty or loopback);
// `stdoutFile`, when given, takes its standard output.
inline Run RunProgram(const QString& program, const QStringList& arguments, int timeoutMs = 30000,
                      const QString& stdoutFile = QString()) {
    QProcess process;
    if (!stdoutFile.isEmpty()) process.setStandardOutputFile(stdoutFile);
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("did not finish");
        return run;
    }
    run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

inline QString Explain(const Run& run) {
    return QStringLiteral("exit %1\n%2\n%3").arg(run.code).arg(run.out, run.err);
}
