#pragma once
// The addresses and limits every layer shares: the search and switch addresses, the range of
// instrument addresses in each protocol, the setpoints the instrument takes, the line speeds it
// can be set to and how long an answer is waited for.
#include <cstdint>
#include <string>

namespace protocol {

// The search is sent to this address in QV form; it reads as Modbus address 0xFF, function
// 0x77.
constexpr uint16_t SearchAddress = 0x77FF;
// The protocol switch is sent to address 0 with the instrument's address in its data.
constexpr uint16_t SwitchAddress = 0;

constexpr uint16_t HighestAddress = 65000;      // QV addresses are 1..65000
constexpr uint16_t HighestModbusAddress = 247;  // Modbus RTU addresses are 1..247
constexpr int SetpointLimit = 230;              // setpoints outside -230..230 are not sent

// The silence after a request that ends the wait for its answer: the exchange's time-out,
// tessera-cli's default --timeout, and the shortest full wait of a scan.
constexpr int AnswerTimeoutMs = 370;

// The line speeds an instrument can be set to, in bits per second, slowest first: speed code
// n (1..8) is LineSpeeds[n - 1], and the settings' speed list shows them in this order.
constexpr int32_t LineSpeeds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr int LineSpeedCount = int(sizeof LineSpeeds / sizeof LineSpeeds[0]);
constexpr int32_t DefaultLineSpeed = 9600;

constexpr bool IsLineSpeed(long long baud) {
    for (const int32_t speed : LineSpeeds)
        if (speed == baud) return true;
    return false;
}

// The speeds as a list for a message, each after the first preceded by `separator`
// ("1200, 2400, ..., 115200").
inline std::string LineSpeedsText(const std::string& separator) {
    std::string text;
    for (const int32_t speed : LineSpeeds)
        text += (text.empty() ? std::string() : separator) + std::to_string(speed);
    return text;
}

// The highest address an instrument can have in its protocol; every instrument address starts
// at 1 (0 is the Modbus RTU broadcast, which every instrument on the line would carry out).
constexpr uint16_t HighestInstrumentAddress(bool modbus) {
    return modbus ? HighestModbusAddress : HighestAddress;
}
constexpr bool InstrumentAddressValid(long long address, bool modbus) {
    return address >= 1 && address <= HighestInstrumentAddress(modbus);
}

}  // namespace protocol
