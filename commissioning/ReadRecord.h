#pragma once
// TReadRecord: what has been read from the instrument the window talks to, and whose values
// the parameter page's fields hold. Main thread only; owned by the window's commissioning.
//
// Every answered read adds the configuration values its answer gave, decoded as tessera-cli
// decodes them (a scale is kept as the instrument sent it, not as the field rounds it), with
// their source: port, speed, address and protocol. A write to the instrument drops the values
// it may have changed, until they are read again. When the window turns to another source
// (the address field, the settings dialog, a search), the values are dropped and the fields
// filled from the old source are greyed until they are read again. A group that a read-all
// could not read has its title marked red until it is read or the source changes.
#include <QDateTime>
#include <QString>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "config/ConfigFile.h"
#include "exchange/ExchangeStates.h"
#include "protocol/Commands.h"

class QGroupBox;
class QWidget;
struct TRequestEnd;

struct TSource {
    QString port;
    int baud = 0;
    uint16_t address = 0;
    bool modbus = false;

    bool operator==(const TSource& o) const {
        return port == o.port && baud == o.baud && address == o.address && modbus == o.modbus;
    }
    bool operator!=(const TSource& o) const { return !(*this == o); }
    const char* ProtocolName() const { return modbus ? "modbus" : "qv"; }
};

// The parameter page's groups of fields that reads fill.
enum class TFieldGroup {
    Address,
    Serial,
    Brightness,
    Info,
    Parameter,
    SetpointUpper,
    SetpointLower,
    Iec,
    Relay,
    Alarm
};
constexpr int FieldGroupCount = 10;

// Where a group's values are shown: its fields and the box titled with its name (the
// setpoints share one). The main window implements it.
class TFieldGroupsView {
public:
    virtual ~TFieldGroupsView() = default;
    virtual std::vector<QWidget*> GroupFields(TFieldGroup group) const = 0;
    virtual QGroupBox* GroupBox(TFieldGroup group) const = 0;
};

class TReadRecord {
public:
    explicit TReadRecord(const TFieldGroupsView& page);

    // The window now talks to `source`; values of another source are dropped.
    void Follow(const TSource& source);
    // An ended request: an answered read adds its values, a refused one records them absent;
    // a write not refused drops the values it changes.
    void Take(const TRequestEnd& end, uint16_t setpointFormat);
    void Clear();  // drops the values, keeps the fields' state

    const config::InstrumentConfig& Values() const { return FValues; }
    bool Empty() const;
    bool HasAny(const std::vector<std::string>& keys) const;
    const TSource& Source() const { return FSource; }

    // The configuration file of what was read: a header naming the source and the time of the
    // reads, then every key, "absent" where nothing was read.
    std::string FileText() const;

    bool Stale(TFieldGroup group) const;
    bool Marked(TFieldGroup group) const { return FMarked[size_t(group)]; }
    void MarkUnread(TFieldGroup group, const QString& why);

    // The group whose fields the interpretation fills for this read, if any.
    static std::optional<TFieldGroup> GroupOfRead(TListComand command,
                                                  ExchangeStates exchangeState);

private:
    void ShowState(TFieldGroup group);

    const TFieldGroupsView& FPage;
    TSource FSource;
    bool FHasSource = false;
    config::InstrumentConfig FValues;
    QDateTime FFirstRead;
    QDateTime FLastRead;
    std::array<std::optional<TSource>, FieldGroupCount> FFilledFrom{};
    std::array<bool, FieldGroupCount> FMarked{};
    std::array<QString, FieldGroupCount> FMarkText{};
};
