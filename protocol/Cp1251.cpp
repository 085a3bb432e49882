#include "protocol/Cp1251.h"

namespace protocol {

namespace {

// Code points of bytes 0x80..0xFF; 0x98 has no character (U+FFFD).
// clang-format off
const char16_t Upper[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F
};
// clang-format on

constexpr char32_t Replacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// Decodes the UTF-8 sequence at `i`, advancing `i`; a malformed byte gives U+FFFD and
// advances by one.
char32_t NextCodePoint(const std::string& s, size_t& i) {
    const uint8_t first = uint8_t(s[i]);
    int extra = 0;
    char32_t c = 0;
    char32_t least = 0;
    if (first < 0x80) {
        ++i;
        return first;
    } else if ((first & 0xE0) == 0xC0) {
        extra = 1, c = first & 0x1F, least = 0x80;
    } else if ((first & 0xF0) == 0xE0) {
        extra = 2, c = first & 0x0F, least = 0x800;
    } else if ((first & 0xF8) == 0xF0) {
        extra = 3, c = first & 0x07, least = 0x10000;
    } else {
        ++i;
        return Replacement;
    }
    if (i + extra >= s.size()) {  // the sequence is cut off by the end of the text
        ++i;
        return Replacement;
    }
    for (int k = 1; k <= extra; ++k) {
        const uint8_t next = uint8_t(s[i + k]);
        if ((next & 0xC0) != 0x80) {
            ++i;
            return Replacement;
        }
        c = c << 6 | (next & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return Replacement;
    }
    i += extra + 1;
    return c;
}

}  // namespace

char32_t Cp1251ToCodePoint(uint8_t byte) {
    return byte < 0x80 ? byte : Upper[byte - 0x80];
}

uint8_t CodePointToCp1251(char32_t codePoint) {
    if (codePoint < 0x80) return uint8_t(codePoint);
    if (codePoint == Replacement) return '?';
    for (int i = 0; i < 128; ++i)
        if (Upper[i] == codePoint) return uint8_t(0x80 + i);
    return '?';
}

std::string FromCp1251(const std::string& bytes) {
    std::string text;
    text.reserve(bytes.size() * 2);
    for (char b : bytes) AppendUtf8(text, Cp1251ToCodePoint(uint8_t(b)));
    return text;
}

std::string ToCp1251(const std::string& utf8) {
    std::string bytes;
    bytes.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) bytes += char(CodePointToCp1251(NextCodePoint(utf8, i)));
    return bytes;
}

std::optional<Cp1251Misfit> FirstCp1251Misfit(const std::string& utf8) {
    for (size_t i = 0; i < utf8.size();) {
        const size_t at = i;
        const char32_t c = NextCodePoint(utf8, i);
        // U+FFFD written out in the text is as foreign to the code page as a malformed byte.
        if (c == Replacement && i == at + 1) return Cp1251Misfit{at, uint8_t(utf8[at]), true};
        if (c == Replacement || (c >= 0x80 && CodePointToCp1251(c) == '?'))
            return Cp1251Misfit{at, c, false};
    }
    return std::nullopt;
}

}  // namespace protocol
