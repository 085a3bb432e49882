#pragma once
// The instrument's registers by number, with their names as the window calls them ("Сетевой
// адрес", "Шкала пар. 1") and the value read as the instrument means it: a single with its
// low-order word first, a unit code, a speed code, two text characters.
#include <cstdint>
#include <string>

namespace protocol {

enum class RegisterMeaning : uint8_t {
    Number,          // unsigned
    SignedNumber,    // signed 16-bit
    SingleLowWord,   // IEEE single over two registers, low-order word first
    SingleHighWord,  // IEEE single over two registers, high-order word first
    UnitCode,
    PointCode,
    SpeedCode,
    Year,  // two digits, 2000 added
    SetpointFormat,
    Text,  // two characters (cp1251), first in the high byte
};

struct KnownRegister {
    uint16_t number;  // the first register of the item
    uint8_t width;    // registers the item spans: 1, 2, or 32 for the text
    const char* name;
    RegisterMeaning meaning;
};

// The item register `number` belongs to; nullptr for a register the instrument has no name
// for.
const KnownRegister* FindKnownRegister(uint16_t number);

// The register's name: the item's, with "(2)" for the second register of a two-register item
// and the character positions for the text ("Доп. информация 3-4"); "" when unknown.
std::string KnownRegisterName(uint16_t number);

// The value of the item that starts at `number`, read as the instrument means it, from the
// registers `values[0..available)` that begin at `number` ("230.4", "В", "9600 бит/с", "2005",
// "«Щи»"); "" for an unknown register, one inside an item, or an item not wholly there.
std::string KnownRegisterValue(uint16_t number, const uint16_t* values, int available);

}  // namespace protocol
