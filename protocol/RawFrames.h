#pragma once
// Frames typed by hand: hex text turned into bytes (with the frame check appended on request),
// and a frame that came back told as QV or Modbus RTU and put into words where the protocol
// core can read it.
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/RegisterFrames.h"

namespace protocol {

// The longest frame sent by hand: the longest Modbus RTU frame.
constexpr int MaxRawFrameBytes = 256;

struct HexFrame {
    enum class Problem { None, Empty, NotHex, OddDigits, TooLong };
    std::vector<uint8_t> bytes;
    Problem kind = Problem::None;
    int position = 0;     // NotHex: the character's position, from 1
    int total = 0;        // OddDigits: the digits; TooLong: the bytes (CRC included)
    std::string problem;  // why the text is refused (English); "" when `bytes` are the frame
    bool Ok() const { return kind == Problem::None; }
};

// "01 03 03 EB 00 01", "010303EB0001" or a mix: blanks, tabs and commas between bytes are
// optional, a byte may be written 0x01. Refused: no bytes, a character that is no hex digit,
// an odd number of digits, more than MaxRawFrameBytes bytes (the CRC counted when
// `appendCrc`).
HexFrame ParseHexFrame(const std::string& text, bool appendCrc);

// "01 03 03 EB 00 01".
std::string HexText(const std::vector<uint8_t>& bytes);

// The data request a frame is (function 1-6, 15 or 16, with its CRC and the length the
// function gives); false for any other frame.
bool DataRequestFromFrame(const std::vector<uint8_t>& frame, DataRequest& request);

// The length of the answer `frame` awaits, CRC included: a data request's, or that of the
// instrument's QV command the frame is; 0 when the frame is neither (its answer ends with the
// line's silence).
int RawAnswerLength(const std::vector<uint8_t>& frame);

struct RawAnswerView {
    enum class Kind { Unknown, Qv, Modbus };
    Kind kind = Kind::Unknown;
    bool error = false;  // an exception, a damaged or unexpected frame
    std::string text;    // UTF-8, "" when nothing could be read
};

// What came back for `request` (both as they went over the line). A data request's answer is
// decoded register by register (the instrument's registers with their names); an answer to
// one of the instrument's QV commands with the command's decoder; any other frame with a good
// frame check is told by its form only.
RawAnswerView DescribeRawAnswer(const std::vector<uint8_t>& request,
                                const std::vector<uint8_t>& answer);

}  // namespace protocol
