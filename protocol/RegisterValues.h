#pragma once
// Register contents seen as numbers: unsigned or signed 16-bit, or a 32-bit integer or IEEE
// single over two registers in one of the four orders, written in decimal, hex or binary; and
// the other way, a typed value turned into the registers that carry it.
//
// The orders name where the value's bytes A (most significant) to D go: ABCD puts A B in the
// first register and C D in the second, CDAB exchanges the two registers, BADC exchanges the
// bytes within each register, DCBA does both.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/RegisterFrames.h"

namespace protocol {

enum class RegisterType : uint8_t { U16, S16, U32, S32, Float };
enum class WordOrder : uint8_t { ABCD, CDAB, BADC, DCBA };
enum class NumberBase : uint8_t { Dec, Hex, Bin };

// "u16", "s16", "u32", "s32", "float"; "ABCD".. ; "dec", "hex", "bin".
const char* RegisterTypeName(RegisterType type);
const char* WordOrderName(WordOrder order);
const char* NumberBaseName(NumberBase base);
bool RegisterTypeFromName(const std::string& text, RegisterType& type);
bool WordOrderFromName(const std::string& text, WordOrder& order);
bool NumberBaseFromName(const std::string& text, NumberBase& base);

// Registers one value of the type takes: 1 or 2.
int RegisterWidth(RegisterType type);

// The 32 bits two registers carry, `first` being the lower-numbered register.
uint32_t JoinRegisters(uint16_t first, uint16_t second, WordOrder order);
// The two registers, lower-numbered first, that carry `bits`.
void SplitRegisters(uint32_t bits, WordOrder order, uint16_t& first, uint16_t& second);

// The value that starts at `registers[0]` ("" when a 32-bit type lacks its second register).
// Hex and binary show the bits (the single's too), padded to the type's width: "0x03EB",
// "0b0000001111101011"; decimal shows the number, a single with up to 7 significant digits.
std::string RegisterValueText(const uint16_t* registers, int available, RegisterType type,
                              WordOrder order, NumberBase base);

// The registers that carry the value written as `text` ("7", "-3", "0x3EB", "0b101", "1.5",
// "1e3"), or why it cannot be written in `problem` (empty text, not a number, out of the
// type's range, a fraction for an integer type).
std::optional<std::vector<uint16_t>> EncodeRegisterValue(const std::string& text, RegisterType type,
                                                         WordOrder order, std::string& problem);

// The write of `items` (value texts) from `start` to `address`. `function` 0 takes 6 for one
// register and 16 for more; 5 and 15 take 0 or 1 per item, 6 and 16 values of `type` in
// `order`. Nothing, with the reason (English) in `problem`, for a value that does not fit, a
// read function, several items for a single write, or more items than the function writes.
std::optional<DataRequest> PlanDataWrite(uint8_t address, int function, uint16_t start,
                                         const std::vector<std::string>& items, RegisterType type,
                                         WordOrder order, std::string& problem);

}  // namespace protocol
