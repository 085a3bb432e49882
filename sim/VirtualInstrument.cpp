#include "sim/VirtualInstrument.h"

namespace sim {

VirtualInstrument::VirtualInstrument(const Config& config)
    : FLine({config}, SingleInstrumentLine(config)) {}

}  // namespace sim
