#include "registers/RegisterTableModel.h"

#include <QBrush>
#include <QDateTime>
#include <QElapsedTimer>
#include <algorithm>

#include "base/CsvField.h"
#include "protocol/KnownRegisters.h"

using namespace protocol;

namespace {

qint64 SteadyNowMs() {
    static QElapsedTimer clock;
    if (!clock.isValid()) clock.start();
    return clock.elapsed();
}

QString Utf8(const std::string& text) {
    return QString::fromStdString(text);
}

// The instrument's register names (protocol/KnownRegisters.cpp), for the translation: the
// protocol core has none of its own.
[[maybe_unused]] const char* const RegisterNames[] = {
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Значение пар. 1"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Значение пар. 2"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Значение пар. 3"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Шкала пар. 1"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Ед. изм. пар. 1"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Точка пар. 1"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Шкала пар. 2"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Ед. изм. пар. 2"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Точка пар. 2"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Шкала пар. 3"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Ед. изм. пар. 3"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Точка пар. 3"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Уставка max"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Уставка min"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Реле 1: режим"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Реле 1: задержка"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Реле 2: режим"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Реле 2: задержка"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Реле 2: режим (запись)"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Реле 2: задержка (запись)"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Гистерезис реле 1"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Гистерезис реле 2"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Гистерезис реле 2 (запись)"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Число параметров"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Сетевой адрес"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Заводской номер"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Год выпуска"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Яркость"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Заводской номер (запись)"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Год выпуска (запись)"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Формат уставок"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Скорость RS-485 1"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Скорость RS-485 2"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Доп. информация"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "МЭК-101: размер общего адреса"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "МЭК-101: размер адреса объекта"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "МЭК-101: размер причины"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "МЭК-101: тип"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Режим сигнализации"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Уставка max (16 бит, запись)"),
    QT_TRANSLATE_NOOP("TRegisterTableModel", "Уставка min (16 бит, запись)"),
};

}  // namespace

TRegisterTableModel::TRegisterTableModel(QObject* parent, std::function<qint64()> nowMs)
    : QAbstractTableModel(parent), FNowMs(nowMs ? std::move(nowMs) : SteadyNowMs) {}

int TRegisterTableModel::RowWidth() const {
    return CarriesBits() ? 1 : RegisterWidth(FType);
}

int TRegisterTableModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    const int width = RowWidth();
    return (int(FValues.size()) + width - 1) / width;
}

int TRegisterTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

uint16_t TRegisterTableModel::RowRegister(int row) const {
    return uint16_t(FStart + row * RowWidth());
}

QVariant TRegisterTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
    switch (section) {
        case Register:
            return CarriesBits() ? tr("Бит") : tr("Регистр");
        case Name:
            return tr("Имя");
        case Value:
            return tr("Значение");
        case Meaning:
            return tr("Как понимает прибор");
        case Age:
            return tr("Возраст, с");
        case Error:
            return tr("Ошибка");
        default:
            return QVariant();
    }
}

QString TRegisterTableModel::Cell(int row, int column) const {
    const int width = RowWidth();
    const int first = row * width;
    const int last = std::min(first + width, int(FValues.size())) - 1;
    const uint16_t number = RowRegister(row);
    bool read = true;
    qint64 oldest = -1;
    QString error;
    for (int i = first; i <= last; ++i) {
        if (FReadAtMs[size_t(i)] < 0) read = false;
        if (oldest < 0 || FReadAtMs[size_t(i)] < oldest) oldest = FReadAtMs[size_t(i)];
        if (error.isEmpty()) error = FErrors[size_t(i)];
    }
    // The instrument's register map is of its holding registers.
    const bool named = FFunction == DataFunction::ReadHoldingRegisters;
    switch (column) {
        case Register:
            return QString::number(number);
        case Name: {
            const KnownRegister* known = named ? FindKnownRegister(number) : nullptr;
            if (!known) return QString();
            // The item's name in the language shown; its suffix ("(2)", "3-4") as it is.
            const QString full = Utf8(KnownRegisterName(number));
            return tr(known->name) + full.mid(Utf8(known->name).size());
        }
        case Value:
            if (!read) return QString();
            if (CarriesBits()) return QString::number(FValues[size_t(first)]);
            return Utf8(
                RegisterValueText(FValues.data() + first, last - first + 1, FType, FOrder, FBase));
        case Meaning: {
            if (!named) return QString();
            // The registers read from this row on, as far as they go unbroken.
            int available = 0;
            while (first + available < int(FValues.size()) &&
                   FReadAtMs[size_t(first + available)] >= 0)
                ++available;
            return Utf8(KnownRegisterValue(number, FValues.data() + first, available));
        }
        case Age:
            if (!read) return QString();
            return QString::number(double(FNowMs() - oldest) / 1000.0, 'f', 1);
        case Error:
            return error;
        default:
            return QString();
    }
}

QVariant TRegisterTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return QVariant();
    if (role == Qt::DisplayRole) return Cell(index.row(), index.column());
    if (role == Qt::ForegroundRole && index.column() == Error) return QBrush(Qt::red);
    if (role == Qt::TextAlignmentRole && (index.column() == Register || index.column() == Age))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return QVariant();
}

void TRegisterTableModel::SetRange(DataFunction function, uint16_t start, int count) {
    beginResetModel();
    FFunction = function;
    FStart = start;
    FValues.assign(size_t(std::max(count, 0)), 0);
    FReadAtMs.assign(FValues.size(), -1);
    FErrors.assign(FValues.size(), QString());
    endResetModel();
}

void TRegisterTableModel::SetView(RegisterType type, WordOrder order, NumberBase base) {
    const bool rowsChange = RegisterWidth(type) != RegisterWidth(FType);
    if (rowsChange) beginResetModel();
    FType = type;
    FOrder = order;
    FBase = base;
    if (rowsChange) {
        endResetModel();
        return;
    }
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

void TRegisterTableModel::TakeValues(const std::vector<uint16_t>& values) {
    const qint64 now = FNowMs();
    const size_t n = std::min(values.size(), FValues.size());
    for (size_t i = 0; i < n; ++i) {
        FValues[i] = values[i];
        FReadAtMs[i] = now;
        FErrors[i].clear();
    }
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

void TRegisterTableModel::TakeError(const QString& error) {
    for (QString& e : FErrors) e = error;
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

void TRegisterTableModel::TakeWritten(DataFunction write, uint16_t start,
                                      const std::vector<uint16_t>& values) {
    // Coils are written where function 1 reads them, registers where function 3 does.
    const DataFunction readBack =
        protocol::CarriesBits(write) ? DataFunction::ReadCoils : DataFunction::ReadHoldingRegisters;
    if (FFunction != readBack) return;
    const qint64 now = FNowMs();
    for (size_t i = 0; i < values.size(); ++i) {
        const int at = int(start) + int(i) - int(FStart);
        if (at < 0 || at >= int(FValues.size())) continue;
        FValues[size_t(at)] = values[i];
        FReadAtMs[size_t(at)] = now;
        FErrors[size_t(at)].clear();
    }
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

void TRegisterTableModel::RefreshAges() {
    if (rowCount() > 0) emit dataChanged(index(0, Age), index(rowCount() - 1, Age));
}

QString TRegisterTableModel::Csv() const {
    QString text = QStringLiteral("register,name,value,meaning,age_s,error\n");
    for (int row = 0; row < rowCount(); ++row) {
        QStringList fields;
        for (int column = 0; column < ColumnCount; ++column) fields << CsvField(Cell(row, column));
        text += fields.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return text;
}
