#pragma once
// Frame check of both protocols: CRC-16/MODBUS with its two bytes exchanged, so that storing
// the result high byte first puts the CRC's low-order byte first on the wire.
#include <cstdint>

// Returns 0xFFFF for zero bytes; a frame that carries its own CRC checks to 0.
uint16_t Crc16(const uint8_t* data, uint16_t count);

// Appends the CRC of the first `length - 2` bytes as the last two bytes of the frame.
inline void StoreCrc(uint8_t* frame, uint16_t length) {
    const uint16_t crc = Crc16(frame, uint16_t(length - 2));
    frame[length - 2] = uint8_t(crc >> 8);
    frame[length - 1] = uint8_t(crc & 0xFF);
}
