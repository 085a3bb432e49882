#pragma once
// TLineTableModel: the instruments found on a line, one row each, for the "Линия" window.
// A row holds what the scan learnt (address, protocol, speed, serial number and year), what
// the instrument told of itself afterwards (the units and point codes of parameters 1-3, its
// information text), how it has answered since (state, counters) and the last value of each
// parameter watched, with the time of its last good answer. A collision - damaged answers at
// one address, two instruments sharing it - is a row of its own that says what to do.
//
// Times are given by the caller, so that the model runs on any clock. Main thread only.
#include <QAbstractTableModel>
#include <QTime>
#include <array>
#include <optional>
#include <vector>

#include "linescan/LineScan.h"

class TLineTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        Address,  // carries the tick of an instrument row
        Protocol,
        Speed,
        Serial,
        Units,
        Info,
        State,
        Value1,
        Value2,
        Value3,
        Answers,
        Unanswered,
        BadCrc,
        ColumnCount
    };

    struct Parameter {
        QString unit;                 // "" when the instrument has none or did not say
        uint8_t pointCode = 3;        // decimals shown: 3 - pointCode
        bool exists = true;           // false: the instrument has no such parameter
        std::optional<double> value;  // the last good reading
        QTime lastGood;               // when it came
        bool stale = false;           // a later read of it failed
    };

    struct Row {
        linescan::Finding finding;
        std::array<Parameter, 3> parameters;
        QString info;
        bool ticked = true;
        bool answering = true;  // the last request to it was answered
        QTime silentSince;      // the first unanswered request after the last answer
        int answers = 0;
        int unanswered = 0;
        int badCrc = 0;
        bool IsCollision() const { return finding.kind == linescan::Finding::Kind::Collision; }
    };

    explicit TLineTableModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    void Clear();
    // Adds the finding unless a row already holds it (same address, protocol and speed);
    // returns its row.
    int AddFinding(const linescan::Finding& finding);
    const Row& At(int row) const { return FRows.at(size_t(row)); }
    // The row of an instrument, -1 when there is none.
    int RowOf(uint16_t address, protocol::Protocol protocol, int32_t baud) const;
    // The instrument rows ticked, in table order.
    std::vector<int> TickedRows() const;
    void SetTicked(int row, bool ticked);

    // What the instrument told of itself: parameter 1..3's setup, its information text.
    void TakeParameterSetup(int row, int parameter, const protocol::ParameterSetup& setup);
    void TakeInfo(int row, const QString& info);

    // One request to the instrument and how it ended; a reading also keeps its value.
    void TakeAnswer(int row, const QTime& at);
    void TakeSilence(int row, const QTime& at);
    void TakeBadCrc(int row, const QTime& at);
    void TakeReading(int row, int parameter, double value, const QTime& at);
    // A read of the parameter failed: its last value stays, greyed.
    void MarkStale(int row, int parameter);

    // The text of a cell as shown (without the tick).
    QString Cell(int row, int column) const;
    // The whole table as CSV, a header line first.
    QString Csv() const;

private:
    QString ValueText(const Row& row, int parameter) const;
    void RowChanged(int row);

    std::vector<Row> FRows;
};
