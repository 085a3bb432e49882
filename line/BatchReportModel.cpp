#include "line/BatchReportModel.h"

#include <QBrush>
#include <QColor>

#include "base/CsvField.h"

namespace {

bool Same(const TWatchTarget& a, const TWatchTarget& b) {
    return a.address == b.address && a.protocol == b.protocol && a.baud == b.baud;
}

}  // namespace

TBatchReportModel::TBatchReportModel(QObject* parent) : QAbstractTableModel(parent) {}

int TBatchReportModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(FRows.size());
}

int TBatchReportModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TBatchReportModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
    switch (section) {
        case Address:
            return tr("Адрес");
        case Protocol:
            return tr("Протокол");
        case Speed:
            return tr("Скорость");
        case Differences:
            return tr("Отличается от файла");
        case Result:
            return tr("Итог");
        case Detail:
            return tr("Подробности");
        default:
            return QVariant();
    }
}

QVariant TBatchReportModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return QVariant();
    if (role == Qt::DisplayRole) return Cell(index.row(), index.column());
    if (role == Qt::ForegroundRole && index.column() == Result) {
        const Outcome o = At(index.row()).outcome;
        if (o == Outcome::Verified) return QBrush(QColor(Qt::darkGreen));
        if (o != Outcome::Pending) return QBrush(QColor(Qt::red));
    }
    return QVariant();
}

void TBatchReportModel::Reset(const std::vector<TWatchTarget>& targets) {
    beginResetModel();
    FTargets = targets;
    FRows.clear();
    for (const TWatchTarget& t : targets) {
        Row row;
        row.target = t;
        FRows.push_back(row);
    }
    endResetModel();
}

int TBatchReportModel::RowOf(const TWatchTarget& target) const {
    for (size_t i = 0; i < FRows.size(); ++i)
        if (Same(FRows[i].target, target)) return int(i);
    return -1;
}

void TBatchReportModel::TakePlan(const TWatchTarget& target, const QStringList& differences,
                                 const QString& problem) {
    const int row = RowOf(target);
    if (row < 0) return;
    Row& r = FRows[size_t(row)];
    r.planned = true;
    r.differences = differences;
    r.problem = problem;
    RowChanged(row);
}

void TBatchReportModel::TakeOutcome(const TWatchTarget& target, Outcome outcome,
                                    const QString& detail) {
    const int row = RowOf(target);
    if (row < 0) return;
    FRows[size_t(row)].outcome = outcome;
    FRows[size_t(row)].detail = detail;
    RowChanged(row);
}

QString TBatchReportModel::Cell(int row, int column) const {
    const Row& r = At(row);
    switch (column) {
        case Address:
            return QString::number(r.target.address);
        case Protocol:
            return r.target.protocol == protocol::Protocol::Qv ? QStringLiteral("QV")
                                                               : QStringLiteral("Modbus RTU");
        case Speed:
            return QString::number(r.target.baud);
        case Differences:
            if (!r.planned) return QString();
            if (!r.problem.isEmpty()) return r.problem;
            return r.differences.isEmpty() ? tr("ничего")
                                           : r.differences.join(QStringLiteral(", "));
        case Result:
            switch (r.outcome) {
                case Outcome::Pending:
                    return QString();
                case Outcome::Verified:
                    return tr("записано, проверено");
                case Outcome::Written:
                    return tr("записано, при проверке отличается");
                case Outcome::Refused:
                    return tr("отказ");
                case Outcome::Silent:
                    return tr("не отвечает");
            }
            return QString();
        case Detail:
            return r.detail;
        default:
            return QString();
    }
}

QString TBatchReportModel::Csv() const {
    QString text = QStringLiteral("address,protocol,speed,differences,result,detail\n");
    for (int row = 0; row < rowCount(); ++row) {
        QStringList fields;
        for (int column = 0; column < ColumnCount; ++column) fields << CsvField(Cell(row, column));
        text += fields.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return text;
}

void TBatchReportModel::RowChanged(int row) {
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}
