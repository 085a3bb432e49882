#pragma once
// How a line's bytes travel in a TCP stream. A transparent serial server carries them as they
// are; a Modbus TCP gateway carries Modbus frames with an MBAP header (transaction id, protocol
// id 0, length, unit id) in place of the address and the CRC. The framing turns one into the
// other, so that everything above keeps seeing Modbus RTU frames.
//
// Pure and single-threaded (the device holds the lock); no system calls.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "serial/SerialBackend.h"

namespace serial_backend {

class StreamFraming {
public:
    virtual ~StreamFraming() = default;
    // One request as the line carries it, turned into what goes into the stream; false when
    // it cannot travel this way (too short to be a frame).
    virtual bool Outgoing(const uint8_t* data, size_t length, std::vector<uint8_t>& stream) = 0;
    // Bytes from the stream, turned into the line's bytes (appended to `line`).
    virtual void Incoming(const uint8_t* data, size_t length, std::vector<uint8_t>& line) = 0;
    // The input was purged: a frame begun so far is forgotten.
    virtual void Reset() {}
    // What was dropped since the last call.
    virtual std::vector<TransportNote> TakeNotes() { return {}; }
};

class RawFraming final : public StreamFraming {
public:
    bool Outgoing(const uint8_t* data, size_t length, std::vector<uint8_t>& stream) override;
    void Incoming(const uint8_t* data, size_t length, std::vector<uint8_t>& line) override;
};

// Modbus TCP: a request's address becomes the unit id and its CRC is left off; an answer is
// taken only when it carries the transaction id and unit of the request awaited (any unit for a
// request to the service unit 0xFF), a protocol id
// of 0 and a length that fits its PDU, and comes out as an RTU frame with a fresh CRC. One
// request is awaited at a time: a new one forgets the old.
class MbapFraming final : public StreamFraming {
public:
    static constexpr size_t HeaderSize = 7;   // up to and including the unit id
    static constexpr size_t MaxLength = 254;  // unit id + the longest PDU (253)
    // The search and the protocol switch go to this unit; the answer comes from the
    // instrument's own address.
    static constexpr uint8_t ServiceUnit = 0xFF;

    bool Outgoing(const uint8_t* data, size_t length, std::vector<uint8_t>& stream) override;
    void Incoming(const uint8_t* data, size_t length, std::vector<uint8_t>& line) override;
    void Reset() override;
    std::vector<TransportNote> TakeNotes() override;

    uint16_t LastTransaction() const { return FTransaction; }

    // True when a PDU's length is what its function code makes it (read answers by their byte
    // count, write answers 5, exception answers 2); functions not known here pass.
    static bool PduLengthFits(const uint8_t* pdu, size_t length);

private:
    void TakeFrame(size_t frameLength, std::vector<uint8_t>& line);
    void Note(TransportNote::Kind kind, uint32_t value, uint32_t expected, size_t bytes);

    std::vector<uint8_t> FBuffer;  // stream bytes not yet a whole frame
    uint16_t FTransaction = 0;     // of the request last sent
    uint8_t FUnit = 0;
    bool FAwaiting = false;
    std::vector<TransportNote> FNotes;
};

}  // namespace serial_backend
