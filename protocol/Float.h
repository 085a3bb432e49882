#pragma once
// IEEE-754 single precision values to and from the four-byte groups of the frames.
#include <array>
#include <cstdint>

using TBytes4 = std::array<uint8_t, 4>;

// destination[0..3] := source[3], source[2], source[1], source[0]
void ReverseBytes4(const TBytes4& source, TBytes4& destination);
// Four bytes in machine order (least significant first) read as a single, widened.
double BytesAsSingle(const TBytes4& bytes);
// The value as a single, most significant byte (sign and exponent) first.
void SingleToBytesBE(TBytes4& destination, double value);
// Least significant byte first; four zero bytes give 0.0. NaN and infinities pass through.
double BytesToSingle(const TBytes4& bytes);
