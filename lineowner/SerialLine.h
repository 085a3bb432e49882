#pragma once
// TSerialLine: the main window's port as a linescan::LinePort, the one way any window other
// than the main window's own exchange talks on the line. It keeps the line's timing (the
// silence of 3.5 characters before every request) and hands every frame to the frame tap,
// tagged with the name of the window whose turn it is: the request when it is written, the
// answer (or the silence) once the next request, a purge or EndAnswer says it is over.
//
// Used by one thread at a time: the holder's worker thread, or the owner's exchange thread;
// SetSource is called by the owner on the main thread between turns.
#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>
#include <mutex>

#include "exchange/FrameTap.h"
#include "linescan/LinePort.h"

class TSerialPort;

class TSerialLine : public linescan::LinePort {
public:
    using Describe =
        std::function<QString(const QByteArray& request, const QByteArray& answer, bool& error)>;

    explicit TSerialLine(TSerialPort& port);

    // The window whose frames these are; empty between turns.
    void SetSource(const QString& name);
    QString Source() const;

    void SetSpeed(int32_t baud) override;
    void Discard() override;
    void Send(const std::vector<uint8_t>& frame) override;
    void SendRequest(const protocol::RequestFrame& request) override;
    bool Receive(std::vector<uint8_t>& into, linescan::Clock::time_point deadline) override;
    linescan::Clock::time_point Now() const override;

    // A frame that is none of the instrument's commands (a register request, a frame typed by
    // hand): `meaning` is shown for it, and `describe` says what its answer means.
    void SendByHand(const std::vector<uint8_t>& frame, bool modbus, int answerLength,
                    const QString& meaning, Describe describe);
    // The answer to the last request is complete, or will not come: its row goes out now.
    void EndAnswer();
    // Requests written since the line was made.
    size_t RequestsSent() const { return FSent.load(); }

    // How often the queued bytes are looked at while an answer is awaited.
    static constexpr std::chrono::milliseconds PollStep{1};

private:
    void KeepSilence();
    void Write(const std::vector<uint8_t>& frame, TFrameEvent&& request);
    void Tap(TFrameEvent&& event) const;

    TSerialPort& FPort;
    mutable std::mutex FSourceMutex;
    QString FSource;  // guarded by FSourceMutex
    std::atomic<size_t> FSent{0};

    // The request awaiting its answer, and what came for it so far.
    bool FAwaiting = false;
    TFrameEvent FRequest;
    Describe FDescribe;
    QByteArray FAnswer;
    int FPieces = 0;
    int64_t FFirstByteNs = 0;
    int64_t FLastByteNs = 0;
};
