#pragma once
// Runs a function on the application's main thread and waits for it: the "synchronise" hand-over
// that the port's event thread, the exchange thread and the update worker use.
//
// Calls are queued and executed by the main thread's event loop (also inside modal dialogs).
// A main thread that has to wait for a worker which may itself be waiting in Synchronize()
// uses WaitForThread(), which keeps running the queued calls while it waits, so the two can
// never deadlock.
#include <QDeadlineTimer>
#include <functional>

class QThread;

namespace Sync {

// Runs fn on the main thread and returns when it has run. An exception thrown by fn is
// rethrown here, in the calling thread. Called on the main thread itself, fn runs at once.
void Synchronize(const std::function<void()>& fn);

// Main thread: runs every call queued so far.
void RunPendingCalls();

// Main thread: waits until `thread` has finished, running queued calls meanwhile.
// Returns false if the deadline passed first.
bool WaitForThread(QThread* thread,
                   QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever));

// True on the thread that created QCoreApplication (or the first thread to ask, without one).
bool IsMainThread();

}  // namespace Sync
