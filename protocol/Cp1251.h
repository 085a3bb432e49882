#pragma once
// Windows-1251 (Cyrillic), the instrument's one-byte-per-character text encoding, to and from
// UTF-8.
#include <cstdint>
#include <optional>
#include <string>

namespace protocol {

// The character of one byte (U+FFFD for 0x98, which has none).
char32_t Cp1251ToCodePoint(uint8_t byte);
// The byte of one character; '?' for a character Windows-1251 does not have.
uint8_t CodePointToCp1251(char32_t codePoint);

// Bytes (one per character) to UTF-8.
std::string FromCp1251(const std::string& bytes);
// UTF-8 to bytes; characters without a Windows-1251 byte and malformed UTF-8 sequences
// become "?", one per character or bad byte.
std::string ToCp1251(const std::string& utf8);

// The first place where `utf8` is not text the instrument can hold: a malformed UTF-8 byte
// (codePoint is then the byte itself) or a character Windows-1251 has no byte for.
struct Cp1251Misfit {
    size_t offset = 0;  // of the byte or of the character's first byte
    char32_t codePoint = 0;
    bool malformed = false;
};
std::optional<Cp1251Misfit> FirstCp1251Misfit(const std::string& utf8);

}  // namespace protocol
