#include "commissioning/ConfigPreview.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <map>
#include <set>

#include "config/ConfigPlan.h"
#include "protocol/Units.h"

namespace {

enum Column { KeyColumn, LabelColumn, FileColumn, InstrumentColumn, MarkColumn, ColumnCount };

const QColor WriteBackground(0xFF, 0xF0, 0xA8);
const QColor ReadOnlyBackground(0xE8, 0xE8, 0xE8);
const QColor QuietText(0x90, 0x90, 0x90);

QString Shown(const config::KeyInfo& key, const std::string& value) {
    const QString text = QString::fromStdString(value);
    if (key.kind == config::ValueKind::Text) return TConfigPreview::tr("«%1»").arg(text);
    const std::string name = key.name;
    if (name.size() > 5 && name.compare(name.size() - 5, 5, ".unit") == 0) {
        const std::string unit = protocol::UnitName(int(config::IntegerValue(value)));
        if (!unit.empty()) return text + QStringLiteral(" (%1)").arg(QString::fromStdString(unit));
    }
    return text;
}

}  // namespace

// The labels are looked up in the display language each time, so the tables hold the texts
// as lupdate collects them.
QString KeyLabel(const std::string& key) {
    static const std::map<std::string, const char*> fixed = {
        {"address", QT_TRANSLATE_NOOP("TConfigPreview", "Сетевой адрес")},
        {"protocol", QT_TRANSLATE_NOOP("TConfigPreview", "Протокол")},
        {"parameters", QT_TRANSLATE_NOOP("TConfigPreview", "Количество параметров")},
        {"serial.number", QT_TRANSLATE_NOOP("TConfigPreview", "Заводской номер")},
        {"serial.year", QT_TRANSLATE_NOOP("TConfigPreview", "Год выпуска")},
        {"brightness", QT_TRANSLATE_NOOP("TConfigPreview", "Яркость")},
        {"info", QT_TRANSLATE_NOOP("TConfigPreview", "Доп. информация")},
        {"setpoint.format", QT_TRANSLATE_NOOP("TConfigPreview", "Формат уставок")},
        {"setpoint.upper", QT_TRANSLATE_NOOP("TConfigPreview", "Уставка max, %")},
        {"setpoint.lower", QT_TRANSLATE_NOOP("TConfigPreview", "Уставка min, %")},
        {"speed.line1", QT_TRANSLATE_NOOP("TConfigPreview", "Скорость RS1")},
        {"speed.line2", QT_TRANSLATE_NOOP("TConfigPreview", "Скорость RS2")},
        {"iec.common_address_size",
         QT_TRANSLATE_NOOP("TConfigPreview", "МЭК-101: размер общего адреса")},
        {"iec.object_address_size",
         QT_TRANSLATE_NOOP("TConfigPreview", "МЭК-101: размер адреса объекта")},
        {"iec.cause_size", QT_TRANSLATE_NOOP("TConfigPreview", "МЭК-101: размер причины передачи")},
        {"iec.type", QT_TRANSLATE_NOOP("TConfigPreview", "МЭК-101: тип ASDU")},
        {"alarm.mode", QT_TRANSLATE_NOOP("TConfigPreview", "Сигнализация")},
    };
    const auto it = fixed.find(key);
    if (it != fixed.end()) return TConfigPreview::tr(it->second);
    static const std::map<std::string, const char*> fields = {
        {"scale", QT_TRANSLATE_NOOP("TConfigPreview", "шкала")},
        {"unit", QT_TRANSLATE_NOOP("TConfigPreview", "ед. изм.")},
        {"point", QT_TRANSLATE_NOOP("TConfigPreview", "точка")},
        {"mode", QT_TRANSLATE_NOOP("TConfigPreview", "режим")},
        {"delay", QT_TRANSLATE_NOOP("TConfigPreview", "задержка, с")},
        {"hysteresis", QT_TRANSLATE_NOOP("TConfigPreview", "гистерезис, %")},
    };
    const size_t dot = key.find('.');
    const std::string group = key.substr(0, dot);
    const auto field = fields.find(key.substr(dot + 1));
    const QString fieldName = field == fields.end() ? QString::fromStdString(key.substr(dot + 1))
                                                    : TConfigPreview::tr(field->second);
    if (group.rfind("param", 0) == 0)
        return TConfigPreview::tr("Пар. %1: %2")
            .arg(QString::fromStdString(group.substr(5)), fieldName);
    if (group.rfind("relay", 0) == 0)
        return TConfigPreview::tr("Реле %1: %2")
            .arg(QString::fromStdString(group.substr(5)), fieldName);
    return QString::fromStdString(key);
}

std::vector<TPreviewRow> PreviewRows(const config::InstrumentConfig& file,
                                     const config::InstrumentConfig& instrument) {
    std::vector<TPreviewRow> rows;
    // Read-only keys compared as the writes' own check compares them (a one-byte setpoint
    // format matches the format whose low byte it is).
    std::set<std::string> readOnlyDiffering;
    for (const config::ReadOnlyDifference& d : config::ReadOnlyDifferences(file, instrument))
        readOnlyDiffering.insert(d.key);
    for (const config::KeyInfo& key : config::ConfigKeys()) {
        TPreviewRow row;
        row.key = key.name;
        row.label = KeyLabel(key.name);
        const auto given = file.find(key.name);
        const auto held = instrument.find(key.name);
        const bool inFile = given != file.end() && given->second;
        const bool read = held != instrument.end() && held->second;
        row.fileText = inFile ? Shown(key, *given->second) : QStringLiteral("—");
        row.instrumentText = !key.readable ? TConfigPreview::tr("не читается")
                             : read        ? Shown(key, *held->second)
                                           : TConfigPreview::tr("не прочитано");
        if (!inFile)
            row.state = TPreviewState::NotInFile;
        else if (config::FileChanges(file, instrument, key.name))
            row.state = TPreviewState::Write;
        else if (key.readOnly && (readOnlyDiffering.count(key.name) || !read))
            row.state = TPreviewState::ReadOnly;
        else
            row.state = TPreviewState::Same;
        rows.push_back(row);
    }
    return rows;
}

TConfigPreview::TConfigPreview(const QString& fileName, const QString& instrumentName,
                               std::vector<TPreviewRow> rows, QWidget* parent)
    : QDialog(parent),
      FRows(std::move(rows)),
      FTable(new QTableWidget(int(FRows.size()), ColumnCount, this)),
      FSummary(new QLabel(this)) {
    setObjectName(QStringLiteral("ConfigPreview"));
    setWindowTitle(tr("Загрузка конфигурации"));
    resize(760, 560);
    auto* source = new QLabel(tr("Файл: %1\nПрибор: %2").arg(fileName, instrumentName), this);
    FTable->setObjectName(QStringLiteral("PreviewTable"));
    FTable->setHorizontalHeaderLabels(
        {tr("Ключ"), tr("Параметр"), tr("В файле"), tr("В приборе"), QString()});
    FTable->verticalHeader()->hide();
    FTable->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    FTable->setFocusPolicy(Qt::NoFocus);
    FTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FTable->setSelectionMode(QAbstractItemView::NoSelection);
    for (int r = 0; r < int(FRows.size()); ++r) {
        const TPreviewRow& row = FRows[size_t(r)];
        // The address and the protocol are the instrument's place on the line: a file made
        // from another instrument would put two at one address. Written only when ticked.
        const bool lineIdentity = row.key == "address" || row.key == "protocol";
        const QString mark = row.state == TPreviewState::Write && lineIdentity
                                 ? tr("≠ не записывается, пока не отмечено: другой прибор "
                                      "на линии может уже иметь этот адрес")
                             : row.state == TPreviewState::Write ? tr("≠ записать")
                             : row.state == TPreviewState::ReadOnly ? tr("≠ не записывается")
                             : row.state == TPreviewState::Same ? QStringLiteral("=")
                                                                : QString();
        const QString texts[ColumnCount] = {QString::fromStdString(row.key), row.label,
                                            row.fileText, row.instrumentText, mark};
        for (int c = 0; c < ColumnCount; ++c) {
            auto* item = new QTableWidgetItem(texts[c]);
            if (row.state == TPreviewState::Write) item->setBackground(WriteBackground);
            if (row.state == TPreviewState::ReadOnly) item->setBackground(ReadOnlyBackground);
            if (row.state == TPreviewState::NotInFile) item->setForeground(QuietText);
            FTable->setItem(r, c, item);
        }
        if (row.state == TPreviewState::Write) {
            QTableWidgetItem* key = FTable->item(r, KeyColumn);
            key->setFlags(key->flags() | Qt::ItemIsUserCheckable);
            key->setCheckState(lineIdentity ? Qt::Unchecked : Qt::Checked);
        }
    }
    FTable->resizeColumnsToContents();
    FTable->horizontalHeader()->setStretchLastSection(true);

    auto* buttons = new QDialogButtonBox(this);
    FWrite = buttons->addButton(tr("Записать"), QDialogButtonBox::AcceptRole);
    FWrite->setObjectName(QStringLiteral("PreviewWrite"));
    buttons->addButton(tr("Отмена"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("PreviewCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(FTable, &QTableWidget::itemChanged, this, [this] { Recount(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(source);
    layout->addWidget(FTable, 1);
    layout->addWidget(FSummary);
    layout->addWidget(buttons);
    Recount();
}

std::vector<std::string> TConfigPreview::TickedKeys() const {
    std::vector<std::string> keys;
    for (int r = 0; r < int(FRows.size()); ++r) {
        const QTableWidgetItem* item = FTable->item(r, KeyColumn);
        if (FRows[size_t(r)].state == TPreviewState::Write && item->checkState() == Qt::Checked)
            keys.push_back(FRows[size_t(r)].key);
    }
    return keys;
}

void TConfigPreview::SetTicked(const std::string& key, bool ticked) {
    for (int r = 0; r < int(FRows.size()); ++r)
        if (FRows[size_t(r)].key == key && FRows[size_t(r)].state == TPreviewState::Write)
            FTable->item(r, KeyColumn)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
}

void TConfigPreview::Recount() {
    const size_t ticked = TickedKeys().size();
    FWrite->setEnabled(ticked > 0);
    FWrite->setText(tr("Записать отмеченные (%1)").arg(ticked));
    bool anyDifference = false;
    for (const TPreviewRow& row : FRows)
        anyDifference = anyDifference || row.state == TPreviewState::Write;
    QString summary = !anyDifference
                          ? tr("Прибор уже настроен как в файле: записывать нечего.")
                          : tr("Будут записаны отмеченные значения (%1), адрес и протокол "
                               "последними; затем всё будет прочитано снова и сверено "
                               "с файлом.")
                                .arg(ticked);
    const QString readOnly = ReadOnlyDifferenceText(FRows);
    if (!readOnly.isEmpty()) {
        if (!anyDifference) summary = tr("Записывать нечего.");
        summary += QLatin1Char(' ') + readOnly;
    }
    FSummary->setText(summary);
}

QString TConfigPreview::ReadOnlyDifferenceText(const std::vector<TPreviewRow>& rows) {
    QStringList labels;
    for (const TPreviewRow& row : rows)
        if (row.state == TPreviewState::ReadOnly) labels << row.label;
    if (labels.isEmpty()) return QString();
    return tr("Прибор отличается от файла в том, что не записывается: %1 (файл, видимо, от "
              "другого прибора).")
        .arg(labels.join(QStringLiteral(", ")));
}
