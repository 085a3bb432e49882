#pragma once
// Cuts the byte stream received by the instrument into request frames, the way the instrument
// does: by the length that the frame's header announces in the protocol currently spoken, and
// by the CRC. Pure and single-threaded (owned by the server's reader thread); fuzzable.
//
// QV: bytes 0..1 address (low first), byte 2 the code, the request length from the
//     instrument's code table. In QV the six configuration writes that only exist as Modbus
//     frames (function 6 or 16) are also recognised when `modbusWritesInQv` is set.
// Modbus RTU: functions 3, 6, 0x76, 0x77 are 8 bytes, 16 is 9 + byte count; an unknown
//     function is taken at 8 bytes with a good CRC, otherwise at the next silence when what
//     arrived has a good CRC (so that it can be answered with exception 1).
// A complete candidate with a bad CRC drops the whole buffer; an incomplete one is dropped at
// the next silence, so a later good frame is still recognised.
#include <optional>

#include "sim/Bytes.h"
#include "sim/InstrumentModel.h"

namespace sim {

// Request length of a QV code including the CRC, 0 for a code the instrument does not know.
int QvRequestLength(uint8_t code);
// Answer length of a QV code including the CRC, 0 for a code the instrument does not know.
int QvAnswerLength(uint8_t code);

class FrameSplitter {
public:
    explicit FrameSplitter(bool modbusWritesInQv = true) : FModbusWritesInQv(modbusWritesInQv) {}

    void Append(const uint8_t* data, size_t length);
    // The next complete frame with a good CRC in `protocol`, if the buffer holds one.
    std::optional<Bytes> Next(Protocol protocol);
    // The line fell silent: returns an open-ended Modbus frame with a good CRC, drops the rest.
    std::optional<Bytes> OnSilence(Protocol protocol);
    bool Pending() const { return !FBuffer.empty(); }
    // Everything dropped so far, one entry per drop; cleared by the call.
    std::vector<Bytes> TakeDiscarded();

private:
    struct Expectation {
        std::vector<size_t> lengths;  // complete-frame lengths the header allows
        bool needMore = false;        // header itself not complete yet
        bool openEnded = false;       // unknown Modbus function: wait for a silence
    };
    Expectation Expect(Protocol protocol) const;
    Expectation ExpectQv() const;
    Expectation ExpectModbus() const;
    void AddModbusWriteLength(Expectation& expectation) const;
    Bytes Take(size_t length);
    void DiscardAll();

    bool FModbusWritesInQv;
    Bytes FBuffer;
    std::vector<Bytes> FDiscarded;
};

}  // namespace sim
