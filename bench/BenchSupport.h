#pragma once
// Small helpers shared by the benchmarks: the process's CPU time and waiting with the Qt event
// loop running (the program under measurement does its work in that loop).
#include <sys/resource.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <functional>

namespace bench {

inline double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

inline void RunEventLoopFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until done() holds; false after timeoutMs.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::usleep(500);
    }
    return true;
}

// The program's settings file in the benchmark's own HOME: Modbus RTU at 115200 bit/s, the
// update check off; `pauseMs` is the answer pause.
inline void WriteSettings(int pauseMs) {
    const QString path = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                         QStringLiteral("/Tessera_RS/setup.cfg");
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(QStringLiteral("[Port]\nBaud=7\nPause=%1\nprot=1\n[Update]\nUpdate=0\n")
                   .arg(pauseMs)
                   .toUtf8());
}

// Settings and documents in a HOME of the benchmark's own (the user's are never touched);
// offscreen unless a platform is asked for. Call before the application object is made.
inline bool UseOwnHome(const QTemporaryDir& home) {
    if (!home.isValid()) return false;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + "/.local/share").toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return true;
}

}  // namespace bench
