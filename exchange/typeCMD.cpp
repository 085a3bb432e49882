#include "exchange/typeCMD.h"

#include <QElapsedTimer>
#include <QThread>
#include <cstring>

#include "exchange/Thread1.h"
#include "protocol/Crc.h"
#include "exchange/mb.h"
#include "serial/SerialPort.h"

std::array<TCommandEntry, CommandCount> CommandTable{};
uint8_t RequestBuffer[FrameBufferSize];
uint8_t AnswerBuffer[FrameBufferSize];
TQuery* CurrentQuery = nullptr;
TQueryTarget* QueryTarget = nullptr;

void FillCommandTable() {
    auto set = [](TListComand n, uint8_t code, uint8_t out, uint8_t in) {
        CommandTable[n] = {code, out, in};
    };
    CommandTable.fill({0, 0, 0});
    set(SetPar, 0x01, 12, 6);
    set(GetPar, 0x41, 6, 12);
    set(SetMode, 0x21, 6, 6);
    set(GetMode, 0x61, 5, 6);
    set(GetVal, 0x40, 6, 10);
    set(SetBright, 0x03, 6, 6);
    set(GetBright, 0x43, 5, 6);
    set(SetAdr, 0x00, 7, 6);
    set(GetAdr, 0x4A, 5, 5);
    set(SetInfo, 0x05, 69, 6);
    set(GetInfo, 0x45, 5, 69);
    set(SetUst1, 0x06, 6, 6);
    set(GetUst1, 0x46, 5, 6);
    set(SetUst2, 0x07, 6, 6);
    set(GetUst2, 0x47, 5, 6);
    set(GetYear, 0x44, 5, 9);
    set(SetYear, 0x0F, 8, 6);
    set(SetNumberOfProduce, 0x31, 7, 6);
    set(SetYearMB, 0x32, 7, 6);
    set(GetTypeProt, 0xFF, 8, 7);
    set(SetTypeProt, 0xFE, 7, 6);
    set(SetSpeed, 0x02, 6, 6);
    set(SetSpeed2, 0x04, 6, 6);
    set(GetIEC, 0x48, 6, 11);
    set(GetSpeakerMode, 0x50, 5, 6);
    set(GetRelayParams, 0x51, 19, 6);
    set(GetRelayGist, 0x52, 11, 6);
    set(GetVersForUst1, 0x53, 5, 6);
    set(GetVersForUst2, 0x54, 5, 6);
    set(GetVersForUst11, 0x55, 5, 6);
    set(GetVersForUst22, 0x56, 5, 6);
    set(SetUst11, 0x57, 6, 6);
    set(SetUst22, 0x58, 6, 6);
}

bool IsModbusOnlyWrite(TListComand name) {
    switch (name) {
        case SetIEC:
        case SetSpeakerMode:
        case SetUst11:
        case SetUst22:
        case SetRelayParams:
        case SetRelayGist:
            return true;
        default:
            return false;
    }
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

namespace {

// Writes the six Modbus-only commands straight into RequestBuffer; returns the frame length.
uint8_t BuildModbusOnlyWrite(const TQuery& q, int relay) {
    uint8_t* m = RequestBuffer;
    const uint8_t* d = q.Data;
    const uint8_t address = uint8_t(q.Adr & 0xFF);
    auto put = [m](std::initializer_list<uint8_t> bytes) {
        std::memcpy(m, bytes.begin(), bytes.size());
    };
    switch (q.FName) {
        case SetIEC:
            put({address, 0x10, 0x0A, 0x00, 0x00, 0x04, 0x08, d[1], d[2], d[3], d[4], d[5], d[6],
                 d[7], d[8]});
            return 17;
        case SetSpeakerMode:
            put({address, 0x06, 0x50, 0x00, d[1], d[2]});
            return 8;
        case SetUst11:
            put({address, 0x06, 0x50, 0x04, d[1], d[2]});
            return 8;
        case SetUst22:
            put({address, 0x06, 0x50, 0x06, d[1], d[2]});
            return 8;
        case SetRelayParams:
            put({address, 0x10, 0x02, uint8_t(relay == 1 ? 0x32 : 0x2A), 0x00, 0x04, 0x08, d[1],
                 d[2], 0x00, 0x00, 0x00, 0x00, d[3], d[4]});
            return 17;
        case SetRelayGist:
            put({address, 0x10, 0x02, uint8_t(relay == 1 ? 0x3E : 0x3A), 0x00, 0x02, 0x04, d[1],
                 d[2], d[3], d[4]});
            return 13;
        default:
            return q.LengthOut;
    }
}

}  // namespace

void TQuery::BuildFrame() {
    std::memset(RequestBuffer, 0, sizeof RequestBuffer);
    RequestBuffer[0] = uint8_t(Adr & 0xFF);
    RequestBuffer[1] = uint8_t(Adr >> 8);
    RequestBuffer[2] = Code;
    // Data beyond the frame is cut off by the CRC (the Modbus switch pushes four bytes).
    const int dataRoom = LengthOut >= 5 ? LengthOut - 5 : 0;
    for (int i = 1; i <= IndexData && i <= dataRoom; ++i) RequestBuffer[2 + i] = Data[i];

    if (IsModbusOnlyWrite(FName)) {
        // A relay must be named on the wire: with no selection, relay 1 is written.
        const int relay = QueryTarget ? QueryTarget->SelectedRelay() : 0;
        LengthOut = BuildModbusOnlyWrite(*this, relay);
        LengthIn = 8;
    }
    if (LengthOut >= 2) StoreCrc(RequestBuffer, LengthOut);
    if (ProtocolIsModbus == 1 && !IsModbusOnlyWrite(FName)) ToModbusRequest();
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

}  // namespace

void TQuery::Query() {
    BuildFrame();
    TSerialPort* port = QueryTarget ? QueryTarget->QueryPort() : nullptr;
    if (port && LineOutOfStep.exchange(false)) {
        ++OutOfStepCount;
        LetLineFallSilent(*port);
    }
    if (port) {
        port->ClearBuffer(true, false);
        port->ClearBuffer(false, true);
        port->Write(RequestBuffer, LengthOut);
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
