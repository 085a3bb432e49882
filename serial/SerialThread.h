#pragma once
// TSerialThread: the event thread of one open TSerialPort. Owns the backend's event wait
// (the line and a stop event); created by Open on the main thread, runs Execute on its own
// thread, and is stopped and waited for by Close, again on the main thread. Each wake-up's
// events go to the port in the thread its SyncMethod gives.
#include <QThread>
#include <atomic>
#include <exception>
#include <memory>
#include <mutex>

#include "serial/SerialPort.h"

namespace serial_backend {
class EventWaiter;
}

class TSerialThread : public QThread {
    Q_OBJECT
public:
    explicit TSerialThread(TSerialPort* serialPort);
    ~TSerialThread() override;  // stops the thread and waits for it (running queued calls)

    // Events of the latest wake-up.
    TSerialEvents Events() const { return FEvents; }
    // Wake-ups seen so far; lets tests and benchmarks see that the thread sleeps between
    // events instead of spinning.
    int WakeUps() const { return FWakeUps.load(); }
    // The exception that ended the thread, if one did; kept, shown to nobody.
    std::exception_ptr Failure() const;

    static uint32_t EventsToMask(TSerialEvents events);
    static TSerialEvents MaskToEvents(uint32_t mask);

protected:
    void run() override;

private:
    void Execute();
    void Deliver();
    void DispatchEvents();
    void SendEventMessages();
    void Stop();
    void Finish(std::exception_ptr failure);
    void AwaitFinish() const;

    TSerialPort* FSerialPort;
    TSerialEvents FEvents = 0;
    std::unique_ptr<serial_backend::EventWaiter> FStopEvent;  // also waits for the line
    std::atomic<int> FWakeUps{0};
    // QThread's own end-of-thread hand-shake is invisible to ThreadSanitizer (Qt is not
    // instrumented); this mutex makes "the thread is done" an ordinary release/acquire.
    mutable std::mutex FFinishMutex;
    std::exception_ptr FFailure;
};
