#pragma once
// Virtual instruments the tests set up the same way.
#include "sim/VirtualInstrument.h"

inline sim::Config Instrument(sim::Protocol protocol, uint16_t address, int parameters = 3) {
    sim::Config config;
    config.protocol = protocol;
    config.address = address;
    config.parameterCount = parameters;
    return config;
}

// The instrument the configuration tests copy from: every group away from its default.
inline void ConfigureEveryGroup(sim::InstrumentModel& model) {
    model.Change([](sim::InstrumentState& s) {
        s.parameters[0] = {173.2f, 1, 2};
        s.parameters[1] = {0.5f, 13, 3};
        s.serialNumber = 1234;
        s.year = 23;
        s.brightness = 2;
        s.upperSetpoint = 120;
        s.lowerSetpoint = -90;
        s.iec = {2, 3, 1, 13};
        s.relays[0] = {3, 250, 1.5f};
        s.relays[1] = {1, -40, 0.25f};
        s.signallingMode = 2;
    });
    model.SetInfoText("\xD9\xE8\xF2 \"A\" \xB9 5");  // Щит "A" № 5
}
