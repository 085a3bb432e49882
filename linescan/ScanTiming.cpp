#include "linescan/ScanTiming.h"

namespace linescan {

namespace {
constexpr int64_t kBitsPerByte = 10;  // start, eight data bits, stop
constexpr size_t kMarginCharacters = 4;
}  // namespace

std::chrono::microseconds WireTime(size_t bytes, int32_t baud) {
    if (baud <= 0) return std::chrono::microseconds(0);
    return std::chrono::microseconds(int64_t(bytes) * kBitsPerByte * 1000000 / baud);
}

void FitToNetwork(ScanTiming& timing, int allowanceMs, bool modbusOnly) {
    timing.promptAnswerMs += allowanceMs;
    timing.fullWaitMs += allowanceMs;
    if (modbusOnly) timing.promptAnswerMs = timing.fullWaitMs;
}

std::chrono::microseconds ShortWait(const ScanTiming& timing, size_t requestBytes,
                                    size_t answerBytes, int32_t baud) {
    return WireTime(requestBytes + answerBytes + kMarginCharacters, baud) +
           std::chrono::milliseconds(timing.promptAnswerMs);
}

}  // namespace linescan
