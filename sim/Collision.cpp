#include "sim/Collision.h"

#include <map>

namespace sim {

namespace {

constexpr uint32_t kAssumedSpeed = 9600;
constexpr int64_t kBitsPerByte = 10;  // start, eight data bits, stop

struct ByteTime {
    uint8_t level = 0xFF;  // the idle line reads as ones
    int drivers = 0;
    bool differ = false;
};

using Timeline = std::map<int64_t, ByteTime>;  // by byte time since the request ended

void Drive(Timeline& line, const Delivery& answer, int64_t byteUs) {
    int64_t at = 0;
    for (const Delivery::Piece& piece : answer.pieces) {
        at += int64_t(piece.pauseMs) * 1000;
        for (uint8_t byte : piece.bytes) {
            ByteTime& slot = line[at / byteUs];
            if (slot.drivers > 0 && slot.level != byte) slot.differ = true;
            slot.level &= byte;
            ++slot.drivers;
            at += byteUs;
        }
    }
}

// Consecutive byte times go out as one piece; a gap of a millisecond or more as a pause.
Delivery Transmit(const Timeline& line, int64_t byteUs) {
    Delivery delivery;
    int64_t next = 0;
    for (const auto& [slot, byte] : line) {
        const int pauseMs = int((slot - next) * byteUs / 1000);
        if (delivery.pieces.empty() || pauseMs > 0) delivery.pieces.push_back({pauseMs, {}});
        delivery.pieces.back().bytes.push_back(byte.level);
        next = slot + 1;
    }
    return delivery;
}

Bytes AllBytes(const Delivery& delivery) {
    Bytes all;
    for (const Delivery::Piece& piece : delivery.pieces)
        all.insert(all.end(), piece.bytes.begin(), piece.bytes.end());
    return all;
}

}  // namespace

Collision Collide(const std::vector<Delivery>& answers, uint32_t lineSpeed) {
    const int64_t byteUs = kBitsPerByte * 1000000 / (lineSpeed ? lineSpeed : kAssumedSpeed);
    Timeline line;
    for (const Delivery& answer : answers) Drive(line, answer, byteUs);
    Collision collision;
    for (const auto& entry : line) collision.garbled |= entry.second.differ;
    collision.line = Transmit(line, byteUs);
    if (collision.garbled && !collision.line.pieces.empty() && CrcOk(AllBytes(collision.line)))
        collision.line.pieces.back().bytes.back() ^= 0xFF;
    return collision;
}

}  // namespace sim
