#include "base/Synchronize.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSemaphore>
#include <QThread>
#include <atomic>
#include <deque>
#include <exception>
#include <mutex>

namespace Sync {
namespace {

// One call handed over to the main thread. It lives on the stack of the thread that waits for
// it, which is why the function is only pointed to: it outlives the call.
struct Call {
    explicit Call(const std::function<void()>& function) : fn(&function) {}
    const std::function<void()>* fn;
    std::exception_ptr error;
    QSemaphore done;  // released once fn has run; the waiter sleeps on it alone
};

std::mutex queueMutex;
std::deque<Call*> pendingCalls;

QEvent::Type RunCallsEvent() {
    static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
    return type;
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

CallRunner::CallRunner(QObject* application) : QObject(application) { runner = this; }

CallRunner::~CallRunner() {
    CallRunner* self = this;
    runner.compare_exchange_strong(self, nullptr);
}

bool CallRunner::event(QEvent* event) {
    if (event->type() != RunCallsEvent()) return QObject::event(event);
    RunPendingCalls();
    return true;
}

void MakeCallRunner() { new CallRunner(QCoreApplication::instance()); }
Q_COREAPP_STARTUP_FUNCTION(MakeCallRunner)

// One posted event per batch of calls: a worker posts only when it finds the queue empty;
// otherwise an event is on its way or the main thread is still draining the queue.
void WakeMainThread(QCoreApplication* app) {
    if (CallRunner* target = runner.load())
        QCoreApplication::postEvent(target, new QEvent(RunCallsEvent()));
    else
        QMetaObject::invokeMethod(app, [] { RunPendingCalls(); }, Qt::QueuedConnection);
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
        call->done.release();  // the waiter may now end the call: not touched after this
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
    call.done.acquire();
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
