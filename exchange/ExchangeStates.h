#pragma once
// What the exchange is part of: the values ExchangeState takes (its byte values are fixed).
#include <cstdint>

enum class ExchangeStates : uint8_t {
    Single = 0,                // single requests, or idle
    ReadingPreparation = 10,   // the parameters asked before continuous reading
    ContinuousReading = 11,    // GetVal repeated on the timer
    SearchQv = 17,             // search request in QV, then ...
    SearchModbus = 18,         // ... the same in Modbus RTU
    SerialThenYear = 30,       // serial number written, the year follows
    RelayThenHysteresis = 31,  // relay mode and delay written, the hysteresis follows
};
