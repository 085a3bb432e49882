// The hand-over of calls to the main thread: a worker's call runs on the main thread while the
// worker waits, its exception comes back to the worker, and calls from several workers at once
// are each run exactly once, in the main loop, in a nested loop and while the main thread
// waits for a worker.
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <stdexcept>
#include <vector>

#include "base/Synchronize.h"

class TestSynchronize : public QObject {
    Q_OBJECT
private slots:
    void workerWaitsForItsCallOnTheMainThread() {
        QThread* ranOn = nullptr;
        bool returnedAfterRun = false;
        std::unique_ptr<QThread> worker(QThread::create([&] {
            Sync::Synchronize([&] { ranOn = QThread::currentThread(); });
            returnedAfterRun = ranOn != nullptr;
        }));
        worker->start();
        QTRY_VERIFY_WITH_TIMEOUT(worker->isFinished(), 10000);
        QCOMPARE(ranOn, QCoreApplication::instance()->thread());
        QVERIFY(returnedAfterRun);
    }

    void exceptionReturnsToTheWorker() {
        QString caught;
        std::unique_ptr<QThread> worker(QThread::create([&] {
            try {
                Sync::Synchronize([] { throw std::runtime_error("refused"); });
            } catch (const std::runtime_error& e) {
                caught = QString::fromLatin1(e.what());
            }
        }));
        worker->start();
        QTRY_VERIFY_WITH_TIMEOUT(worker->isFinished(), 10000);
        QCOMPARE(caught, QStringLiteral("refused"));
    }

    void onTheMainThreadTheCallRunsAtOnce() {
        bool ran = false;
        Sync::Synchronize([&] { ran = true; });
        QVERIFY(ran);
    }

    // Many workers calling at the same time: none is lost, none runs twice, all on the main
    // thread; half of them are taken inside a nested event loop.
    void callsFromSeveralWorkersAllRunOnce() {
        constexpr int Workers = 4, CallsEach = 300;
        std::atomic<int> offMain{0};
        int ran = 0;  // main thread only
        std::vector<std::unique_ptr<QThread>> workers;
        for (int w = 0; w < Workers; ++w) {
            workers.emplace_back(QThread::create([&] {
                for (int i = 0; i < CallsEach; ++i)
                    Sync::Synchronize([&] {
                        if (QThread::currentThread() != QCoreApplication::instance()->thread())
                            ++offMain;
                        ++ran;
                    });
            }));
        }
        for (auto& worker : workers) worker->start();
        QTRY_VERIFY_WITH_TIMEOUT(ran >= Workers * CallsEach / 2, 20000);
        QEventLoop nested;
        QTimer::singleShot(0, &nested, [&] {
            (void)QTest::qWaitFor([&] { return ran == Workers * CallsEach; }, 20000);
            nested.quit();
        });
        nested.exec();
        for (auto& worker : workers) QVERIFY(worker->wait(10000));
        QCOMPARE(ran, Workers * CallsEach);
        QCOMPARE(offMain.load(), 0);
    }

    // A main thread that waits for a worker without its event loop still runs its calls.
    void waitingForAWorkerRunsItsCalls() {
        int ran = 0;
        std::unique_ptr<QThread> worker(QThread::create([&] {
            for (int i = 0; i < 50; ++i) Sync::Synchronize([&] { ++ran; });
        }));
        worker->start();
        QVERIFY(Sync::WaitForThread(worker.get(), QDeadlineTimer(20000)));
        QCOMPARE(ran, 50);
    }
};

QTEST_MAIN(TestSynchronize)
#include "test_synchronize.moc"
