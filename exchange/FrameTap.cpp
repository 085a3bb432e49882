#include "exchange/FrameTap.h"

#include <chrono>

#include "exchange/Thread1.h"
#include "exchange/typeCMD.h"
#include "protocol/Crc.h"
#include "protocol/ModbusFrames.h"
#include "serial/SerialPort.h"

std::atomic<TFrameTap*> FrameTap{nullptr};

int64_t FrameTapNowNs() {
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

namespace {

// Receive events since the last request. Counted on the main thread; read by the exchange
// thread after the wake-up that the last of them gave.
std::atomic<int> PieceCount{0};
std::atomic<int64_t> FirstPieceNs{0};
std::atomic<int64_t> LastPieceNs{0};

// Whether the request went out in Modbus RTU form: the request builder is asked again on a
// scratch frame, since SetYear, SetMode and GetMode keep their QV form whatever the protocol.
bool SentAsModbus(const TQuery& query) {
    if (IsModbusOnlyWrite(query.FName)) return true;
    if (ProtocolIsModbus != 1) return false;
    const TCommandEntry& entry = CommandTable[query.FName];
    uint8_t lengthOut = entry.LengthOut;
    uint8_t lengthIn = entry.LengthIn;
    uint8_t scratch[FrameBufferSize];
    return protocol::BuildRequestFrame(query.FName, query.Code, lengthOut, lengthIn, query.Adr,
                                       query.Data + 1, query.IndexData, true, 1, scratch);
}

// Through a Modbus TCP gateway a frame travels as an MBAP header and the PDU: the header is
// made again from the frame (unit id = its address, length = unit id + PDU) and the
// transaction id the port used.
QByteArray ModbusTcpHeader(const uint8_t* frame, int length) {
    TSerialPort* port = QueryTarget ? QueryTarget->QueryPort() : nullptr;
    if (!port || !port->IsModbusTcp() || length < 4) return QByteArray();
    const int32_t transaction = port->LastTransactionId();
    if (transaction < 0) return QByteArray();
    const int pduAndUnit = length - 2;  // the frame without its CRC
    const char header[7] = {char(transaction >> 8), char(transaction), 0, 0, char(pduAndUnit >> 8),
                            char(pduAndUnit),       char(frame[0])};
    return QByteArray(header, sizeof header);
}

// Takes the pieces counted for the answer now being read, and starts the count afresh.
void TakePieces(TFrameEvent& event) {
    event.pieces = PieceCount.exchange(0);
    if (event.pieces > 0) event.spreadNs = LastPieceNs.load() - FirstPieceNs.load();
}

}  // namespace

namespace FrameTapDetail {

void RequestWritten(TFrameTap& tap, const TQuery& query, const uint8_t* frame, int length) {
    TFrameEvent event;
    event.atNs = FrameTapNowNs();
    event.kind = TFrameEvent::Kind::Request;
    event.bytes = QByteArray(reinterpret_cast<const char*>(frame), length);
    event.command = query.FName;
    event.code = query.Code;
    event.modbus = SentAsModbus(query);
    event.lengthIn = query.LengthIn;
    event.data = QByteArray(reinterpret_cast<const char*>(query.Data + 1), query.IndexData);
    event.transportHeader = ModbusTcpHeader(frame, length);
    PieceCount = 0;
    tap.FrameEvent(std::move(event));
}

void Piece() {
    const int64_t now = FrameTapNowNs();
    if (PieceCount.fetch_add(1) == 0) FirstPieceNs = now;
    LastPieceNs = now;
}

void Taken(TFrameTap& tap, const uint8_t* answer, int length, int available) {
    TFrameEvent event;
    event.atNs = FrameTapNowNs();
    event.bytes = QByteArray(reinterpret_cast<const char*>(answer), length);
    const bool good = length >= 3 && Crc16(answer, uint16_t(length)) == 0;
    event.kind = good ? TFrameEvent::Kind::Answer : TFrameEvent::Kind::BadCrc;
    event.available = available;
    event.transportHeader = ModbusTcpHeader(answer, length);
    TakePieces(event);
    tap.FrameEvent(std::move(event));
}

void NothingTaken(TFrameTap& tap, int available) {
    TFrameEvent event;
    event.atNs = FrameTapNowNs();
    event.kind = TFrameEvent::Kind::Timeout;
    event.available = available;
    TakePieces(event);
    tap.FrameEvent(std::move(event));
}

void PortFailed(TFrameTap& tap, const QString& message) {
    TFrameEvent event;
    event.atNs = FrameTapNowNs();
    event.kind = TFrameEvent::Kind::PortError;
    event.message = message;
    tap.FrameEvent(std::move(event));
}

}  // namespace FrameTapDetail
