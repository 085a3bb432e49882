#pragma once
// The addresses and limits every layer shares: the search and switch addresses, the range of
// instrument addresses in each protocol, and the setpoints the instrument takes.
#include <cstdint>

namespace protocol {

// The search is sent to this address in QV form; it reads as Modbus address 0xFF, function
// 0x77.
constexpr uint16_t SearchAddress = 0x77FF;
// The protocol switch is sent to address 0 with the instrument's address in its data.
constexpr uint16_t SwitchAddress = 0;

constexpr uint16_t HighestAddress = 65000;      // QV addresses are 1..65000
constexpr uint16_t HighestModbusAddress = 247;  // Modbus RTU addresses are 1..247
constexpr int SetpointLimit = 230;              // setpoints outside -230..230 are not sent

// The highest address an instrument can have in its protocol; every instrument address starts
// at 1 (0 is the Modbus RTU broadcast, which every instrument on the line would carry out).
constexpr uint16_t HighestInstrumentAddress(bool modbus) {
    return modbus ? HighestModbusAddress : HighestAddress;
}
constexpr bool InstrumentAddressValid(long long address, bool modbus) {
    return address >= 1 && address <= HighestInstrumentAddress(modbus);
}

}  // namespace protocol
