#include "sim/Bytes.h"

#include <cctype>
#include <stdexcept>

#include "protocol/Crc.h"

namespace sim {

std::string ToHex(const Bytes& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (uint8_t b : bytes) {
        if (!text.empty()) text += ' ';
        text += digits[b >> 4];
        text += digits[b & 0x0F];
    }
    return text;
}

static int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    const char upper = char(std::toupper(static_cast<unsigned char>(c)));
    if (upper >= 'A' && upper <= 'F') return upper - 'A' + 10;
    throw std::invalid_argument(std::string("not a hex digit: ") + c);
}

Bytes FromHex(const std::string& text) {
    Bytes bytes;
    int high = -1;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (high >= 0) throw std::invalid_argument("odd hex digit: " + text);
            continue;
        }
        const int digit = HexDigit(c);
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(uint8_t(high * 16 + digit));
            high = -1;
        }
    }
    if (high >= 0) throw std::invalid_argument("odd hex digit: " + text);
    return bytes;
}

bool CrcOk(const uint8_t* frame, size_t length) {
    return length >= 3 && length <= 0xFFFF && Crc16(frame, uint16_t(length)) == 0;
}

Bytes WithCrc(Bytes body) {
    body.resize(body.size() + 2);
    StoreCrc(body.data(), uint16_t(body.size()));
    return body;
}

}  // namespace sim
