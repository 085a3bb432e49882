// Serial port event thread figures, on a pseudo-terminal:
//  1. CPU time of the whole process over 10 s while 10 received bytes stay unread in the input
//     queue (the event thread must sleep, not spin);
//  2. time from a byte written on the far side to OnRxChar running on the main thread
//     (smThreadSync), median and 99th percentile over 1000 arrivals.
#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "bench/BenchSupport.h"
#include "serial/SerialPort.h"
#include "serial/SerialThread.h"

using bench::CpuSeconds;
using bench::RunEventLoopFor;
using bench::WaitUntil;

namespace {

using Clock = std::chrono::steady_clock;

bool WaitForCall(const bool& called, int timeoutMs) {
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    timeout.start(timeoutMs);
    while (!called && timeout.isActive()) loop.processEvents(QEventLoop::WaitForMoreEvents);
    return called;
}

void IdleWithUnreadBytes(TSerialPort& port, int master) {
    bool called = false;
    int calls = 0;
    port.OnRxChar = [&](TSerialPort*, int32_t) {
        called = true;
        ++calls;
    };
    if (::write(master, "0123456789", 10) != 10 || !WaitForCall(called, 10000)) {
        std::printf("no OnRxChar for the first arrival\n");
        return;
    }
    const int wakeUpsBefore = port.EventThread()->WakeUps();
    const double cpuBefore = CpuSeconds();
    const auto start = Clock::now();
    RunEventLoopFor(10000);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = CpuSeconds() - cpuBefore;
    std::printf(
        "idle with %d unread bytes: %.1f s wall, %.4f s CPU (%.3f %% of a core), "
        "%d further wake-ups, %d OnRxChar calls in all\n",
        port.InBufCount(), wall, cpu, 100.0 * cpu / wall,
        port.EventThread()->WakeUps() - wakeUpsBefore, calls);
}

void ArrivalLatency(TSerialPort& port, int master) {
    constexpr int Arrivals = 1000;
    bool called = false;
    Clock::time_point calledAt;
    port.OnRxChar = [&](TSerialPort*, int32_t) {
        calledAt = Clock::now();
        called = true;
    };
    std::vector<double> micros;
    micros.reserve(Arrivals);
    char drain[64];
    for (int i = 0; i < Arrivals; ++i) {
        port.Read(drain, sizeof drain);
        called = false;
        const auto sentAt = Clock::now();
        if (::write(master, "x", 1) != 1 || !WaitForCall(called, 10000)) {
            std::printf("arrival %d was not delivered\n", i);
            return;
        }
        micros.push_back(std::chrono::duration<double, std::micro>(calledAt - sentAt).count());
    }
    std::sort(micros.begin(), micros.end());
    std::printf(
        "byte written -> OnRxChar on the main thread, %d arrivals: median %.0f us, "
        "99th percentile %.0f us, max %.0f us\n",
        Arrivals, micros[micros.size() / 2], micros[micros.size() * 99 / 100], micros.back());
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int master = -1, slave = -1;
    char name[128] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    TSerialPort port;
    port.SetPort(QString::fromLocal8Bit(name));
    try {
        port.Open();
        IdleWithUnreadBytes(port, master);
        port.ClearBuffer(true, true);
        ArrivalLatency(port, master);
        port.Close();
    } catch (const ESerialPort& e) {
        std::printf("%s\n", e.what());
        return 1;
    }
    ::close(master);
    ::close(slave);
    return 0;
}
