#include "line/LineTableModel.h"

#include <QBrush>
#include <QColor>

#include "base/CsvField.h"
#include "protocol/NumberText.h"
#include "protocol/Units.h"

namespace {

QString Utf8(const std::string& text) {
    return QString::fromStdString(text);
}

QString TimeText(const QTime& time) {
    return time.toString(QStringLiteral("HH:mm:ss"));
}

bool ValidParameter(int parameter) {
    return parameter >= 1 && parameter <= 3;
}

}  // namespace

TLineTableModel::TLineTableModel(QObject* parent) : QAbstractTableModel(parent) {}

int TLineTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(FRows.size());
}

int TLineTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TLineTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
    switch (section) {
        case Address:
            return tr("Адрес");
        case Protocol:
            return tr("Протокол");
        case Speed:
            return tr("Скорость");
        case Serial:
            return tr("Номер / год");
        case Units:
            return tr("Единицы 1–3");
        case Info:
            return tr("Информация");
        case State:
            return tr("Состояние");
        case Value1:
            return tr("Пар. 1");
        case Value2:
            return tr("Пар. 2");
        case Value3:
            return tr("Пар. 3");
        case Answers:
            return tr("Ответов");
        case Unanswered:
            return tr("Без ответа");
        case BadCrc:
            return tr("Ошибок CRC");
        default:
            return QVariant();
    }
}

Qt::ItemFlags TLineTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    // A collision is no instrument to poll or configure: it has no tick.
    if (index.column() == Address && !At(index.row()).IsCollision()) f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant TLineTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return QVariant();
    const Row& row = At(index.row());
    const int column = index.column();
    if (role == Qt::DisplayRole) return Cell(index.row(), column);
    if (role == Qt::CheckStateRole && column == Address && !row.IsCollision())
        return row.ticked ? Qt::Checked : Qt::Unchecked;
    if (role == Qt::ForegroundRole) {
        if (row.IsCollision()) return QBrush(QColor(Qt::red));
        if (column == State && !row.answering) return QBrush(QColor(Qt::darkRed));
        if (column >= Value1 && column <= Value3 && row.parameters[size_t(column - Value1)].stale)
            return QBrush(QColor(Qt::gray));
    }
    // A long text (the collision's advice) is read whole in the hint.
    if (role == Qt::ToolTipRole && (column == Info || column == State))
        return Cell(index.row(), column);
    if (role == Qt::ToolTipRole && column >= Value1 && column <= Value3) {
        const Parameter& p = row.parameters[size_t(column - Value1)];
        if (p.value) return tr("Последний ответ в %1").arg(TimeText(p.lastGood));
    }
    return QVariant();
}

bool TLineTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::CheckStateRole || index.column() != Address ||
        At(index.row()).IsCollision())
        return false;
    SetTicked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

void TLineTableModel::Clear() {
    beginResetModel();
    FRows.clear();
    endResetModel();
}

int TLineTableModel::RowOf(uint16_t address, protocol::Protocol protocol, int32_t baud) const {
    for (size_t i = 0; i < FRows.size(); ++i) {
        const linescan::Finding& f = FRows[i].finding;
        if (f.address == address && f.protocol == protocol && f.baud == baud) return int(i);
    }
    return -1;
}

int TLineTableModel::AddFinding(const linescan::Finding& finding) {
    const int known = RowOf(finding.address, finding.protocol, finding.baud);
    if (known >= 0) {
        // A collision seen again as an instrument (or the other way) keeps the latest word.
        FRows[size_t(known)].finding = finding;
        RowChanged(known);
        return known;
    }
    const int row = rowCount();
    beginInsertRows(QModelIndex(), row, row);
    Row added;
    added.finding = finding;
    added.ticked = finding.kind == linescan::Finding::Kind::Instrument;
    FRows.push_back(added);
    endInsertRows();
    return row;
}

std::vector<int> TLineTableModel::TickedRows() const {
    std::vector<int> rows;
    for (size_t i = 0; i < FRows.size(); ++i)
        if (FRows[i].ticked && !FRows[i].IsCollision()) rows.push_back(int(i));
    return rows;
}

void TLineTableModel::SetTicked(int row, bool ticked) {
    if (row < 0 || row >= rowCount() || At(row).IsCollision()) return;
    FRows[size_t(row)].ticked = ticked;
    const QModelIndex cell = index(row, Address);
    emit dataChanged(cell, cell, {Qt::CheckStateRole});
}

void TLineTableModel::TakeParameterSetup(int row, int parameter,
                                         const protocol::ParameterSetup& setup) {
    if (row < 0 || row >= rowCount() || !ValidParameter(parameter)) return;
    Parameter& p = FRows[size_t(row)].parameters[size_t(parameter - 1)];
    p.unit = Utf8(protocol::UnitName(setup.unitCode));
    p.pointCode = setup.pointCode <= 3 ? setup.pointCode : 3;
    p.exists = setup.exists;
    RowChanged(row);
}

void TLineTableModel::TakeInfo(int row, const QString& info) {
    if (row < 0 || row >= rowCount()) return;
    FRows[size_t(row)].info = info;
    RowChanged(row);
}

void TLineTableModel::TakeAnswer(int row, const QTime&) {
    if (row < 0 || row >= rowCount()) return;
    Row& r = FRows[size_t(row)];
    ++r.answers;
    r.answering = true;
    r.silentSince = QTime();
    RowChanged(row);
}

void TLineTableModel::TakeSilence(int row, const QTime& at) {
    if (row < 0 || row >= rowCount()) return;
    Row& r = FRows[size_t(row)];
    ++r.unanswered;
    // Silent since the first request that went unanswered, not the latest.
    if (r.answering || !r.silentSince.isValid()) r.silentSince = at;
    r.answering = false;
    RowChanged(row);
}

void TLineTableModel::TakeBadCrc(int row, const QTime&) {
    if (row < 0 || row >= rowCount()) return;
    ++FRows[size_t(row)].badCrc;
    RowChanged(row);
}

void TLineTableModel::TakeReading(int row, int parameter, double value, const QTime& at) {
    if (row < 0 || row >= rowCount() || !ValidParameter(parameter)) return;
    Parameter& p = FRows[size_t(row)].parameters[size_t(parameter - 1)];
    p.value = value;
    p.lastGood = at;
    p.stale = false;
    RowChanged(row);
}

void TLineTableModel::MarkStale(int row, int parameter) {
    if (row < 0 || row >= rowCount() || !ValidParameter(parameter)) return;
    Parameter& p = FRows[size_t(row)].parameters[size_t(parameter - 1)];
    p.stale = p.value.has_value();
    RowChanged(row);
}

QString TLineTableModel::ValueText(const Row& row, int parameter) const {
    const Parameter& p = row.parameters[size_t(parameter - 1)];
    if (!p.exists) return QStringLiteral("—");
    if (!p.value) return QString();
    QString text = Utf8(protocol::ReadingText(*p.value, p.pointCode));
    if (!p.unit.isEmpty()) text += QLatin1Char(' ') + p.unit;
    // A value that stopped coming says when it last came.
    if (p.stale) text += QStringLiteral(" (%1)").arg(TimeText(p.lastGood));
    return text;
}

QString TLineTableModel::Cell(int rowIndex, int column) const {
    const Row& row = At(rowIndex);
    const linescan::Finding& f = row.finding;
    switch (column) {
        case Address:
            return QString::number(f.address);
        case Protocol:
            return f.protocol == protocol::Protocol::Qv ? QStringLiteral("QV")
                                                        : QStringLiteral("Modbus RTU");
        case Speed:
            return QString::number(f.baud);
        case Serial:
            if (!f.identity) return QString();
            return Utf8(protocol::SerialNumberText(*f.identity)) + QStringLiteral(" / ") +
                   Utf8(protocol::YearText(*f.identity));
        case Units: {
            if (row.IsCollision()) return QString();
            QStringList units;
            for (const Parameter& p : row.parameters)
                units << (p.exists && !p.unit.isEmpty() ? p.unit : QStringLiteral("—"));
            return units.join(QStringLiteral(", "));
        }
        case Info:
            if (row.IsCollision())
                return tr(
                    "Два прибора с одним адресом: отключите один из них и смените ему "
                    "адрес");
            return row.info;
        case State:
            if (row.IsCollision()) return tr("столкновение ответов");
            return row.answering ? tr("отвечает")
                                 : tr("молчит с %1").arg(TimeText(row.silentSince));
        case Value1:
        case Value2:
        case Value3:
            return row.IsCollision() ? QString() : ValueText(row, column - Value1 + 1);
        case Answers:
            return QString::number(row.answers);
        case Unanswered:
            return QString::number(row.unanswered);
        case BadCrc:
            return QString::number(row.badCrc);
        default:
            return QString();
    }
}

QString TLineTableModel::Csv() const {
    QString text = QStringLiteral(
        "address,protocol,speed,serial_year,units,info,state,value1,value2,value3,answers,"
        "unanswered,bad_crc\n");
    for (int row = 0; row < rowCount(); ++row) {
        QStringList fields;
        for (int column = 0; column < ColumnCount; ++column) fields << CsvField(Cell(row, column));
        text += fields.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return text;
}

void TLineTableModel::RowChanged(int row) {
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}
