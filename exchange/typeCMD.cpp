#include "exchange/typeCMD.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <thread>

#include "exchange/Convert.h"
#include "exchange/FrameTap.h"
#include "exchange/Thread1.h"
#include "protocol/Limits.h"
#include "protocol/ModbusFrames.h"
#include "serial/SerialPort.h"

std::array<TCommandEntry, CommandCount> CommandTable{};
uint8_t RequestBuffer[FrameBufferSize];
uint8_t AnswerBuffer[FrameBufferSize];
TQuery* CurrentQuery = nullptr;
TQueryTarget* QueryTarget = nullptr;

void FillCommandTable() {
    CommandTable = DefaultCommandTable();
}

void TQuery::SetName(TListComand name) {
    FName = name;
    Reset();
    Code = CommandTable[name].Code;
    LengthOut = CommandTable[name].LengthOut;
    LengthIn = CommandTable[name].LengthIn;
}

void TQuery::Push(uint8_t c) {
    // Callers push at most 64 bytes; the guard keeps a stray caller inside the buffer.
    if (IndexData + 1 >= FrameBufferSize) return;
    ++IndexData;
    Data[IndexData] = c;
}

void TQuery::BuildFrame() {
    // A relay must be named on the wire: with no selection, relay 1 is written.
    const int relay = QueryTarget ? QueryTarget->SelectedRelay() + 1 : 1;
    uint8_t lengthOut = LengthOut;
    uint8_t lengthIn = LengthIn;
    ModbusFrame =
        protocol::BuildRequestFrame(FName, Code, lengthOut, lengthIn, Adr, Data + 1, IndexData,
                                    ProtocolIsModbus == 1, relay, RequestBuffer);
    LengthOut = lengthOut;
    LengthIn = lengthIn;
}

namespace {

using Clock = std::chrono::steady_clock;

// When the last request went unanswered (0: it did not), as Clock ticks.
std::atomic<Clock::rep> UnansweredAt{0};

// Bytes that belonged to no request are purged until the line has been quiet a few character
// times; bounded, so that a line flooded with noise still gets its request.
constexpr auto StrayQuiet = std::chrono::milliseconds(5);
constexpr auto StrayHoldLongest = std::chrono::milliseconds(150);
// An answer that comes after its time-out would be taken for the next request's: after a
// request went unanswered the line is watched this long more, and what arrives is purged.
constexpr auto LateAnswerGrace = std::chrono::milliseconds(150);
constexpr auto LateAnswerHoldLongest = std::chrono::milliseconds(1000);

}  // namespace

void NoteRequestUnanswered() {
    UnansweredAt = Clock::now().time_since_epoch().count();
}

// When the request may go out. Modbus RTU ends a frame with 3.5 characters of silence: a
// request sent sooner after the last byte received may be taken by the instrument as the tail
// of that frame (1.75 ms above 19200 bit/s, 32 ms at 1200). Bytes arriving meanwhile push
// every wait on, up to its bound.
Clock::time_point TQuery::LineFreeAt(const TSerialPort& port) const {
    const Clock::time_point last = port.LastReceivedAt();
    Clock::time_point due = FHoldStarted;
    if (FHoldForStray)
        due = std::max(due, std::min(last + StrayQuiet, FHoldStarted + StrayHoldLongest));
    if (FHoldForLateAnswer) {
        const Clock::time_point quietFrom = std::max(last, FUnansweredAt);
        due = std::max(due,
                       std::min(quietFrom + LateAnswerGrace, FHoldStarted + LateAnswerHoldLongest));
    }
    // A Modbus TCP gateway frames each request itself: no silence is needed before it.
    if (ModbusFrame && port.NeedsFrameSilence()) {
        const auto silence =
            std::chrono::microseconds(protocol::FrameSilenceMicroseconds(port.BitsPerSecond()));
        due = std::max(due, std::min(last + silence, FHoldStarted + 4 * silence));
    }
    return due;
}

// Every request of the instrument's operation goes to an address the protocol can carry: a
// Modbus RTU broadcast (0) would be carried out by every instrument on the line, and an
// address past the protocol's range would be cut to its low bits and reach another one. The
// search and the protocol switch carry their own fixed addresses.
void TQuery::RefuseAddressOutOfRange() const {
    if (FName == SetTypeProt || (FName == GetTypeProt && Adr == protocol::SearchAddress)) return;
    const bool modbus = ProtocolIsModbus != 0;
    if (protocol::InstrumentAddressValid(Adr, modbus)) return;
    throw EConvertError(QCoreApplication::translate(
                            "TQuery",
                            "Адрес прибора %1 недопустим в протоколе %2 (допустимо 1..%3): введите "
                            "адрес прибора в поле «Сетевой адрес» или найдите прибор поиском")
                            .arg(Adr)
                            .arg(modbus ? QStringLiteral("ModBus RTU") : QStringLiteral("QV"))
                            .arg(protocol::HighestInstrumentAddress(modbus)));
}

void TQuery::Query() {
    RefuseAddressOutOfRange();
    BuildFrame();
    TSerialPort* port = QueryTarget ? QueryTarget->QueryPort() : nullptr;
    if (!port) {
        if (QueryTarget) QueryTarget->ArmAnswerTimeout();
        AwaitingAnswer = true;
        ++SentCount;
        return;
    }
    // A request asked for while another is held back replaces it: the newest is sent.
    if (!FHoldTimer || !FHoldTimer->isActive()) {
        FHoldStarted = Clock::now();
        FHoldForStray = false;
        FHoldForLateAnswer = false;
    }
    if (LineOutOfStep.exchange(false)) FHoldForStray = true;
    if (const Clock::rep at = UnansweredAt.exchange(0)) {
        FHoldForLateAnswer = true;
        FUnansweredAt = Clock::time_point(Clock::duration(at));
    }
    SendWhenLineAllows();
}

// Sends at once when the line allows it; otherwise the request is held and the line purged on
// a timer until it does, the window going on meanwhile.
void TQuery::SendWhenLineAllows() {
    TSerialPort* port = QueryTarget ? QueryTarget->QueryPort() : nullptr;
    if (!port) {
        DropHeld();
        return;
    }
    if (LineOutOfStep.exchange(false)) FHoldForStray = true;
    if (FHoldForStray || FHoldForLateAnswer) port->ClearBuffer(true, false);
    const Clock::time_point due = LineFreeAt(*port);
    const Clock::time_point now = Clock::now();
    if (now < due) {
        if (!FHoldTimer) {
            FHoldTimer = new QTimer(this);
            FHoldTimer->setSingleShot(true);
            FHoldTimer->setTimerType(Qt::PreciseTimer);
            connect(FHoldTimer, &QTimer::timeout, this, &TQuery::SendHeld);
        }
        // Purged every few milliseconds while held, so bytes that keep coming are seen.
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(due - now) +
                          std::chrono::milliseconds(1);
        FHoldTimer->start(int(std::min<qint64>(wait.count(), 5)));
        return;
    }
    if (FHoldForStray) ++OutOfStepCount;
    FHoldForStray = false;
    FHoldForLateAnswer = false;
    port->ClearBuffer(true, true);
    port->Write(RequestBuffer, LengthOut);
    TapRequestWritten(*this, RequestBuffer, LengthOut);
    if (QueryTarget) QueryTarget->ArmAnswerTimeout();
    AwaitingAnswer = true;
    ++SentCount;
}

// The held request's turn came on the timer: a port failure cannot go back to whoever asked,
// so it is reported as a failure of the exchange.
void TQuery::SendHeld() {
    try {
        SendWhenLineAllows();
    } catch (const ESerialPort& e) {
        ReportHeldRequestFailure(e);
    }
}

void TQuery::DropHeld() {
    if (FHoldTimer) FHoldTimer->stop();
    FHoldForStray = false;
    FHoldForLateAnswer = false;
}

bool TQuery::Held() const {
    return FHoldTimer && FHoldTimer->isActive();
}

void TQuery::QueryAt(uint16_t address, TListComand name) {
    const uint16_t saved = Adr;
    Adr = address;
    SetName(name);
    try {
        Query();
    } catch (...) {
        Adr = saved;
        throw;
    }
    Adr = saved;
}
