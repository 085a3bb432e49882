#pragma once
// TRegisterLine: one frame at a time over the main window's port, for the registers window.
// The frame is written on the main thread; the answer is collected by a short timer that takes
// whatever the port has queued, so the main thread never waits: the answer is complete at its
// expected length (or as a whole Modbus exception answer), or when the line has been silent
// for the answer wait since the last byte. Every request, answer and silence is handed to the
// frame tap, so that the frame monitor shows them beside the exchange's own.
//
// The port is the main window's: whoever owns the line must have stopped the window's
// exchange first (see TRegistersWindow). Main thread only.
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

class TSerialPort;

struct TLineRequest {
    QByteArray frame;
    int answerLength = 256;  // bytes that complete the answer; 256: the silence ends it
    bool modbus = true;      // the frame is Modbus RTU (an exception answer may end it early)
    QString meaning;         // what the request asks, for the frame monitor
};

struct TLineAnswer {
    QByteArray request;
    QByteArray bytes;      // empty: no answer
    double latencyMs = 0;  // request written -> answer complete or silence
    QString failure;       // the port failed (bytes then empty)
};

class TRegisterLine : public QObject {
    Q_OBJECT
public:
    // `answerWaitMs` is asked at every request (the settings may change it).
    TRegisterLine(TSerialPort& port, std::function<int()> answerWaitMs, QObject* parent = nullptr);

    // Writes the frame; false (and Answered with the failure) when the port fails or is
    // closed, false without a signal while a request is under way.
    bool Send(const TLineRequest& request);
    bool Busy() const { return FBusy; }

    // What the answer means and whether that is an error, for the frame monitor's row; the
    // window sets it (the protocol core reads the frames).
    using Describe =
        std::function<QString(const QByteArray& request, const QByteArray& answer, bool& error)>;
    void SetDescribe(Describe describe) { FDescribe = std::move(describe); }

    // How often the queued bytes are taken while an answer is awaited.
    static constexpr int PollIntervalMs = 2;

signals:
    void Answered(const TLineAnswer& answer);

private:
    void Poll();
    bool Complete() const;
    void Finish(const QString& failure = QString());

    TSerialPort& FPort;
    std::function<int()> FAnswerWaitMs;
    Describe FDescribe;
    QTimer FPoll;
    QElapsedTimer FSince;    // from the request's write
    qint64 FLastByteMs = 0;  // FSince's reading at the last byte
    int FWaitMs = 370;
    bool FBusy = false;
    TLineRequest FRequest;
    QByteArray FReceived;
};
