#pragma once
// Frame tap events as the exchange makes them, for the tests of the frame monitor's rows.
#include <QByteArray>

#include "exchange/FrameTap.h"
#include "protocol/Crc.h"
#include "protocol/Requests.h"

// A request as the exchange writes it to an instrument at address 7.
inline TFrameEvent RequestEvent(const protocol::Request& request, protocol::Protocol protocol,
                                int64_t atNs = 0) {
    const protocol::RequestFrame frame = protocol::BuildRequest(request, 7, protocol);
    TFrameEvent e;
    e.kind = TFrameEvent::Kind::Request;
    e.atNs = atNs;
    e.bytes =
        QByteArray(reinterpret_cast<const char*>(frame.bytes.data()), int(frame.bytes.size()));
    e.command = frame.command;
    e.code = frame.code;
    e.modbus = frame.modbus;
    e.lengthIn = frame.lengthIn;
    e.data =
        QByteArray(reinterpret_cast<const char*>(request.data.data()), int(request.data.size()));
    return e;
}

// An answer as the exchange thread reads it, good or with a bad CRC; bytes empty: the
// time-out, which found `available` bytes.
inline TFrameEvent AnswerEvent(const QByteArray& bytes, int64_t atNs, int pieces = 1,
                               int64_t spreadNs = 0, int available = -1) {
    TFrameEvent e;
    e.atNs = atNs;
    e.bytes = bytes;
    e.pieces = pieces;
    e.spreadNs = spreadNs;
    e.available = available >= 0 ? available : int(bytes.size());
    const bool good =
        bytes.size() >= 3 &&
        Crc16(reinterpret_cast<const uint8_t*>(bytes.constData()), uint16_t(bytes.size())) == 0;
    e.kind = bytes.isEmpty() ? TFrameEvent::Kind::Timeout
                             : (good ? TFrameEvent::Kind::Answer : TFrameEvent::Kind::BadCrc);
    return e;
}
