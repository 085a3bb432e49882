#pragma once
// TRegisterTableModel: the registers window's table. One row per value: a register (or two
// for the 32-bit types and the single) or a coil, with the instrument's name for its registers,
// the value in the chosen type, order and base, the value as the instrument means it, the age
// of the reading and the error of the last attempt. Rows keep their last value when a later
// read fails, so that the age tells how old it is. Main thread only.
#include <QAbstractTableModel>
#include <QString>
#include <functional>
#include <vector>

#include "protocol/RegisterFrames.h"
#include "protocol/RegisterValues.h"

class TRegisterTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Register, Name, Value, Meaning, Age, Error, ColumnCount };

    // `nowMs`: the clock the ages are read on (a steady clock; tests give their own).
    explicit TRegisterTableModel(QObject* parent = nullptr,
                                 std::function<qint64()> nowMs = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The range shown: the rows start afresh, unread.
    void SetRange(protocol::DataFunction function, uint16_t start, int count);
    // How register values are shown; the values read are kept.
    void SetView(protocol::RegisterType type, protocol::WordOrder order, protocol::NumberBase base);

    // A read of the whole range answered (`values`: one per register or coil).
    void TakeValues(const std::vector<uint16_t>& values);
    // A read of the whole range failed: every row keeps its value and shows `error`.
    void TakeError(const QString& error);
    // A write (function 5, 6, 15 or 16) acknowledged: the registers or coils from `start`
    // hold `values` now, as the rows read with function 3 or 1 show.
    void TakeWritten(protocol::DataFunction write, uint16_t start,
                     const std::vector<uint16_t>& values);
    // The age column again, as the clock has moved on.
    void RefreshAges();

    protocol::DataFunction Function() const { return FFunction; }
    uint16_t Start() const { return FStart; }
    int Count() const { return int(FValues.size()); }
    // The first register of a row.
    uint16_t RowRegister(int row) const;
    // Registers (or coils) a row spans.
    int RowWidth() const;

    // Every row as CSV (header line first): register, name, value, meaning, age in seconds
    // (empty while unread), error. Fields with a comma, quote or line break are quoted.
    QString Csv() const;

private:
    QString Cell(int row, int column) const;
    bool CarriesBits() const { return protocol::CarriesBits(FFunction); }

    std::function<qint64()> FNowMs;
    protocol::DataFunction FFunction = protocol::DataFunction::ReadHoldingRegisters;
    uint16_t FStart = 0;
    protocol::RegisterType FType = protocol::RegisterType::U16;
    protocol::WordOrder FOrder = protocol::WordOrder::ABCD;
    protocol::NumberBase FBase = protocol::NumberBase::Dec;
    std::vector<uint16_t> FValues;  // one per register or coil
    std::vector<qint64> FReadAtMs;  // per register or coil; -1: never read
    std::vector<QString> FErrors;   // per register or coil
};
