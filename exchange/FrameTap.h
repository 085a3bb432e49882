#pragma once
// The frame tap: an observer of the bytes the exchange really puts on the line and takes off
// it, for the frame monitor and the frame log.
//
// The exchange calls one Tap* function at each point where bytes go out or come in: the
// request's write (TQuery::Query, main thread), each receive event while an answer is awaited
// (the main window's receive handler, main thread), the answer's read or the pass that found
// none (Th1::Pass, exchange thread), and a port failure met during an exchange (main thread).
// With no observer installed each call is one pointer test; with one, the call takes a time
// stamp and hands a copy of the bytes over. The tap never changes what is sent or when.
//
// The observer is called on the thread of the tap point and must be safe for both threads.
// Installing and removing it is done on the main thread; an observer stays alive as long as
// the exchange thread may run (the window that owns it ends that thread first).
#include <QByteArray>
#include <QString>
#include <atomic>
#include <cstdint>

#include "protocol/Commands.h"

class TQuery;

struct TFrameEvent {
    enum class Kind : uint8_t {
        Request,    // a request was written to the port
        Answer,     // an answer was read; its CRC is good
        BadCrc,     // an answer was read; its CRC is bad
        Timeout,    // the exchange thread woke and found no complete answer to read
        PortError,  // the port failed during an exchange
        Turn,       // a window took the line or gave it back (`source`; empty: given back)
    };
    Kind kind = Kind::Request;
    int64_t atNs = 0;  // steady clock (FrameTapNowNs), where the bytes went out or came in
    QByteArray bytes;  // the request as written, the answer as read (before any rewrite)

    // Request only: what was asked for.
    TListComand command = SetPar;
    uint8_t code = 0;      // the command's QV code
    bool modbus = false;   // the frame went out in Modbus RTU form
    uint8_t lengthIn = 0;  // length of the awaited answer, CRC included
    QByteArray data;       // the request's data bytes in QV order (channel, values)

    // Answer, BadCrc and Timeout: receive events since the request, first to last.
    int pieces = 0;
    int64_t spreadNs = 0;
    int available = 0;  // bytes waiting in the port when the exchange thread woke

    QString message;  // PortError: the port's text; byHand: what the frame means

    // Request, Answer, BadCrc through a Modbus TCP gateway: the MBAP header the frame travelled
    // with (transaction id, protocol id, length, unit id), in place of its address and CRC.
    QByteArray transportHeader;

    // A request or answer of a frame sent by hand (the registers window), not by the
    // exchange: `message` says what it means and `handError` whether that is an error.
    bool byHand = false;
    bool handError = false;

    // The window whose turn on the line the frame belongs to; empty: the main window's own
    // exchange. Turn: the window that took the line, and whether it works through the main
    // window's exchange (its frames then carry that window's name).
    QString source;
    bool throughMainExchange = false;
};

class TFrameTap {
public:
    virtual ~TFrameTap() = default;
    // Called on the main thread or on the exchange thread; must return quickly.
    virtual void FrameEvent(TFrameEvent&& event) = 0;
};

// The installed observer; null when nobody listens.
extern std::atomic<TFrameTap*> FrameTap;

// Steady-clock nanoseconds, the clock of every event's time stamp.
int64_t FrameTapNowNs();

// Out-of-line halves of the tap points, reached only when an observer is installed.
namespace FrameTapDetail {
void RequestWritten(TFrameTap& tap, const TQuery& query, const uint8_t* frame, int length);
void Piece();
void Taken(TFrameTap& tap, const uint8_t* answer, int length, int available);
void NothingTaken(TFrameTap& tap, int available);
void PortFailed(TFrameTap& tap, const QString& message);
}  // namespace FrameTapDetail

// TQuery::Query, right after the write.
inline void TapRequestWritten(const TQuery& query, const uint8_t* frame, int length) {
    if (TFrameTap* tap = FrameTap.load(std::memory_order_acquire))
        FrameTapDetail::RequestWritten(*tap, query, frame, length);
}
// The receive handler, for each receive event while an answer is awaited.
inline void TapPiece() {
    if (FrameTap.load(std::memory_order_relaxed)) FrameTapDetail::Piece();
}
// Th1::Pass, right after an answer's read.
inline void TapAnswerTaken(const uint8_t* answer, int length, int available) {
    if (TFrameTap* tap = FrameTap.load(std::memory_order_acquire))
        FrameTapDetail::Taken(*tap, answer, length, available);
}
// Th1::Pass, when the wake-up found no answer to read.
inline void TapNoAnswer(int available) {
    if (TFrameTap* tap = FrameTap.load(std::memory_order_acquire))
        FrameTapDetail::NothingTaken(*tap, available);
}
// Where a port failure during an exchange is reported.
inline void TapPortError(const QString& message) {
    if (TFrameTap* tap = FrameTap.load(std::memory_order_acquire))
        FrameTapDetail::PortFailed(*tap, message);
}
