#pragma once
// The line as the scan uses it: send a frame, take the bytes that come back by a deadline.
// tessera-cli implements it over its serial backend, the window over its own port (through the
// line's owner); tests implement it with a clock of their own (Now), so that no test waits for
// real.
#include <chrono>
#include <cstdint>
#include <vector>

#include "protocol/ModbusFrames.h"

namespace linescan {

using Clock = std::chrono::steady_clock;

class LinePort {
public:
    virtual ~LinePort() = default;

    // Sets the line's speed, bits per second (8N1). May throw what the port throws.
    virtual void SetSpeed(int32_t baud) = 0;
    // Drops the bytes received and not yet taken.
    virtual void Discard() = 0;
    // Puts `frame` on the line (the bytes already received stay queued).
    virtual void Send(const std::vector<uint8_t>& frame) = 0;
    // Puts an instrument's request on the line: a line that shows its frames knows from it
    // what was asked. By default its bytes go out as any frame's.
    virtual void SendRequest(const protocol::RequestFrame& request) { Send(request.bytes); }
    // Appends to `into` what has arrived, waiting for it until `deadline`: true as soon as at
    // least one byte came, false when the deadline passed with nothing.
    virtual bool Receive(std::vector<uint8_t>& into, Clock::time_point deadline) = 0;
    // The time the deadlines are measured against.
    virtual Clock::time_point Now() const = 0;
};

// The answer to the request just sent: complete at `length` bytes (or, in Modbus RTU, as a
// whole exception answer), or ended by a silence of `silence` since the last byte (or since
// now, when nothing came).
std::vector<uint8_t> ReceiveAnswer(LinePort& line, size_t length, bool modbus,
                                   std::chrono::milliseconds silence);

}  // namespace linescan
