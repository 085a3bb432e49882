#pragma once
// Byte strings of the virtual instrument and the helpers its users need to compare frames:
// hex text in the form "01 00 4A A1 F7", and the frame check shared by both protocols.
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

using Bytes = std::vector<uint8_t>;

// "01 00 4A A1 F7": upper-case pairs separated by single spaces.
std::string ToHex(const Bytes& bytes);
// Accepts pairs with or without spaces in any case; throws std::invalid_argument on other text.
Bytes FromHex(const std::string& text);

// True when the frame carries a good CRC in its last two bytes (the check over all bytes is 0).
bool CrcOk(const uint8_t* frame, size_t length);
inline bool CrcOk(const Bytes& frame) {
    return CrcOk(frame.data(), frame.size());
}
// The bytes with their CRC appended, low-order byte first as on the wire.
Bytes WithCrc(Bytes body);

}  // namespace sim
