#pragma once
// TSerialPortWindow: stands for the hidden window of smWindowSync. Lives on the main thread,
// owned by its TSerialPort while the port is open. The event thread queues one event flag
// per message; the main thread delivers them one by one in the order they were queued.
//
// The flags travel through a queue of our own under a std::mutex and the toolkit only
// carries a parameterless wake-up, so the hand-over is visible to ThreadSanitizer (Qt's own
// event queue is not instrumented).
#include <QObject>
#include <cstdint>
#include <deque>
#include <mutex>

class TSerialPort;

class TSerialPortWindow : public QObject {
    Q_OBJECT
public:
    explicit TSerialPortWindow(TSerialPort* port) : FSerialPort(port) {}

    // Any thread: queue one event for the main thread; returns at once.
    void PostEventMessage(uint32_t eventFlag);
    // Main thread: deliver every message queued so far.
    void DeliverPending();

private slots:
    void DeliverOne();

private:
    bool TakeNext(uint32_t& eventFlag);

    TSerialPort* FSerialPort;
    std::mutex FMutex;
    std::deque<uint32_t> FMessages;
};
