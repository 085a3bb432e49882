#pragma once
// Units of measure by the instrument's unit code.
#include <string>

namespace protocol {

constexpr int UnitCodeCount = 25;

// The unit's text (UTF-8) for a unit code 1..25; "" outside that range and for the codes
// without a unit.
std::string UnitName(int unitCode);

}  // namespace protocol
