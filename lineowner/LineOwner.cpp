#include "lineowner/LineOwner.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QTimer>

#include "exchange/Thread1.h"
#include "exchange/typeCMD.h"
#include "lineowner/MainExchange.h"
#include "serial/SerialPort.h"

namespace {

bool Polling() {
    const auto state = ExchangeState.load();
    return state == ExchangeStates::ReadingPreparation ||
           state == ExchangeStates::ContinuousReading;
}

std::vector<uint8_t> ToBytes(const QByteArray& bytes) {
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace

TLineOwner::TLineOwner(TSerialPort& port, TMainExchange& main, QObject* parent)
    : QObject(parent), FPort(port), FMain(main), FLine(port), FThread(new QThread) {
    setObjectName(QStringLiteral("LineOwner"));
    FThread->setObjectName(QStringLiteral("LineOwner"));
    FWorker = new QObject;
    FWorker->moveToThread(FThread.get());
    connect(FThread.get(), &QThread::finished, FWorker, &QObject::deleteLater);
    FThread->start();
    FNote = new QLabel(FMain.StatusBarWidget());
    FNote->setObjectName(QStringLiteral("LineHolderNote"));
    FNote->hide();
}

TLineOwner::~TLineOwner() {
    FThread->quit();
    FThread->wait();
    delete FNote;
}

bool TLineOwner::MainExchangeBusy() const {
    return RequestOnItsWay();
}

int TLineOwner::AnswerWaitMs() const {
    return FMain.AnswerWaitMs();
}

bool TLineOwner::Claim(QObject* window, const QString& name, Way way) {
    FRefusal.clear();
    if (Holds(window)) return true;
    if (Held()) {
        FRefusal = tr("Линию занимает окно «%1»: дождитесь окончания его работы или остановите её")
                       .arg(FName);
        return false;
    }
    // Seen before polling stops, which forgets the request in flight: its answer may come yet.
    const bool answerOnItsWay = AwaitingAnswer.load() || AnswerPending.load();
    const bool polling = Polling();
    if (way == Way::MainExchange) {
        // The window's requests follow the operator's: one still under way is waited for.
        if (polling) FMain.YieldPolling();
        if (RequestOnItsWay()) {
            FRefusal = tr("Дождитесь окончания обмена с прибором");
            return false;
        }
        ExchangeState = ExchangeStates::Single;
        FSettleMs = polling && answerOnItsWay ? AnswerWaitMs() : 0;
    } else {
        FMain.YieldPolling();
        FSettleMs = answerOnItsWay ? AnswerWaitMs() : 0;
    }
    FHolder = window;
    FName = name;
    FThroughMainExchange = way == Way::MainExchange;
    FLine.SetSource(name);
    connect(window, &QObject::destroyed, this, [this, window] { Release(window); });
    FMain.EnableOwnExchange(false);
    FSavedRate = FPort.BaudRate();
    FSavedCustomRate = FPort.CustomBaudRate();
    if (FNote) {
        FNote->setText(tr("Линию занимает окно «%1»").arg(name));
        FMain.ShowLineHolder(FNote);
    }
    Announce(name, way == Way::MainExchange);
    emit HolderChanged(name);
    return true;
}

void TLineOwner::Release(const QObject* window) {
    // A holder being destroyed may already read as null.
    if (FName.isEmpty() || (!FHolder.isNull() && FHolder != window)) return;
    if (window) disconnect(window, &QObject::destroyed, this, nullptr);
    FHolder = nullptr;
    FName.clear();
    FThroughMainExchange = false;
    FSettleMs = 0;
    FLine.SetSource(QString());
    RestoreSpeed();
    FMain.ShowLineHolder(nullptr);
    FMain.EnableOwnExchange(true);
    Announce(QString(), false);
    emit HolderChanged(QString());
}

// The holder may have asked at other speeds (a scan, a watch of several lines): the port goes
// back to the main window's. A port that refuses it is the port watch's to report.
void TLineOwner::RestoreSpeed() {
    if (FPort.BaudRate() == FSavedRate && FPort.CustomBaudRate() == FSavedCustomRate) return;
    try {
        FPort.SetCustomBaudRate(FSavedCustomRate);
        FPort.SetBaudRate(FSavedRate);
    } catch (const ESerialPort&) {
    }
}

void TLineOwner::WhenQuiet(const QObject* window, std::function<void()> ready) {
    if (FSettleMs <= 0) {
        ready();
        return;
    }
    QPointer<const QObject> holder(window);
    QTimer::singleShot(FSettleMs, this, [this, holder, ready = std::move(ready)] {
        if (holder && Holds(holder)) ready();
    });
}

// The frame monitor learns who holds the line: the main window's exchange's frames between
// these marks belong to a window that works through it.
void TLineOwner::Announce(const QString& name, bool throughMainExchange) {
    TFrameTap* tap = FrameTap.load(std::memory_order_acquire);
    if (!tap) return;
    TFrameEvent turn;
    turn.kind = TFrameEvent::Kind::Turn;
    turn.atNs = FrameTapNowNs();
    turn.source = name;
    turn.throughMainExchange = throughMainExchange;
    tap->FrameEvent(std::move(turn));
}

bool TLineOwner::Exchange(const QObject* window, const TLineRequest& request,
                          std::function<void(const TLineAnswer&)> done) {
    if (FExchanging || !Holds(window)) return false;
    FExchanging = true;
    const int waitMs = AnswerWaitMs();
    QPointer<TLineOwner> self(this);
    QMetaObject::invokeMethod(FWorker, [this, self, request, waitMs, done = std::move(done)] {
        const TLineAnswer answer = RunExchange(request, waitMs);
        QMetaObject::invokeMethod(
            this,
            [this, self, answer, done] {
                if (!self) return;
                FExchanging = false;
                done(answer);
            },
            Qt::QueuedConnection);
    });
    return true;
}

// On the owner's thread: the request, then its answer complete at its length (or as a whole
// Modbus exception answer), or ended by the line's silence for the answer wait.
TLineAnswer TLineOwner::RunExchange(const TLineRequest& request, int waitMs) {
    TLineAnswer answer;
    answer.request = request.frame;
    QElapsedTimer since;
    try {
        // What an earlier request left unread is no answer to this one.
        FLine.Discard();
        since.start();
        FLine.SendByHand(ToBytes(request.frame), request.modbus, request.answerLength,
                         request.meaning, request.describe);
        const std::vector<uint8_t> bytes = linescan::ReceiveAnswer(
            FLine, size_t(request.answerLength), request.modbus, std::chrono::milliseconds(waitMs));
        FLine.EndAnswer();
        answer.bytes =
            QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    } catch (const ESerialPort& e) {
        answer.failure = e.Text();
    }
    answer.latencyMs = since.isValid() ? double(since.nsecsElapsed()) / 1e6 : 0;
    return answer;
}
