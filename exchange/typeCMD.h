#pragma once
// The device command catalogue and the request builder.
//
// Every request is made the same way on the one shared TQuery, CurrentQuery: SetName (choose
// the command), Push once per data byte, Query (build the frame in RequestBuffer, rewrite it
// into Modbus RTU when the instrument speaks Modbus, send it and arm the answer wait).
// CurrentQuery is used on the main thread; the exchange thread reads LengthIn, which is
// therefore atomic.
#include <QObject>
#include <QTimer>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>

#include "protocol/Commands.h"
#include "protocol/ModbusFrames.h"

extern std::array<TCommandEntry, CommandCount> CommandTable;
// Copies the catalogue's default table.
void FillCommandTable();

constexpr int FrameBufferSize = protocol::FrameBufferSize;
extern uint8_t RequestBuffer[FrameBufferSize];
extern uint8_t AnswerBuffer[FrameBufferSize];

class TSerialPort;

// What Query needs from the main window: the port to write to, the answer time-out to arm,
// and the relay chosen on the parameter page (0 = relay 1, 1 = relay 2).
class TQueryTarget {
public:
    virtual ~TQueryTarget() = default;
    virtual TSerialPort* QueryPort() = 0;
    virtual void ArmAnswerTimeout() = 0;
    virtual int SelectedRelay() = 0;
};
extern TQueryTarget* QueryTarget;

class TQuery : public QObject {
public:
    uint16_t Adr = 0;
    uint8_t Code = 0;
    TListComand FName = SetPar;
    uint8_t LengthOut = 0;
    std::atomic<uint8_t> LengthIn{0};
    uint8_t Mode = 0;
    uint8_t Data[FrameBufferSize] = {};
    uint8_t IndexData = 0;
    bool ModbusFrame = false;  // the frame in RequestBuffer is Modbus RTU

    void SetName(TListComand name);
    void Reset() { IndexData = 0; }
    void Push(uint8_t c);
    // Builds the frame into RequestBuffer (Modbus rewrite included) without sending it.
    void BuildFrame();
    // Builds, purges the port's queues, writes, arms the time-out. While the line is out of
    // step, owes a late answer or must keep the Modbus frame silence, the request is held
    // back and sent by a timer once the line allows it (the caller is not kept waiting).
    // Raises EConvertError, sending nothing, when the request would go to an address the
    // protocol cannot carry (the search and the protocol switch excepted).
    void Query();
    // Forgets a held request (polling stopped, the port closed).
    void DropHeld();
    bool Held() const;
    // Sends `name` to a fixed address (the search, the switch) and restores Adr afterwards,
    // also when the port refuses the write.
    void QueryAt(uint16_t address, TListComand name);

private:
    void RefuseAddressOutOfRange() const;
    std::chrono::steady_clock::time_point LineFreeAt(const TSerialPort& port) const;
    void SendWhenLineAllows();
    void SendHeld();

    QTimer* FHoldTimer = nullptr;
    std::chrono::steady_clock::time_point FHoldStarted;
    std::chrono::steady_clock::time_point FUnansweredAt;
    bool FHoldForStray = false;       // bytes came that belonged to no request
    bool FHoldForLateAnswer = false;  // the last request went unanswered
};

// The exchange thread found the request in flight unanswered: its answer may still come late.
void NoteRequestUnanswered();
// A held request's write failed (defined with the exchange thread, which reports failures).
class ESerialPort;
void ReportHeldRequestFailure(const ESerialPort& error);

extern TQuery* CurrentQuery;
