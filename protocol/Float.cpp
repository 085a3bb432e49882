#include "protocol/Float.h"

#include <cstring>

static_assert(sizeof(float) == 4, "IEEE single expected");

void ReverseBytes4(const TBytes4& source, TBytes4& destination) {
    destination[0] = source[3];
    destination[1] = source[2];
    destination[2] = source[1];
    destination[3] = source[0];
}

double BytesAsSingle(const TBytes4& bytes) {
    // The frames carry little-endian groups here; build the word explicitly so the host's
    // own byte order plays no part.
    const uint32_t word = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
                          uint32_t(bytes[3]) << 24;
    float value;
    std::memcpy(&value, &word, sizeof value);
    return value;
}

void SingleToBytesBE(TBytes4& destination, double value) {
    const float single = float(value);
    uint32_t word;
    std::memcpy(&word, &single, sizeof word);
    const TBytes4 machineOrder = {uint8_t(word), uint8_t(word >> 8), uint8_t(word >> 16),
                                  uint8_t(word >> 24)};
    ReverseBytes4(machineOrder, destination);
}

double BytesToSingle(const TBytes4& bytes) {
    if (bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 0 && bytes[3] == 0) return 0.0;
    return BytesAsSingle(bytes);
}
