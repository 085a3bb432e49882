#pragma once
// Request frames of both protocols and the Modbus RTU rewrite of requests and answers, as pure
// functions on frame buffers.
//
// Every request is laid out in QV form first (address low, address high, code, data, CRC).
// The six Modbus-only writes are then replaced by their Modbus RTU frame whatever the
// protocol; for an instrument addressed in Modbus RTU every other request is rewritten into
// the equivalent Modbus RTU request. A Modbus answer is rewritten back into the QV answer
// form, except the answers of the reads listed by IsUntranslatedRead, which are read in
// Modbus layout.
#include <cstdint>
#include <vector>

#include "protocol/Commands.h"

namespace protocol {

// Size of a frame buffer: every frame of either protocol fits.
constexpr int FrameBufferSize = 128;
// The rewrites build their frame in a local buffer of this size (the longest frame, the Modbus
// SetInfo request, has 73 bytes).
constexpr int RewriteFrameSize = 104;

enum class Protocol : uint8_t { Qv, Modbus };

// Rewrites the QV request in `frame` (a buffer of FrameBufferSize bytes) into the Modbus RTU
// request with its own CRC and sets the two lengths. Returns false and changes nothing for a
// command that has no Modbus form (SetYear, SetMode, GetMode).
bool ToModbusRequest(uint8_t* frame, uint8_t& lengthOut, uint8_t& lengthIn);

// Rewrites the Modbus answer in `answer` (a buffer of FrameBufferSize bytes) in place into
// the QV answer form with a new CRC and sets `lengthIn`. `request` is the Modbus request as
// it was sent (its register field tells which answer this is), `requestCode` the command's QV
// code: every write (code below 0x40) becomes the QV acknowledgement with result 0. An answer
// to a register the rewrite does not know keeps its length; one whose length does not fit
// the rewrite's frame is left as it came.
void FromModbusAnswer(const uint8_t* request, uint8_t requestCode, uint8_t* answer,
                      uint8_t& lengthIn);

// One request as it goes on the line, and what to expect back.
struct RequestFrame {
    TListComand command = SetPar;
    uint8_t code = 0;            // the command's QV code
    std::vector<uint8_t> bytes;  // the frame, CRC included
    uint8_t lengthIn = 0;        // length of the expected answer, CRC included
    bool modbus = false;         // the frame is Modbus RTU
    std::vector<uint8_t> data;   // the request's data bytes in QV order, whatever the form
};

// Lays out a request in `frame` (FrameBufferSize bytes; cleared first). `code`, `lengthOut`
// and `lengthIn` come in as the command's table entry and go out as the frame's. `data` are
// the data bytes in order (bytes that do not fit the QV frame are cut off by its CRC).
// `relay` chooses the relay of SetRelayParams/SetRelayGist: 2 is relay 2, anything else
// relay 1. `modbus`: the instrument is addressed in Modbus RTU. Returns true when the frame
// is Modbus RTU (SetYear, SetMode and GetMode keep their QV form: they have no other).
bool BuildRequestFrame(TListComand command, uint8_t code, uint8_t& lengthOut, uint8_t& lengthIn,
                       uint16_t address, const uint8_t* data, int dataCount, bool modbus, int relay,
                       uint8_t* frame);

// Modbus RTU's silence between frames in microseconds, rounded up: 3.5 characters of 11 bits
// (start, 8 data, parity or a second stop, stop) at `bitsPerSecond`; above 19200 bit/s the
// fixed 1750 us of the Modbus serial line rules (also for a speed that is not known, <= 0).
uint32_t FrameSilenceMicroseconds(int32_t bitsPerSecond);

// The request for `command` with the catalogue's code and lengths.
RequestFrame BuildRequest(TListComand command, uint16_t address, const std::vector<uint8_t>& data,
                          Protocol protocol, int relay = 1);

}  // namespace protocol
