#pragma once
// Before an instrument is given a new address, the address is asked first. An instrument
// that answers there (even with damaged bytes or a refusal) already holds it: two instruments
// at one address can no longer be told apart on the line, and neither answers cleanly again.
// Only silence lets the new address be written.
#include <QString>
#include <cstdint>

#include "commissioning/ReadAll.h"

class TInstrumentOperations;

// A step that asks `target` for its address without changing the address the window's
// requests go to. Done when nothing answered; Refused, with a message naming the address,
// when something did; Unanswered when the question could not be asked or its end is unknown.
// Its tag is AddressProbeTag: a question, not a write, in a report of what was written.
TSequenceStep AddressFreeStep(TInstrumentOperations& instrument, uint16_t target);
constexpr int AddressProbeTag = -2;

// What the operator is told when the new address is taken.
QString AddressTakenText(uint16_t target);
