#pragma once
// The instrument's Modbus register map over InstrumentState (internal to the library).
// Some items are read at one register and written at another (relay 2, the hysteresis of
// relay 2, the 16-bit setpoints): both numbers reach the same state. Floats are read with the
// low-order word in the first register; hysteresis is written high-order word first.
// Callers hold the model's lock.
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/InstrumentModel.h"

namespace sim::registers {

// The register's value, or nothing for a register the instrument does not map for reading
// (also a parameter beyond the parameter count).
std::optional<uint16_t> Read(const InstrumentState& state, uint16_t reg, double elapsedMs);

// Writes `values` from `first` on as one transaction: all or nothing. Returns 0 or the Modbus
// exception code (2 unmapped, 3 out of range, 0x46 protected).
uint8_t Write(InstrumentState& state, uint16_t first, const std::vector<uint16_t>& values);

// Register numbers the rest of the instrument names.
constexpr uint16_t kParameterBase = 100;
constexpr uint16_t kParameterStride = 8;
constexpr uint16_t kSignallingMode = 20480;
constexpr uint16_t kIecFirst = 2560;
constexpr uint16_t kRelayParamsFirst = 554;
constexpr uint16_t kRelayHysteresisFirst = 570;
constexpr uint16_t kSetpointFormat = 1012;
constexpr uint16_t kBrightness = 1006;

// The six configuration writes that exist only as Modbus frames (also answered in QV).
bool IsModbusOnlyWrite(uint8_t function, uint16_t reg);

// IEEE single as its 32 bits and back.
uint32_t FloatBits(float value);
float BitsFloat(uint32_t bits);

}  // namespace sim::registers
