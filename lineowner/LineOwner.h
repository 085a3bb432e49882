#pragma once
// TLineOwner: the one place that decides who talks on the line. The main window's own
// exchange has the line unless a window holds it; a window (the line view, the registers, the
// read-all and the configuration write of the service menu, ...) claims it, works, and gives
// it back. While a window holds the line, the main window's polling is stopped, its pages and
// own exchange buttons are off, and the status bar names the window. The first request waits
// until an answer the main window's exchange still had on its way has passed (SettleMs,
// WhenQuiet).
//
// A window sends either through the main window's exchange (Way::MainExchange: read-all and
// the configuration write drive the parameter page) or over the owner's TSerialLine: from a
// thread of its own through Line(), or from the main thread through Exchange(), which runs the
// request on the owner's thread and hands the answer back. Every frame reaches the frame tap
// tagged with the holder's name. Main thread only (Line() is used on the holder's thread).
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>
#include <functional>
#include <memory>

#include "lineowner/LineExchange.h"
#include "lineowner/SerialLine.h"
#include "serial/SerialPort.h"

class TMainExchange;

class TLineOwner : public QObject {
    Q_OBJECT
public:
    enum class Way {
        OwnRequests,   // the window sends over Line() or Exchange()
        MainExchange,  // the window drives the main window's exchange
    };

    TLineOwner(TSerialPort& port, TMainExchange& main, QObject* parent = nullptr);
    ~TLineOwner() override;  // waits for a request of Exchange() under way

    // Gives the line to `window`, shown as `name`. False, and nothing changes, while another
    // window holds it, or (MainExchange) while a request of the main window's own is on its
    // way; Refusal() then says why. Claiming again while holding it is granted. A window
    // destroyed while holding the line gives it back.
    bool Claim(QObject* window, const QString& name, Way way = Way::OwnRequests);
    QString Refusal() const { return FRefusal; }
    void Release(const QObject* window);
    bool Holds(const QObject* window) const { return FHolder && FHolder == window; }
    bool Held() const { return !FHolder.isNull(); }
    QString HolderName() const { return Held() ? FName : QString(); }
    QLabel* HolderNote() const { return FNote; }
    // Tells the frame tap again who holds the line: a monitor that starts listening mid-turn
    // learns whose the main window's exchange's frames are.
    void AnnounceHolder() { Announce(FName, FThroughMainExchange); }

    // How long the holder leaves the line quiet before its first request: the answer wait when
    // the main window's exchange had a request on its way as the line was claimed, else 0.
    int SettleMs() const { return FSettleMs; }
    // Calls `ready` once that wait is over (at once when there is none); not at all when the
    // window has given the line back meanwhile.
    void WhenQuiet(const QObject* window, std::function<void()> ready);

    // The line for the holder's own requests, from one thread at a time.
    TSerialLine& Line() { return FLine; }
    // One request of the holder from the main thread: sent and answered on the owner's
    // thread, `done` called on the main thread. False while one is under way, or when
    // `window` does not hold the line.
    bool Exchange(const QObject* window, const TLineRequest& request,
                  std::function<void(const TLineAnswer&)> done);
    bool Exchanging() const { return FExchanging; }
    // The main window's exchange has a request out (awaiting its answer, or held back until
    // the line allows it).
    bool MainExchangeBusy() const;
    int AnswerWaitMs() const;

signals:
    // The line was claimed (`name`) or given back (empty).
    void HolderChanged(const QString& name);

private:
    TLineAnswer RunExchange(const TLineRequest& request, int waitMs);
    void Announce(const QString& name, bool throughMainExchange);
    void RestoreSpeed();

    TSerialPort& FPort;
    TMainExchange& FMain;
    TSerialLine FLine;
    QPointer<QObject> FHolder;
    QString FName;
    QString FRefusal;
    int FSettleMs = 0;
    bool FThroughMainExchange = false;  // the holder drives the main window's exchange
    TBaudRate FSavedRate = br9600;      // the port's speed when the line was claimed
    int32_t FSavedCustomRate = 0;
    QPointer<QLabel> FNote;            // in the main window's status bar, which may go first
    std::unique_ptr<QThread> FThread;  // runs Exchange()'s requests
    QObject* FWorker = nullptr;        // lives on FThread
    bool FExchanging = false;
};
