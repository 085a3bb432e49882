#include "base/Synchronize.h"

#include <QCoreApplication>
#include <QThread>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>

namespace Sync {
namespace {

struct Call {
    std::function<void()> fn;
    std::exception_ptr error;
    bool done = false;
};

std::mutex queueMutex;
std::condition_variable callDone;
std::deque<Call*> pendingCalls;

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
            call->fn();
        } catch (...) {
            call->error = std::current_exception();
        }
        {
            std::lock_guard<std::mutex> lock(queueMutex);
            call->done = true;
        }
        callDone.notify_all();
    }
}

void Synchronize(const std::function<void()>& fn) {
    QCoreApplication* app = QCoreApplication::instance();
    if (IsMainThread() || app == nullptr) {
        fn();
        return;
    }
    Call call;
    call.fn = fn;
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        pendingCalls.push_back(&call);
    }
    QMetaObject::invokeMethod(app, [] { RunPendingCalls(); }, Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(queueMutex);
    callDone.wait(lock, [&call] { return call.done; });
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
