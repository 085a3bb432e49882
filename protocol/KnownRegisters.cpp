#include "protocol/KnownRegisters.h"

#include <cstdio>
#include <cstring>

#include "protocol/Cp1251.h"
#include "protocol/Decoders.h"
#include "protocol/Registers.h"
#include "protocol/Requests.h"
#include "protocol/Units.h"

namespace protocol {

namespace {

using M = RegisterMeaning;

// Sorted by number; the items do not overlap.
const KnownRegister Known[] = {
    {0, 2, "Значение пар. 1", M::SingleLowWord},
    {4, 2, "Значение пар. 2", M::SingleLowWord},
    {8, 2, "Значение пар. 3", M::SingleLowWord},
    {100, 2, "Шкала пар. 1", M::SingleLowWord},
    {102, 1, "Ед. изм. пар. 1", M::UnitCode},
    {103, 1, "Точка пар. 1", M::PointCode},
    {108, 2, "Шкала пар. 2", M::SingleLowWord},
    {110, 1, "Ед. изм. пар. 2", M::UnitCode},
    {111, 1, "Точка пар. 2", M::PointCode},
    {116, 2, "Шкала пар. 3", M::SingleLowWord},
    {118, 1, "Ед. изм. пар. 3", M::UnitCode},
    {119, 1, "Точка пар. 3", M::PointCode},
    {reg::UpperSetpoint, 1, "Уставка max", M::SignedNumber},
    {reg::LowerSetpoint, 1, "Уставка min", M::SignedNumber},
    {554, 1, "Реле 1: режим", M::Number},
    {557, 1, "Реле 1: задержка", M::SignedNumber},
    {558, 1, "Реле 2: режим", M::Number},
    {561, 1, "Реле 2: задержка", M::SignedNumber},
    {562, 1, "Реле 2: режим (запись)", M::Number},
    {565, 1, "Реле 2: задержка (запись)", M::SignedNumber},
    {570, 2, "Гистерезис реле 1", M::SingleLowWord},
    {572, 2, "Гистерезис реле 2", M::SingleLowWord},
    {574, 2, "Гистерезис реле 2 (запись)", M::SingleHighWord},
    {1000, 1, "Число параметров", M::Number},
    {reg::Address, 1, "Сетевой адрес", M::Number},
    {1004, 1, "Заводской номер", M::Number},
    {1005, 1, "Год выпуска", M::Year},
    {reg::Brightness, 1, "Яркость", M::Number},
    {reg::SerialNumberWrite, 1, "Заводской номер (запись)", M::Number},
    {reg::YearWrite, 1, "Год выпуска (запись)", M::Year},
    {reg::SetpointFormat, 1, "Формат уставок", M::SetpointFormat},
    {reg::SpeedRs1, 1, "Скорость RS-485 1", M::SpeedCode},
    {reg::SpeedRs2, 1, "Скорость RS-485 2", M::SpeedCode},
    {reg::InfoText, reg::InfoTextCount, "Доп. информация", M::Text},
    {reg::Iec, 1, "МЭК-101: размер общего адреса", M::Number},
    {reg::Iec + 1, 1, "МЭК-101: размер адреса объекта", M::Number},
    {reg::Iec + 2, 1, "МЭК-101: размер причины", M::Number},
    {reg::Iec + 3, 1, "МЭК-101: тип", M::Number},
    {reg::AlarmMode, 1, "Режим сигнализации", M::Number},
    {reg::UpperSetpointWide, 1, "Уставка max (16 бит, запись)", M::SignedNumber},
    {reg::LowerSetpointWide, 1, "Уставка min (16 бит, запись)", M::SignedNumber},
};

std::string Single(uint16_t low, uint16_t high) {
    const uint32_t bits = uint32_t(high) << 16 | low;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", double(value));
    return text;
}

std::string TextOf(uint16_t word) {
    std::string bytes;
    for (uint8_t b : {uint8_t(word >> 8), uint8_t(word & 0xFF)})
        if (b != 0) bytes += char(b);
    return "«" + FromCp1251(bytes) + "»";
}

}  // namespace

const KnownRegister* FindKnownRegister(uint16_t number) {
    for (const KnownRegister& k : Known)
        if (number >= k.number && number < k.number + k.width) return &k;
    return nullptr;
}

std::string KnownRegisterName(uint16_t number) {
    const KnownRegister* k = FindKnownRegister(number);
    if (!k) return std::string();
    const int offset = number - k->number;
    if (k->meaning == M::Text)
        return std::string(k->name) + " " + std::to_string(2 * offset + 1) + "-" +
               std::to_string(2 * offset + 2);
    return offset == 0 ? k->name : std::string(k->name) + " (2)";
}

std::string KnownRegisterValue(uint16_t number, const uint16_t* v, int available) {
    const KnownRegister* k = FindKnownRegister(number);
    if (!k || available < 1) return std::string();
    // The text is read two characters at a time, whichever of its registers this is.
    if (k->meaning == M::Text) return TextOf(v[0]);
    if (number != k->number || available < k->width) return std::string();
    switch (k->meaning) {
        case M::Number:
            return std::to_string(v[0]);
        case M::SignedNumber:
            return std::to_string(int16_t(v[0]));
        case M::SingleLowWord:
            return Single(v[0], v[1]);
        case M::SingleHighWord:
            return Single(v[1], v[0]);
        case M::UnitCode: {
            const std::string unit = UnitName(v[0]);
            return unit.empty() ? "код " + std::to_string(v[0]) : unit;
        }
        case M::PointCode:
            if (v[0] > 3) return "код " + std::to_string(v[0]);
            return "знаков после точки: " + std::to_string(3 - v[0]);
        case M::SpeedCode: {
            const int32_t speed = SpeedOfCode(v[0]);
            return speed ? std::to_string(speed) + " бит/с" : "код " + std::to_string(v[0]);
        }
        case M::Year:
            return std::to_string(2000 + v[0]);
        case M::SetpointFormat:
            return v[0] == SixteenBitSetpoints ? "16 бит" : "8 бит";
        case M::Text:
            break;
    }
    return std::string();
}

}  // namespace protocol
