#include "protocol/Units.h"

namespace protocol {

namespace {

const char* const UnitNames[UnitCodeCount] = {
    "V", "A",  "W",   "var", "kV",   "kA", "kW", "kvar", "MV", "MA", "MW", "Mvar", "Hz",
    "C", "mA", "mkA", "GW",  "Gvar", "mV", "N",  "%",    "",   "",   "",   ""};

}  // namespace

std::string UnitName(int unitCode) {
    if (unitCode < 1 || unitCode > UnitCodeCount) return std::string();
    return UnitNames[unitCode - 1];
}

}  // namespace protocol
