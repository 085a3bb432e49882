#include "monitor/FrameMonitorModel.h"

#include <QColor>
#include <QFile>
#include <QFontDatabase>
#include <QSaveFile>
#include <algorithm>

#include "base/CsvField.h"

namespace {

const QColor ErrorText(0xA0, 0x00, 0x00);
const QColor ErrorBackground(0xFF, 0xE4, 0xE1);
const QColor AnswerBackground(0xF1, 0xF7, 0xEE);

QString ProtocolText(int protocol) {
    if (protocol < 0) return QString();
    return protocol == 1 ? QStringLiteral("Modbus RTU") : QStringLiteral("QV");
}

QString CrcText(TFrameCrc crc) {
    switch (crc) {
        case TFrameCrc::Good:
            return TFrameMonitorModel::tr("верна");
        case TFrameCrc::Bad:
            return TFrameMonitorModel::tr("ошибка");
        case TFrameCrc::None:
            break;
    }
    return QString();
}

bool RightAligned(int column) {
    return column == TFrameMonitorModel::Address || column == TFrameMonitorModel::Length ||
           column == TFrameMonitorModel::Latency;
}

// Tabs and line breaks inside a cell (a port's message) would split the plain text's columns.
QString PlainField(QString text) {
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text;
}

QString Line(const QStringList& cells, TFrameTextFormat format) {
    QStringList fields;
    fields.reserve(cells.size());
    for (const QString& cell : cells)
        fields << (format == TFrameTextFormat::Csv ? CsvField(cell) : PlainField(cell));
    return fields.join(format == TFrameTextFormat::Csv ? QLatin1Char(',') : QLatin1Char('\t'));
}

}  // namespace

TFrameMonitorModel::TFrameMonitorModel(QObject* parent, int historyLimit)
    : QAbstractTableModel(parent), FLimit(std::max(1, historyLimit)) {}

int TFrameMonitorModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(FRows.size());
}

int TFrameMonitorModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString TFrameMonitorModel::ColumnTitle(int column) {
    switch (column) {
        case Mark:
            return QStringLiteral("!");
        case Time:
            return tr("Время");
        case Direction:
            return tr("Направление");
        case Address:
            return tr("Адрес");
        case Protocol:
            return tr("Протокол");
        case Command:
            return tr("Команда");
        case Length:
            return tr("Длина");
        case Bytes:
            return tr("Байты");
        case Crc:
            return QStringLiteral("CRC");
        case Latency:
            return tr("Задержка, мс");
        case Pieces:
            return tr("Части");
        case Meaning:
            return tr("Значение");
        case Window:
            return tr("Окно");
        default:
            return QString();
    }
}

QString TFrameMonitorModel::CellText(const TFrameRow& row, int column) {
    switch (column) {
        case Mark:
            return row.error ? QStringLiteral("!") : QString();
        case Time:
            return FrameTimeText(row.wallMs);
        case Direction:
            return FrameDirectionText(row.direction);
        case Address:
            return row.address < 0 ? QString() : QString::number(row.address);
        case Protocol:
            return ProtocolText(row.protocol);
        case Command:
            return row.command < 0 ? QString()
                                   : QString::fromLatin1(CommandName(TListComand(row.command)));
        case Length:
            return row.direction == TFrameDirection::PortError ? QString()
                                                               : QString::number(row.length);
        case Bytes:
            return FrameBytesText(row);
        case Crc:
            return CrcText(row.crc);
        case Latency:
            return FrameLatencyText(row);
        case Pieces:
            return FramePiecesText(row);
        case Window:
            return row.source;
        case Meaning:
            return row.meaning;
        default:
            return QString();
    }
}

QVariant TFrameMonitorModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return QVariant();
    const TFrameRow& row = FRows[size_t(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return CellText(row, index.column());
        case ErrorRole:
            return row.error;
        case CommandRole:
            return row.command;
        case ByteCountRole:
            return int(row.bytes.size());
        case Qt::ForegroundRole:
            if (row.error) return ErrorText;
            break;
        case Qt::BackgroundRole:
            if (row.error) return ErrorBackground;
            if (row.direction == TFrameDirection::Answer) return AnswerBackground;
            break;
        case Qt::ToolTipRole:
            if (index.column() == Bytes || index.column() == Meaning)
                return CellText(row, index.column());
            break;
        case Qt::FontRole:
            if (index.column() == Bytes) return QFontDatabase::systemFont(QFontDatabase::FixedFont);
            break;
        case Qt::TextAlignmentRole:
            if (RightAligned(index.column())) return int(Qt::AlignRight | Qt::AlignVCenter);
            if (index.column() == Pieces) return int(Qt::AlignCenter);
            break;
        default:
            break;
    }
    return QVariant();
}

QVariant TFrameMonitorModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
    return ColumnTitle(section);
}

void TFrameMonitorModel::AppendRows(std::vector<TFrameRow>&& rows) {
    if (FPaused || rows.empty()) return;
    // A batch larger than the history keeps only its newest rows.
    auto first = rows.begin();
    if (int(rows.size()) > FLimit) first = rows.end() - FLimit;
    const int incoming = int(rows.end() - first);
    const int drop = std::min(int(FRows.size()), int(FRows.size()) + incoming - FLimit);
    if (drop > 0) {
        beginRemoveRows(QModelIndex(), 0, drop - 1);
        FRows.erase(FRows.begin(), FRows.begin() + drop);
        endRemoveRows();
    }
    const int start = int(FRows.size());
    beginInsertRows(QModelIndex(), start, start + incoming - 1);
    std::move(first, rows.end(), std::back_inserter(FRows));
    endInsertRows();
}

void TFrameMonitorModel::Clear() {
    beginResetModel();
    FRows.clear();
    endResetModel();
}

void TFrameFilter::SetCommand(int command) {
    FCommand = command;
    invalidateRowsFilter();
}

void TFrameFilter::SetErrorsOnly(bool errorsOnly) {
    FErrorsOnly = errorsOnly;
    invalidateRowsFilter();
}

bool TFrameFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    if (FErrorsOnly && !index.data(TFrameMonitorModel::ErrorRole).toBool()) return false;
    return FCommand < 0 || index.data(TFrameMonitorModel::CommandRole).toInt() == FCommand;
}

QString FrameRowsText(const QAbstractItemModel& model, const QList<int>& rows,
                      TFrameTextFormat format, bool header) {
    const int columns = model.columnCount();
    QString text;
    if (header) {
        QStringList titles;
        for (int c = 0; c < columns; ++c) titles << model.headerData(c, Qt::Horizontal).toString();
        text += Line(titles, format) + QLatin1Char('\n');
    }
    for (int r : rows) {
        QStringList cells;
        for (int c = 0; c < columns; ++c) cells << model.index(r, c).data().toString();
        text += Line(cells, format) + QLatin1Char('\n');
    }
    return text;
}

bool SaveFrameRows(const QAbstractItemModel& model, const QString& path, TFrameTextFormat format,
                   QString* error) {
    QList<int> rows;
    rows.reserve(model.rowCount());
    for (int r = 0; r < model.rowCount(); ++r) rows << r;
    QByteArray bytes = FrameRowsText(model, rows, format, true).toUtf8();
    if (format == TFrameTextFormat::Csv) bytes.prepend("\xEF\xBB\xBF");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error) *error = file.errorString();
        return false;
    }
    return true;
}
