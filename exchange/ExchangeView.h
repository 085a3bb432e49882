#pragma once
// TExchangeView: what the answer interpretation needs of the window. The exchange writes the
// values it decodes into fields named by what they hold and reads back the few fields a chain
// step depends on; the window decides which control shows each and how. Every call is made on the
// main thread (the exchange thread reaches the view only through Synchronize).
#include <QString>
#include <cstdint>

class ESerialPort;
struct TRequestEnd;

// The values the interpretation reads or writes, by what they hold; the window maps each to
// the control that shows it.
enum class TField {
    NetworkAddress,        // the instrument's network address requests go to
    RepeatIntervalMs,      // pause between value requests of continuous reading, ms
    AddressRead,           // address read from the instrument
    SerialNumber,          // serial number (year digits + number)
    Year,                  // year of manufacture
    ParameterCount,        // number of measured parameters, given with the serial number
    RelayDelay,            // relay delay
    Scale,                 // parameter scale
    InfoText,              // information text
    RelayHysteresis,       // relay hysteresis
    UpperSetpoint,         // setpoint 1
    LowerSetpoint,         // setpoint 2
    Unit,                  // parameter unit (list index)
    Brightness,            // display brightness (position)
    IecCommonAddressSize,  // IEC framing: common address size (index)
    IecCauseSize,          // IEC framing: cause size (index)
    IecObjectAddressSize,  // IEC framing: object address size (index)
    IecType,               // IEC framing: ASDU type (index)
    RelayMode,             // relay mode (index)
    AlarmMode,             // alarm mode (index)
};

class TExchangeView {
public:
    virtual ~TExchangeView() = default;

    virtual void ShowStatus(const QString& text) = 0;
    virtual void ShowError(const QString& text) = 0;
    // A port failure met while an exchange was under way.
    virtual void ReportLineFailure(const ESerialPort& error) = 0;

    virtual void ShowReading(int panel, uint8_t pointCode, double value) = 0;
    virtual void ClearPanel(int panel) = 0;
    virtual void ShowUnit(int panel, const QString& unit) = 0;

    virtual QString FieldText(TField field) const = 0;
    virtual void SetFieldText(TField field, const QString& text) = 0;
    // Lists and the track bar: the entry or position to show.
    virtual void SetFieldIndex(TField field, int index) = 0;

    // Sets the pause before the next value request and starts it unless it runs already;
    // an interval of 0 or less leaves polling stopped after the value just shown.
    virtual void ArmRepeatTimer(int intervalMs) = 0;
    virtual void RefreshProtocolView() = 0;
    virtual void EnableProtocolSwitch(bool enabled) = 0;
    // The answer just interpreted, for the window's answer log.
    virtual void TraceAnswer(const uint8_t* answer, int length) = 0;

    // Once per request, after its end was handled (RequestEnd.h). Nothing by default.
    virtual void RequestEnded(const TRequestEnd& /*end*/) {}
};

// The window the answers go to; set by the window before the exchange thread starts and
// cleared after it has ended.
extern TExchangeView* ExchangeView;
