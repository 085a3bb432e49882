#pragma once
// TBatchReportModel: a configuration file carried out on the ticked instruments of a line,
// one row each: what differs from the file (before the writes), then how it ended - written
// and verified by reading back, written but reading back otherwise, refused, silent. Saved as
// CSV. Main thread only.
#include <QAbstractTableModel>
#include <QStringList>
#include <vector>

#include "line/LineWorker.h"

class TBatchReportModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Address, Protocol, Speed, Differences, Result, Detail, ColumnCount };
    using Outcome = TBatchOutcome;

    struct Row {
        TWatchTarget target;
        bool planned = false;
        QStringList differences;  // the keys the file changes
        QString problem;  // why nothing can be planned (silent, a file the instrument cannot take)
        Outcome outcome = Outcome::Pending;
        QString detail;
    };

    explicit TBatchReportModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // A new batch over these instruments, nothing known yet.
    void Reset(const std::vector<TWatchTarget>& targets);
    const std::vector<TWatchTarget>& Targets() const { return FTargets; }
    void TakePlan(const TWatchTarget& target, const QStringList& differences,
                  const QString& problem);
    void TakeOutcome(const TWatchTarget& target, Outcome outcome, const QString& detail);
    const Row& At(int row) const { return FRows.at(size_t(row)); }
    int RowOf(const TWatchTarget& target) const;

    QString Cell(int row, int column) const;
    QString Csv() const;

private:
    void RowChanged(int row);

    std::vector<TWatchTarget> FTargets;
    std::vector<Row> FRows;
};
