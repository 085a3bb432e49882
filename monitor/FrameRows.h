#pragma once
// The frame monitor's rows: one per request, answer, time-out or port error, made from the
// frame tap's events in the order they happened, with the answer's meaning decoded by the
// protocol core. TFrameRowBuilder pairs each answer with the request before it and keeps
// what later answers need (the unit and point of each parameter, the setpoint format).
// Main thread only.
#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <cstdint>

#include "exchange/FrameTap.h"

enum class TFrameDirection : uint8_t { Request, Answer, Timeout, PortError };
enum class TFrameCrc : uint8_t { None, Good, Bad };

struct TFrameRow {
    TFrameDirection direction = TFrameDirection::Request;
    qint64 wallMs = 0;  // local time of the event, ms since the epoch
    int address = -1;   // -1: not known
    int protocol = -1;  // -1: none, 0: QV, 1: Modbus RTU
    int command = -1;   // TListComand, -1: none
    int length = 0;     // bytes of the frame; for a time-out, the bytes that had come
    QByteArray bytes;   // the frame as written or read; empty for a time-out
    // Through a Modbus TCP gateway: the MBAP header the frame travelled with, in place of its
    // address and CRC; empty on a wire and through a transparent server.
    QByteArray header;
    TFrameCrc crc = TFrameCrc::None;
    double latencyMs = -1;  // request written -> answer read (or the time-out), -1: none
    int pieces = 0;         // receive events of the answer
    double spreadMs = 0;    // first to last of them
    bool error = false;
    QString meaning;  // decoded answer, request data, or what went wrong
    QString source;   // the window whose turn on the line it was
};

class TFrameRowBuilder {
    Q_DECLARE_TR_FUNCTIONS(TFrameRowBuilder)  // the texts of the rows, free functions' included

public:
    // Event time stamps (steady clock) are turned into local time through one reading of
    // both clocks: `steadyNs` is the steady clock at the wall-clock instant `wallMs`.
    TFrameRowBuilder(int64_t steadyNs, qint64 wallMs);
    // Both clocks read now.
    TFrameRowBuilder();

    // The row of an event; a Turn makes none (Build then only learns who holds the line).
    TFrameRow Build(const TFrameEvent& event);
    static bool MakesRow(const TFrameEvent& event) { return event.kind != TFrameEvent::Kind::Turn; }

private:
    void FillRequest(const TFrameEvent& event, TFrameRow& row);
    void FillAnswer(const TFrameEvent& event, TFrameRow& row);
    void FillTimeout(const TFrameEvent& event, TFrameRow& row) const;
    QString AnswerMeaning(const uint8_t* a, int length, bool& refused);
    void FillCommonOfRequest(TFrameRow& row) const;

    int64_t FSteadyNs;
    qint64 FWallMs;
    bool FHaveRequest = false;
    TFrameEvent FRequest;  // the last request written
    struct ChannelView {
        int unitCode = 0;
        int pointCode = -1;  // -1: not read yet
    };
    ChannelView FChannels[3];
    ChannelView ViewOf(int channel) const;
    uint16_t FSetpointFormat = 0;
    // The window that works through the main window's exchange now; empty: its own.
    QString FMainExchangeUser;
};

// Texts of a row as the monitor shows them.
QString FrameDirectionText(TFrameDirection direction);
QString FrameTimeText(qint64 wallMs);       // hh:mm:ss.zzz
QString FrameHex(const QByteArray& bytes);  // "07 03 03 EB 00 01 F4 6F"
// The row's bytes as they travelled: FrameHex of the frame, or through a Modbus TCP gateway
// the MBAP header apart from the PDU ("MBAP 00 05 00 00 00 06 07 | PDU 03 03 EB 00 01").
QString FrameBytesText(const TFrameRow& row);
QString FramePiecesText(const TFrameRow& row);
QString FrameLatencyText(const TFrameRow& row);
