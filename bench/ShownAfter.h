#pragma once
// The start-up benchmark's reference windows end as the program does: with
// TESSERA_EXIT_AFTER_SHOWN=1 each prints "shown after N ms" (N counted from main()) once its
// window has painted its first frame, and quits.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "base/FirstFrame.h"

inline void QuitOnceShownWhenAsked(QObject& window, const QElapsedTimer& sinceStart) {
    if (!qEnvironmentVariableIsSet("TESSERA_EXIT_AFTER_SHOWN")) return;
    base::WhenFirstFramePainted(window, [&sinceStart] {
        std::printf("shown after %lld ms\n", static_cast<long long>(sinceStart.elapsed()));
        std::fflush(stdout);
        QCoreApplication::quit();
    });
}
