#include "serial/SerialThread.h"

#include "base/Synchronize.h"
#include "serial/SerialBackend.h"

namespace {

using namespace serial_backend;

struct EventFlag {
    TSerialEvent event;
    uint32_t flag;
};

// Delivery order of one wake-up's events, with their EV_* flags.
constexpr EventFlag EventOrder[] = {
    {evRxChar, EV_RXCHAR}, {evTxEmpty, EV_TXEMPTY}, {evRing, EV_RING},
    {evBreak, EV_BREAK},   {evCTS, EV_CTS},         {evDSR, EV_DSR},
    {evError, EV_ERR},     {evRLSD, EV_RLSD},       {evRx80Full, EV_RX80FULL},
};

QThread::Priority QtPriority(TThreadPriority priority) {
    switch (priority) {
        case tpIdle:
            return QThread::IdlePriority;
        case tpLowest:
            return QThread::LowestPriority;
        case tpLower:
            return QThread::LowPriority;
        case tpNormal:
            return QThread::NormalPriority;
        case tpHigher:
            return QThread::HighPriority;
        case tpHighest:
            return QThread::HighestPriority;
        case tpTimeCritical:
            return QThread::TimeCriticalPriority;
    }
    return QThread::NormalPriority;
}

}  // namespace

uint32_t TSerialThread::EventsToMask(TSerialEvents events) {
    uint32_t mask = 0;
    for (const EventFlag& e : EventOrder)
        if (events & BitOf(e.event)) mask |= e.flag;
    return mask;
}

TSerialEvents TSerialThread::MaskToEvents(uint32_t mask) {
    TSerialEvents events = 0;
    for (const EventFlag& e : EventOrder)
        if (mask & e.flag) events |= BitOf(e.event);
    return events;
}

TSerialThread::TSerialThread(TSerialPort* serialPort)
    : FSerialPort(serialPort), FStopEvent(std::make_unique<EventWaiter>(*serialPort->FHandle)) {
    FStopEvent->SetMask(EventsToMask(serialPort->Events()));
    start(QtPriority(serialPort->ThreadPriority()));
}

TSerialThread::~TSerialThread() {
    Stop();
    // Runs the synchronised calls the thread queued before it saw the stop, so a thread
    // waiting for the main thread can always finish.
    Sync::WaitForThread(this);
    AwaitFinish();
}

void TSerialThread::Stop() {
    FStopEvent->Stop();
}

void TSerialThread::run() {
    // An exception from a handler ends the thread; it must not leave run(), which would end
    // the process.
    try {
        Execute();
    } catch (...) {
        Finish(std::current_exception());
        return;
    }
    Finish(nullptr);
}

// The last thing the thread does; everything it touched is handed over with the mutex.
void TSerialThread::Finish(std::exception_ptr failure) {
    std::lock_guard<std::mutex> lock(FFinishMutex);
    FFailure = std::move(failure);
}

void TSerialThread::AwaitFinish() const {
    std::lock_guard<std::mutex> lock(FFinishMutex);
}

std::exception_ptr TSerialThread::Failure() const {
    std::lock_guard<std::mutex> lock(FFinishMutex);
    return FFailure;
}

void TSerialThread::Execute() {
    for (;;) {
        uint32_t mask = 0;
        const WaitResult result = FStopEvent->Wait(mask);
        if (result == WaitResult::Stopped || result == WaitResult::Failed) break;
        ++FWakeUps;
        if (result == WaitResult::Skipped) continue;
        // Stamped here, at once: the handlers may run later, on the main thread.
        if (mask & EV_RXCHAR) FSerialPort->NoteReceived();
        FEvents = MaskToEvents(mask);
        Deliver();
    }
    FSerialPort->PurgeAll();
}

void TSerialThread::Deliver() {
    switch (FSerialPort->SyncMethod()) {
        case smThreadSync:
            Sync::Synchronize([this] { DispatchEvents(); });
            break;
        case smWindowSync:
            SendEventMessages();
            break;
        case smNone:
            DispatchEvents();
            break;
    }
}

void TSerialThread::DispatchEvents() {
    for (const EventFlag& e : EventOrder)
        if (FEvents & BitOf(e.event)) FSerialPort->DispatchEvent(e.flag);
}

void TSerialThread::SendEventMessages() {
    for (const EventFlag& e : EventOrder)
        if (FEvents & BitOf(e.event)) FSerialPort->PostEventMessage(e.flag);
}
