#pragma once
// Numbers as the window shows them, as plain text: the fixed-point fields of the parameter
// page and the seven-segment reading panels.
#include <cstdint>
#include <string>

namespace protocol {

// Fixed notation with `decimals` places (clamped to 0..18) after rounding to 8 significant
// digits, "." as the separator; halves round away from zero. From 1e8 on: scientific with 8
// significant digits ("1.2345679E+08"). Infinities and NaN: "inf", "-inf", "nan".
std::string FixedText(double value, int decimals);

// The reading panel: the sign cell and four digit cells, "." after the digit that carries
// the decimal point (point code 0..3: the point after digit point code + 1). Leading zeros
// left of the point are blank; the magnitude is rounded half up to the panel and capped at
// 9999; NaN shows "----". 12.5 with point code 2 is "  12.5".
std::string PanelText(double value, uint8_t pointCode);
// The panel's text without its blank cells ("12.5", "-0.5").
std::string ReadingText(double value, uint8_t pointCode);

// The panel's four digit cells for a magnitude (no sign, no point): rounded half up on the
// extra digit, 9999 at most, leading zeros left of the point blank, "----" for NaN. Written
// in place without allocating: the window draws every value answer through it.
void PanelDigits(double magnitude, uint8_t pointCode, char (&digits)[4]);

}  // namespace protocol
