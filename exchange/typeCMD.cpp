#include "exchange/typeCMD.h"

#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <thread>

#include "exchange/FrameTap.h"
#include "exchange/Thread1.h"
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

// A line out of step still carries bytes of an earlier exchange, or is about to: they are
// purged until the line has been quiet for a few character times, so that the next answer
// cannot be mistaken for them. Bounded, so that a line flooded with noise still gets its
// request.
void LetLineFallSilent(TSerialPort& port) {
    constexpr int QuietMs = 5;
    constexpr int LongestWaitMs = 150;
    QElapsedTimer waited;
    waited.start();
    do {
        port.ClearBuffer(true, false);
        QThread::msleep(QuietMs);
    } while (port.InBufCount() > 0 && waited.elapsed() < LongestWaitMs);
}

// Modbus RTU ends a frame with 3.5 characters of silence: a request sent sooner after the last
// byte received may be taken by the instrument as the tail of that frame. Only a request that
// follows an answer at once has to wait (1.75 ms above 19200 bit/s, 32 ms at 1200). Bytes
// arriving meanwhile push the silence on, up to a bound, so a line that never falls silent
// still gets its request.
void KeepModbusSilence(const TSerialPort& port) {
    const auto silence =
        std::chrono::microseconds(protocol::FrameSilenceMicroseconds(port.BitsPerSecond()));
    const auto giveUp = std::chrono::steady_clock::now() + 4 * silence;
    for (;;) {
        const auto due = std::min(port.LastReceivedAt() + silence, giveUp);
        if (std::chrono::steady_clock::now() >= due) return;
        std::this_thread::sleep_until(due);
    }
}

}  // namespace

void TQuery::Query() {
    BuildFrame();
    TSerialPort* port = QueryTarget ? QueryTarget->QueryPort() : nullptr;
    if (port && LineOutOfStep.exchange(false)) {
        ++OutOfStepCount;
        LetLineFallSilent(*port);
    }
    if (port && ModbusFrame) KeepModbusSilence(*port);
    if (port) {
        port->ClearBuffer(true, true);
        port->Write(RequestBuffer, LengthOut);
        TapRequestWritten(*this, RequestBuffer, LengthOut);
    }
    if (QueryTarget) QueryTarget->ArmAnswerTimeout();
    AwaitingAnswer = true;
    ++SentCount;
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
