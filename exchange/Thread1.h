#pragma once
// The exchange cycle: the shared exchange state and Th1, the exchange thread.
//
// Th1 sleeps between answers. It is woken once per request (enough bytes arrived, or the
// 370 ms silence passed), reads the input count and the answer bytes, and has the main thread
// carry out everything else (answer rewrite, interpretation, retries, messages) while it
// waits. The wake-up is counted, so one that arrives while a pass is still running is kept.
#include <QSemaphore>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <functional>

#include "exchange/ExchangeStates.h"
#include "protocol/Limits.h"

// Shared by the main thread and the exchange thread.
extern std::atomic<bool> AwaitingAnswer;
extern std::atomic<ExchangeStates> ExchangeState;
extern std::atomic<uint8_t> ProtocolIsModbus;  // 1: Modbus RTU, 0: QV
extern std::atomic<int32_t> SentCount;
extern std::atomic<int32_t> CrcErrorCount;
extern std::atomic<int32_t> NoAnswerCount;
extern std::atomic<uint8_t> SavedProtocol;  // protocol as it was when a search started
// True from the wake-up given for an answer (or its time-out) until the exchange thread has
// taken the answer's bytes: bytes that arrive outside that span and outside AwaitingAnswer
// belong to no request.
extern std::atomic<bool> AnswerPending;
// Bytes came that belong to no request (late, duplicated, beyond the answer, from another
// address): before the next request the line is left to fall silent and purged.
extern std::atomic<bool> LineOutOfStep;
extern std::atomic<int32_t> OutOfStepCount;  // times the line was found out of step
// Answers given up because they could not be told from a duplicate or a late answer: with
// the answered, unanswered and corrupted ones, every request ends as one of these.
extern std::atomic<int32_t> DiscardedAnswerCount;
// Main thread only.
extern uint16_t SetpointFormat;  // 710: 16-bit setpoints; anything else: 8-bit
extern uint8_t ScalePointPos;    // point code of the scale last read or written

constexpr int AnswerTimeoutMs = protocol::AnswerTimeoutMs;

// Polling holds each value until the line has stayed quiet behind its answer (a short settle
// time, or the pause before the next request, whichever ends first): a duplicate or late
// answer arriving meanwhile shows that the value may be another channel's, and it is dropped.
// Main thread only. Confirm decides (call it before the next request goes out, as that purges
// the line); Show draws a confirmed value; Drop forgets a held one.
bool ConfirmHeldReading();
// A request awaits its answer, or is held back until the line allows it to go out.
bool RequestOnItsWay();
void ShowConfirmedReading();
void DropHeldReading();
using protocol::SearchAddress;  // the search goes to it in QV form

class Th1 : public QThread {
    Q_OBJECT
public:
    Th1();
    ~Th1() override;

    void WakeUp();     // one counted wake-up
    void Suspend();    // drops wake-ups not yet taken, so none is delivered
    void Terminate();  // ends the loop and waits for it (main thread)

    // Run on the main thread while the exchange thread waits.
    void Update();
    void decmb();
    void MBer();
    void RepeatQuery();
    void RepeatQueryCRC();
    void thrErrBox();
    // The request ended without its answer: the search's next attempt, the polling's repeat,
    // or the error box.
    void NoAnswer();
    // The answer taken cannot be told from a duplicate or a late one.
    void AnswerOutOfStep();

    // Passes completed so far (tests and benchmarks wait on it).
    int PassCount() const { return FPasses.load(); }

protected:
    void run() override { Execute(); }

private:
    void Execute();
    void Pass();
    // Runs fn on the main thread unless the thread was suspended since the pass began.
    void RunUnlessSuspended(int epoch, const std::function<void()>& fn);
    void ReportPassFailure(const QString& message);
    void RepeatAfterFailure(std::atomic<int32_t>& counter, const QString& text);

    QTimer* FConfirmTimer = nullptr;  // confirms a held reading after the settle time
    QSemaphore FWake;
    std::atomic<bool> FTerminated{false};
    std::atomic<int> FPasses{0};
    // Bumped by Suspend: a pass that began before it hands nothing more to the main thread.
    std::atomic<int> FEpoch{0};
    std::atomic<int> FWakeEpoch{0};  // FEpoch when the latest wake-up was given
};

extern Th1* ExchangeThread;
