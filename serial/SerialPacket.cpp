#include "serial/SerialPort.h"

TSerialPacket::TSerialPacket(TSerialPort* port) : FSerialPort(port) {}

void TSerialPacket::Assign(const TSerialPacket& source) {
    FEnabled = source.FEnabled;
    FIncludeStrings = source.FIncludeStrings;
    FMaxBufferSize = source.FMaxBufferSize;
    FSize = source.FSize;
    FStartString = source.FStartString;
    FStopString = source.FStopString;
}

void TSerialPacket::ResetBuffer() {
    FBuffer.clear();
    FInPacket = false;
}

void TSerialPacket::SetMaxBufferSize(int32_t v) {
    if (v == FMaxBufferSize || v <= 0 || v <= FSize) return;
    FMaxBufferSize = v;
    ResetBuffer();
}

// Zero is never taken: once set, the fixed size stays on.
void TSerialPacket::SetPacketSize(int32_t v) {
    if (v == FSize || v <= 0 || v >= FMaxBufferSize) return;
    FSize = v;
    ResetBuffer();
}

// With a fixed size, start and stop strings together must leave room for data.
void TSerialPacket::SetStartString(const QString& v) {
    if (v == FStartString) return;
    if (FSize > 0 && v.size() + FStopString.size() >= FSize) return;
    FStartString = v;
    ResetBuffer();
}

void TSerialPacket::SetStopString(const QString& v) {
    if (v == FStopString) return;
    if (FSize > 0 && v.size() + FStartString.size() >= FSize) return;
    FStopString = v;
    ResetBuffer();
}

void TSerialPacket::AddData(const QString& value) {
    if (!FEnabled || !PacketDefined()) return;
    FBuffer += value;
    ScanBuffer();
}

namespace {

// Drops the start and stop strings from a finished packet when they are not wanted.
QString StripStrings(QString packet, const QString& start, const QString& stop) {
    if (!start.isEmpty() && packet.startsWith(start)) packet.remove(0, start.size());
    if (!stop.isEmpty() && packet.endsWith(stop)) packet.chop(stop.size());
    return packet;
}

}  // namespace

// One pass of the scan; returns true when a packet was cut off or a character skipped, so the
// rest of the buffer is scanned again.
bool TSerialPacket::ScanOnce() {
    if (!FInPacket) SeekStart();
    if (!FInPacket) return false;
    const int length = SeekEnd();
    if (length <= 0) return length < 0;
    QString packet = FBuffer.left(length);
    FBuffer.remove(0, length);
    if (!FIncludeStrings) packet = StripStrings(packet, FStartString, FStopString);
    if (FSerialPort) FSerialPort->DoPacket(packet);
    return true;
}

// Length of the finished packet at the buffer's start; 0 while it is still open; -1 when a
// fixed-size packet does not end in the stop string, in which case its first character is
// dropped and the search starts one character further on. The fixed size counts the start
// and stop strings; without it the packet ends with the first stop string after the start.
int TSerialPacket::SeekEnd() {
    const int startLength = int(FStartString.size());
    const int stopLength = int(FStopString.size());
    if (FSize > 0) {
        if (FBuffer.size() < FSize) return 0;
        FInPacket = false;
        if (stopLength > 0 && FBuffer.mid(FSize - stopLength, stopLength) != FStopString) {
            FBuffer.remove(0, 1);
            return -1;
        }
        return FSize;
    }
    const qsizetype stopAt = FBuffer.indexOf(FStopString, startLength);
    if (stopAt < 0) return 0;
    FInPacket = false;
    return int(stopAt) + stopLength;
}

// Text before the start string is thrown away; without a start string every text starts one.
void TSerialPacket::SeekStart() {
    if (FStartString.isEmpty()) {
        FInPacket = true;
        return;
    }
    const qsizetype at = FBuffer.indexOf(FStartString);
    if (at < 0) return;
    FInPacket = true;
    FBuffer.remove(0, at);
}

void TSerialPacket::ScanBuffer() {
    // The overflow check runs however the scan ends, also when a packet handler raises.
    struct OverflowCheck {
        TSerialPacket& packet;
        ~OverflowCheck() {
            if (packet.FBuffer.size() >= packet.FMaxBufferSize) packet.ResetBuffer();
        }
    } overflowCheck{*this};
    while (ScanOnce()) {
    }
}
