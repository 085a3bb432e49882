#pragma once
// TExchangeView: what the answer interpretation needs of the window. The exchange writes the
// values it decodes into fields named as the form names them and reads back the few fields a
// chain step depends on; the window decides how each is shown. Every call is made on the main
// thread (the exchange thread reaches the view only through Synchronize).
#include <QString>
#include <cstdint>

class ESerialPort;
struct TRequestEnd;

// The form's fields the interpretation reads or writes, by their form names.
enum class TField {
    EditAdr,     // network address in the toolbar
    Edit1,       // repeat interval of the readings page, ms
    Edit2,       // address read from the instrument
    Edit3,       // serial number (year digits + number)
    Edit4,       // year of manufacture
    Edit5,       // the byte after the serial number
    Edit6,       // relay value
    Edit7,       // scale
    Edit9,       // information text
    Edit10,      // relay hysteresis
    Edit11,      // setpoint 1
    Edit12,      // setpoint 2
    ei1,         // unit list (index)
    TrackBar1,   // brightness (position)
    ComboBox4,   // IEC framing: address size (index)
    ComboBox5,   // IEC framing: cause size (index)
    ComboBox6,   // IEC framing: object address size (index)
    ComboBox7,   // IEC framing: ASDU type (index)
    ComboBox9,   // relay mode (index)
    ComboBox10,  // alarm mode (index)
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
