#pragma once
// How long the scan waits: a short first wait sized by the line's speed for instruments that
// answer promptly, and the full wait (the silence that ends any answer) for the slow ones.
#include <chrono>
#include <cstddef>
#include <cstdint>

#include "protocol/Limits.h"

namespace linescan {

struct ScanTiming {
    // The full wait: an instrument answering within it is found (tessera-cli --timeout).
    int fullWaitMs = protocol::AnswerTimeoutMs;
    // A prompt instrument starts its answer within this after the request's end; slower answers
    // are caught by the full wait when their bytes turn up later.
    int promptAnswerMs = 20;
    // Before each pass (a new speed or protocol) the line stays quiet this long, so that the
    // instruments let go of the frames of the other protocol or speed they heard.
    int passPauseMs = 100;
};

// Through a gateway an answer comes later than the line's speed tells by up to `allowanceMs`,
// and over Modbus TCP a late answer is even dropped (it carries the transaction of a request
// gone by), so both waits hold the network's delay. A Modbus TCP gateway (`modbusOnly`) answers
// every request in turn, for a silent address with its own exception once its time-out has
// passed: each answer is then awaited in full, none is overtaken.
void FitToNetwork(ScanTiming& timing, int allowanceMs, bool modbusOnly);

// Time `bytes` take on the line at `baud` with 8N1 framing (ten bits each).
std::chrono::microseconds WireTime(size_t bytes, int32_t baud);

// The short wait of one exchange: the request and the answer on the wire, the prompt answer
// time, and four character times of margin.
std::chrono::microseconds ShortWait(const ScanTiming& timing, size_t requestBytes,
                                    size_t answerBytes, int32_t baud);

}  // namespace linescan
