#include "sim/VirtualInstrument.h"

namespace sim {

namespace {

BusOptions SingleInstrumentLine(const Config& config) {
    BusOptions options;
    options.silenceMs = config.silenceMs;
    options.answersEndFrames = false;  // no other instrument on the line to end a frame for
    return options;
}

}  // namespace

VirtualInstrument::VirtualInstrument(const Config& config)
    : FLine({config}, SingleInstrumentLine(config)) {}

}  // namespace sim
