#pragma once
// TInstrumentOperations: what the window's features ask of the instrument, by name. Each
// operation goes out exactly as the parameter page's own button sends it (the same checks,
// the same chains, the answer shown in the page's fields); the main window implements it and
// its buttons call the same code. Main thread only.
#include <QString>
#include <cstdint>

namespace protocol {
struct Request;
}

class TInstrumentOperations {
public:
    virtual ~TInstrumentOperations() = default;

    // Reads; the answer fills the parameter page.
    virtual void ReadAddress() = 0;
    virtual void ReadSerialNumber() = 0;
    virtual void ReadBrightness() = 0;
    virtual void ReadInfo() = 0;
    virtual void ReadParameter(int number) = 0;  // 1..3; the page then shows that parameter
    virtual void ReadSetpointUpper() = 0;
    virtual void ReadSetpointLower() = 0;
    virtual void ReadIecFraming() = 0;
    virtual void ReadRelays() = 0;
    virtual void ReadAlarm() = 0;
    // The parameter the page shows ("Пар. №"), 0 when its field holds none.
    virtual int ShownParameter() const = 0;

    // Writes.
    // One request, as a page handler sends it; a port failure is reported to the operator.
    virtual void Send(const protocol::Request& request) = 0;
    // The setpoints, as their text; the page's chain asks the instrument's format first.
    virtual void WriteSetpointUpper(const QString& text) = 0;
    virtual void WriteSetpointLower(const QString& text) = 0;
    // The relay the relay requests name, and the hysteresis its mode-and-delay write is
    // followed by.
    virtual void ChooseRelay(int relay) = 0;
    virtual void SetRelayHysteresisToFollow(const QString& text) = 0;
    // The serial number's digits (year, then number) that the Modbus chain's second request
    // takes its year from.
    virtual void SetSerialDigitsToFollow(const QString& digits) = 0;
    // Later requests go to `address`, as after the operator typed it.
    virtual void UseAddress(uint16_t address) = 0;
};
