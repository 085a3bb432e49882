#pragma once
// How a read or a write of the Posix and the network backends waits under COMMTIMEOUTS, decided
// once per call: the same rules whatever carries the bytes.
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>

#include "serial/SerialBackend.h"

namespace serial_backend {

// COMMTIMEOUTS total: multiplier * count + constant; none when both are zero.
inline bool TotalDeadline(uint32_t multiplier, uint32_t constant, int32_t count,
                          std::chrono::steady_clock::time_point& at) {
    if (multiplier == 0 && constant == 0) return false;
    uint64_t ms = uint64_t(multiplier) * uint64_t(count) + constant;
    ms = std::min<uint64_t>(ms, uint64_t(INT_MAX));
    at = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    return true;
}

struct ReadWait {
    bool immediate = false;      // return at once with what is queued
    bool firstByteOnly = false;  // wait for the first byte only, up to the constant
    bool useInterval = false;    // end when the gap between two bytes exceeds the interval
    bool hasTotal = false;       // end at totalDeadline
    std::chrono::steady_clock::time_point totalDeadline;
};

// Interval MaxDword with both totals 0 returns at once with what is queued; with the
// multiplier MaxDword as well and a constant, it waits for the first byte only, up to the
// constant.
inline ReadWait ReadWaitOf(const Timeouts& t, int32_t count) {
    ReadWait w;
    w.immediate =
        t.readInterval == MaxDword && t.readTotalMultiplier == 0 && t.readTotalConstant == 0;
    w.firstByteOnly = t.readInterval == MaxDword && t.readTotalMultiplier == MaxDword &&
                      t.readTotalConstant != 0 && t.readTotalConstant != MaxDword;
    w.useInterval = !w.firstByteOnly && t.readInterval != 0 && t.readInterval != MaxDword;
    w.hasTotal = w.firstByteOnly ? TotalDeadline(0, t.readTotalConstant, 0, w.totalDeadline)
                                 : TotalDeadline(t.readTotalMultiplier, t.readTotalConstant, count,
                                                 w.totalDeadline);
    return w;
}

}  // namespace serial_backend
