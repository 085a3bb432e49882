#pragma once
// What the exchange is part of: the values ExchangeState takes (its byte values are fixed).
#include <cstdint>

namespace ExchangeStates {
constexpr uint8_t Single = 0;               // single requests, or idle
constexpr uint8_t ReadingPreparation = 10;  // the parameters asked before continuous reading
constexpr uint8_t ContinuousReading = 11;   // GetVal repeated on the timer
constexpr uint8_t SearchQv = 17;            // search request in QV, then ...
constexpr uint8_t SearchModbus = 18;        // ... the same in Modbus RTU
constexpr uint8_t SerialThenYear = 30;      // serial number written, the year follows
}  // namespace ExchangeStates
