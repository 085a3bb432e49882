#include "serial/ModbusTcpFraming.h"

#include "protocol/Crc.h"

namespace serial_backend {

namespace {

uint16_t Word(const uint8_t* bytes) {
    return uint16_t(bytes[0] << 8 | bytes[1]);
}

void PutWord(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(uint8_t(value >> 8));
    out.push_back(uint8_t(value & 0xFF));
}

}  // namespace

bool RawFraming::Outgoing(const uint8_t* data, size_t length, std::vector<uint8_t>& stream) {
    stream.assign(data, data + length);
    return true;
}

void RawFraming::Incoming(const uint8_t* data, size_t length, std::vector<uint8_t>& line) {
    line.insert(line.end(), data, data + length);
}

bool MbapFraming::PduLengthFits(const uint8_t* pdu, size_t length) {
    if (length == 0) return false;
    const uint8_t function = pdu[0];
    if (function & 0x80) return length == 2;
    switch (function) {
        case 3:
        case 4:
            return length >= 2 && size_t(pdu[1]) + 2 == length;
        case 6:
        case 16:
            return length == 5;
        default:
            return true;
    }
}

// Address, PDU, CRC: at least address, function and the two CRC bytes.
bool MbapFraming::Outgoing(const uint8_t* data, size_t length, std::vector<uint8_t>& stream) {
    if (length < 4 || length - 3 + 1 > MaxLength) return false;
    const size_t pduLength = length - 3;
    ++FTransaction;
    FUnit = data[0];
    FAwaiting = true;
    stream.clear();
    PutWord(stream, FTransaction);
    PutWord(stream, 0);  // protocol id: Modbus
    PutWord(stream, uint16_t(pduLength + 1));
    stream.push_back(FUnit);
    stream.insert(stream.end(), data + 1, data + 1 + pduLength);
    return true;
}

void MbapFraming::Incoming(const uint8_t* data, size_t length, std::vector<uint8_t>& line) {
    FBuffer.insert(FBuffer.end(), data, data + length);
    while (FBuffer.size() >= HeaderSize) {
        const uint16_t protocolId = Word(&FBuffer[2]);
        const uint16_t frameLength = Word(&FBuffer[4]);
        // Nothing in the stream tells where a frame would start again: all of it goes.
        if (protocolId != 0 || frameLength < 2 || frameLength > MaxLength) {
            Note(TransportNote::Kind::BadHeader, frameLength, 0, FBuffer.size());
            FBuffer.clear();
            return;
        }
        if (FBuffer.size() < 6 + size_t(frameLength)) return;  // the rest is on its way
        TakeFrame(6 + size_t(frameLength), line);
    }
}

void MbapFraming::TakeFrame(size_t frameLength, std::vector<uint8_t>& line) {
    const std::vector<uint8_t> frame(FBuffer.begin(), FBuffer.begin() + long(frameLength));
    FBuffer.erase(FBuffer.begin(), FBuffer.begin() + long(frameLength));
    const uint16_t transaction = Word(&frame[0]);
    const uint8_t unit = frame[6];
    const uint8_t* pdu = frame.data() + HeaderSize;
    const size_t pduLength = frameLength - HeaderSize;
    if (!FAwaiting) return Note(TransportNote::Kind::Unexpected, transaction, 0, frameLength);
    if (transaction != FTransaction)
        return Note(TransportNote::Kind::WrongTransaction, transaction, FTransaction, frameLength);
    // The service address's answers (search, protocol switch) carry the instrument's own.
    if (unit != FUnit && FUnit != ServiceUnit)
        return Note(TransportNote::Kind::WrongUnit, unit, FUnit, frameLength);
    if (!PduLengthFits(pdu, pduLength))
        return Note(TransportNote::Kind::BadLength, uint32_t(pduLength + 1), 0, frameLength);
    FAwaiting = false;
    std::vector<uint8_t> rtu;
    rtu.push_back(unit);
    rtu.insert(rtu.end(), pdu, pdu + pduLength);
    rtu.resize(rtu.size() + 2);
    StoreCrc(rtu.data(), uint16_t(rtu.size()));
    line.insert(line.end(), rtu.begin(), rtu.end());
}

void MbapFraming::Reset() {
    FBuffer.clear();
}

void MbapFraming::Note(TransportNote::Kind kind, uint32_t value, uint32_t expected, size_t bytes) {
    TransportNote note{kind, value, expected, bytes};
    FNotes.push_back(note);
}

std::vector<TransportNote> MbapFraming::TakeNotes() {
    std::vector<TransportNote> notes;
    notes.swap(FNotes);
    return notes;
}

}  // namespace serial_backend
