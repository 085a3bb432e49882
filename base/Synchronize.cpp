#include "base/Synchronize.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <atomic>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#ifdef __linux__
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>
#else
#include <condition_variable>
#endif

namespace Sync {
namespace {

// The waiting thread's sleep until the main thread has run its call. The main thread's last
// touch of it is one atomic exchange; the wake-up after that names only an address, so the
// waiter may end the call, and the stack frame holding it, as soon as it sees the exchange.
// (A semaphore or condition variable may still be written to by its wake-up, after the
// waiter has gone.) On Linux the sleep is a futex; elsewhere one shared condition variable.
class Done {
public:
    void Wait();
    void Signal();

private:
    enum : int { Running, Sleeping, Finished };
    std::atomic<int> FState{Running};
};

#ifdef __linux__
void Done::Wait() {
    for (;;) {
        int state = Running;
        if (FState.compare_exchange_strong(state, Sleeping) || state == Sleeping)
            ::syscall(SYS_futex, reinterpret_cast<int*>(&FState), FUTEX_WAIT_PRIVATE, int(Sleeping),
                      nullptr, nullptr, 0);
        else if (state == Finished)
            return;
    }
}

void Done::Signal() {
    int* const address = reinterpret_cast<int*>(&FState);
    if (FState.exchange(Finished) == Sleeping)
        ::syscall(SYS_futex, address, FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}
#else
std::mutex doneMutex;
std::condition_variable doneChanged;

void Done::Wait() {
    std::unique_lock<std::mutex> lock(doneMutex);
    doneChanged.wait(lock, [this] { return FState.load() == Finished; });
}

void Done::Signal() {
    {
        std::lock_guard<std::mutex> lock(doneMutex);
        FState = Finished;
    }
    doneChanged.notify_all();
}
#endif

// One call handed over to the main thread. It lives on the stack of the thread that waits for
// it, which is why the function is only pointed to: it outlives the call.
struct Call {
    explicit Call(const std::function<void()>& function) : fn(&function) {}
    const std::function<void()>* fn;
    std::exception_ptr error;
    Done done;
};

std::mutex queueMutex;
std::deque<Call*> pendingCalls;

QEvent::Type RunCallsEvent() {
    static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
    return type;
}

// The event that has the main thread run the queued calls. Qt deletes a posted event once it
// is delivered; these come from a few slots kept for them, since one is posted for nearly
// every hand-over. More than the slots in flight at once (never expected: one is posted only
// when the queue was empty) fall back to the heap.
class RunCalls : public QEvent {
public:
    RunCalls() : QEvent(RunCallsEvent()) { Publish(this); }
    static void* operator new(size_t size);
    static void operator delete(void* block);

private:
    // Made in a slot, the event is published with a release on its slot's flag, which the
    // main thread's release of the slot acquires: so the event's making is ordered before its
    // unmaking by the flag itself, not only by the toolkit's queue, which race checkers
    // cannot see into.
    static void Publish(RunCalls* event);

    static constexpr int SlotCount = 4;
    struct alignas(std::max_align_t) Slot {
        unsigned char bytes[sizeof(QEvent)];
    };
    static Slot Storage[SlotCount];
    static std::atomic<bool> Taken[SlotCount];
};

RunCalls::Slot RunCalls::Storage[SlotCount];
std::atomic<bool> RunCalls::Taken[SlotCount];

void* RunCalls::operator new(size_t size) {
    if (size <= sizeof(Slot))
        for (int i = 0; i < SlotCount; ++i)
            if (!Taken[i].exchange(true, std::memory_order_acquire)) return &Storage[i];
    return ::operator new(size);
}

void RunCalls::Publish(RunCalls* event) {
    for (int i = 0; i < SlotCount; ++i)
        if (static_cast<void*>(event) == &Storage[i])
            Taken[i].store(true, std::memory_order_release);
}

void RunCalls::operator delete(void* block) {
    for (int i = 0; i < SlotCount; ++i)
        if (block == &Storage[i]) {
            Taken[i].exchange(false, std::memory_order_acq_rel);
            return;
        }
    ::operator delete(block);
}

// Receives the event that has the main thread run the queued calls. It is made with the
// application, so that it lives on the main thread, and goes with it.
class CallRunner : public QObject {
public:
    explicit CallRunner(QObject* application);
    ~CallRunner() override;

protected:
    bool event(QEvent* event) override;
};

std::atomic<CallRunner*> runner{nullptr};

CallRunner::CallRunner(QObject* application) : QObject(application) {
    runner = this;
}

CallRunner::~CallRunner() {
    CallRunner* self = this;
    runner.compare_exchange_strong(self, nullptr);
}

bool CallRunner::event(QEvent* event) {
    if (event->type() != RunCallsEvent()) return QObject::event(event);
    RunPendingCalls();
    return true;
}

void MakeCallRunner() {
    new CallRunner(QCoreApplication::instance());
}
Q_COREAPP_STARTUP_FUNCTION(MakeCallRunner)

// One posted event per batch of calls: a worker posts only when it finds the queue empty;
// otherwise an event is on its way or the main thread is still draining the queue.
void WakeMainThread(QCoreApplication* app) {
    if (CallRunner* target = runner.load())
        QCoreApplication::postEvent(target, new RunCalls);
    else
        QMetaObject::invokeMethod(
            app, [] { RunPendingCalls(); }, Qt::QueuedConnection);
}

}  // namespace

bool IsMainThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app == nullptr || QThread::currentThread() == app->thread();
}

void RunPendingCalls() {
    for (;;) {
        Call* call = nullptr;
        {
            std::lock_guard<std::mutex> lock(queueMutex);
            if (pendingCalls.empty()) return;
            call = pendingCalls.front();
            pendingCalls.pop_front();
        }
        try {
            (*call->fn)();
        } catch (...) {
            call->error = std::current_exception();
        }
        call->done.Signal();  // the waiter may now end the call: not touched after this
    }
}

void Synchronize(const std::function<void()>& fn) {
    QCoreApplication* app = QCoreApplication::instance();
    if (IsMainThread() || app == nullptr) {
        fn();
        return;
    }
    Call call(fn);
    bool first = false;
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        first = pendingCalls.empty();
        pendingCalls.push_back(&call);
    }
    if (first) WakeMainThread(app);
    call.done.Wait();
    if (call.error) std::rethrow_exception(call.error);
}

bool WaitForThread(QThread* thread, QDeadlineTimer deadline) {
    // A short slice keeps the queued calls flowing; the worker is usually gone within one slice.
    while (!thread->wait(QDeadlineTimer(5))) {
        RunPendingCalls();
        if (deadline.hasExpired()) return false;
    }
    RunPendingCalls();
    return true;
}

}  // namespace Sync
