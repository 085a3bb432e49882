#include "ui/FrameMonitor.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QStaticText>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/FrameRecorder.h"

namespace {

// The widest texts a column is sized for; the bytes fit a nine-byte frame (a longer one is
// cut, its tooltip has it whole). The words are the rows' own, in the display language.
QStringList ColumnSamples(int column) {
    switch (column) {
        case TFrameMonitorModel::Mark:
            return {QStringLiteral("!")};
        case TFrameMonitorModel::Time:
            return {QStringLiteral("00:00:00.000")};
        case TFrameMonitorModel::Direction:
            return {FrameDirectionText(TFrameDirection::Request),
                    FrameDirectionText(TFrameDirection::Answer),
                    FrameDirectionText(TFrameDirection::Timeout),
                    FrameDirectionText(TFrameDirection::PortError)};
        case TFrameMonitorModel::Address:
            return {QStringLiteral("65000")};
        case TFrameMonitorModel::Command:
            return {QStringLiteral("GetRelayParams")};
        case TFrameMonitorModel::Bytes:
            return {QStringLiteral("07 03 04 00 00 41 48 AC 55")};
        case TFrameMonitorModel::Latency:
            return {QStringLiteral("370.0")};
        case TFrameMonitorModel::Pieces: {
            TFrameRow row;
            row.pieces = 3;
            row.spreadMs = 200;
            return {FramePiecesText(row)};
        }
        case TFrameMonitorModel::Crc: {
            TFrameRow good;
            good.crc = TFrameCrc::Good;
            TFrameRow bad;
            bad.crc = TFrameCrc::Bad;
            return {TFrameMonitorModel::CellText(good, column),
                    TFrameMonitorModel::CellText(bad, column)};
        }
        case TFrameMonitorModel::Length:
            return {QStringLiteral("128")};
        case TFrameMonitorModel::Protocol:
            return {QStringLiteral("Modbus RTU")};
        default:
            return {};
    }
}
constexpr int CellPadding = 12;
constexpr int MeaningWidth = 200;

QPushButton* Button(const char* name, const QString& text, const QString& hint, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(hint);
    return button;
}

// Paints a cell as plain text on its background: a table repainted several times a second
// while polling spends most of its time laying out text, and the style's full item drawing
// (icons, check boxes, focus frames, rich eliding) does far more than these cells need. Texts
// that repeat from row to row (direction, command, CRC, protocol) are laid out once.
class TCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool selected = option.state & QStyle::State_Selected;
        const QVariant background = index.data(Qt::BackgroundRole);
        if (selected)
            painter->fillRect(option.rect, option.palette.highlight());
        else if (background.isValid())
            painter->fillRect(option.rect, background.value<QColor>());
        const QString text = index.data(Qt::DisplayRole).toString();
        if (text.isEmpty()) return;
        const QVariant foreground = index.data(Qt::ForegroundRole);
        painter->setPen(selected               ? option.palette.highlightedText().color()
                        : foreground.isValid() ? foreground.value<QColor>()
                                               : option.palette.text().color());
        const bool bytes = index.column() == TFrameMonitorModel::Bytes;
        const QFont& font = bytes ? FFixed : option.font;
        painter->setFont(font);
        const QRect room = option.rect.adjusted(CellMargin, 0, -CellMargin, 0);
        const QStaticText& laidOut = LaidOut(text, font, bytes);
        const QSizeF size = laidOut.size();
        if (size.width() > room.width()) {
            // Cut: the whole text is in the tooltip.
            painter->drawText(room, Qt::AlignVCenter | Qt::AlignLeft,
                              QFontMetrics(font).elidedText(text, Qt::ElideRight, room.width()));
            return;
        }
        const int align = index.data(Qt::TextAlignmentRole).toInt();
        qreal x = room.left();
        if (align & Qt::AlignRight)
            x = room.right() + 1 - size.width();
        else if (align & Qt::AlignHCenter)
            x = room.left() + (room.width() - size.width()) / 2;
        painter->drawStaticText(QPointF(x, room.top() + (room.height() - size.height()) / 2),
                                laidOut);
    }

private:
    static constexpr int CellMargin = 4;
    static constexpr int CacheLimit = 4000;

    const QStaticText& LaidOut(const QString& text, const QFont& font, bool fixed) const {
        QHash<QString, QStaticText>& cache = fixed ? FFixedCache : FCache;
        auto it = cache.find(text);
        if (it != cache.end()) return *it;
        if (cache.size() >= CacheLimit) cache.clear();
        QStaticText laidOut(text);
        laidOut.setTextFormat(Qt::PlainText);
        laidOut.prepare(QTransform(), font);
        return *cache.insert(text, laidOut);
    }

    const QFont FFixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mutable QHash<QString, QStaticText> FCache;
    mutable QHash<QString, QStaticText> FFixedCache;
};

}  // namespace

TFrameMonitor::TFrameMonitor(TFrameRecorder& recorder, QWidget* parent)
    : QWidget(parent, Qt::Window), FRecorder(recorder) {
    setObjectName(QStringLiteral("FrameMonitor"));
    setWindowTitle(tr("Монитор обмена"));
    FFilter = new TFrameFilter(this);
    FFilter->setSourceModel(&recorder.Model());
    FTable = new QTableView(this);
    FTable->setObjectName(QStringLiteral("FrameTable"));
    FCounts = new QLabel(this);
    FCounts->setObjectName(QStringLiteral("FrameCounts"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(MakeBar());
    layout->addWidget(FTable, 1);
    layout->addWidget(FCounts);
    SetUpTable();
    FollowNewestRows();
    ShowCounts();
    resize(PreferredWidth(), 420);
}

QWidget* TFrameMonitor::MakeBar() {
    auto* bar = new QWidget(this);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    FPause = Button("PauseButton", tr("Пауза"),
                    tr("Остановить запись: новые строки не добавляются"), bar);
    FPause->setCheckable(true);
    connect(FPause, &QPushButton::toggled, this, [this](bool paused) {
        FRecorder.Model().SetPaused(paused);
        FPause->setText(paused ? tr("Продолжить") : tr("Пауза"));
    });
    QPushButton* clear = Button("ClearButton", tr("Очистить"), tr("Удалить все строки"), bar);
    connect(clear, &QPushButton::clicked, this, [this] { FRecorder.Model().Clear(); });

    FCommand = new QComboBox(bar);
    FCommand->setObjectName(QStringLiteral("CommandFilter"));
    FCommand->setToolTip(tr("Показывать только строки этой команды"));
    FCommand->addItem(tr("Все команды"), -1);
    for (int c = 0; c < CommandCount; ++c)
        FCommand->addItem(QString::fromLatin1(CommandName(TListComand(c))), c);
    connect(FCommand, &QComboBox::currentIndexChanged, this,
            [this] { FFilter->SetCommand(FCommand->currentData().toInt()); });
    FErrorsOnly = new QCheckBox(tr("Только ошибки"), bar);
    FErrorsOnly->setObjectName(QStringLiteral("ErrorsOnly"));
    connect(FErrorsOnly, &QCheckBox::toggled, FFilter, &TFrameFilter::SetErrorsOnly);

    QPushButton* copy = Button("CopyButton", tr("Копировать"),
                               tr("Скопировать выделенные строки как текст (Ctrl+C)"), bar);
    connect(copy, &QPushButton::clicked, this, &TFrameMonitor::CopySelection);
    QPushButton* save = Button("SaveButton", tr("Сохранить…"),
                               tr("Сохранить показанные строки в текстовый файл или CSV"), bar);
    connect(save, &QPushButton::clicked, this, &TFrameMonitor::ChooseFileAndSave);

    row->addWidget(FPause);
    row->addWidget(clear);
    row->addSpacing(12);
    row->addWidget(new QLabel(tr("Команда:"), bar));
    row->addWidget(FCommand);
    row->addWidget(FErrorsOnly);
    row->addStretch(1);
    row->addWidget(copy);
    row->addWidget(save);
    return bar;
}

void TFrameMonitor::SetUpTable() {
    FTable->setModel(FFilter);
    FTable->setItemDelegate(new TCellDelegate(FTable));
    FTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    FTable->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FTable->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    FTable->setWordWrap(false);
    FTable->setTextElideMode(Qt::ElideRight);
    FTable->setShowGrid(false);
    FTable->verticalHeader()->hide();
    // Fixed row heights and column widths: a batch of rows never makes the view measure text.
    FTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    FTable->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    QHeaderView* header = FTable->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setHighlightSections(false);
    header->setStretchLastSection(true);
    const QFontMetrics text = FTable->fontMetrics();
    const QFontMetrics bytes(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const QFontMetrics titles = header->fontMetrics();
    for (int c = 0; c < TFrameMonitorModel::ColumnCount; ++c) {
        const QFontMetrics& cells = c == TFrameMonitorModel::Bytes ? bytes : text;
        int sample = 0;
        for (const QString& text : ColumnSamples(c))
            sample = std::max(sample, cells.horizontalAdvance(text));
        const int title = titles.horizontalAdvance(TFrameMonitorModel::ColumnTitle(c));
        FTable->setColumnWidth(c, c == TFrameMonitorModel::Meaning
                                      ? MeaningWidth
                                      : std::max(sample, title) + CellPadding);
    }
    auto* copy = new QAction(this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copy, &QAction::triggered, this, &TFrameMonitor::CopySelection);
    FTable->addAction(copy);
}

// Every column, as far as the screen allows.
int TFrameMonitor::PreferredWidth() const {
    const QMargins margins = layout()->contentsMargins();
    int width = FTable->verticalScrollBar()->sizeHint().width() + 2 * FTable->frameWidth() +
                margins.left() + margins.right();
    for (int c = 0; c < TFrameMonitorModel::ColumnCount; ++c) width += FTable->columnWidth(c);
    const QScreen* s = screen();
    return s ? std::min(width, s->availableGeometry().width() - 20) : width;
}

bool TFrameMonitor::AtEnd() const {
    const QScrollBar* bar = FTable->verticalScrollBar();
    return bar->value() >= bar->maximum();
}

// A batch may first drop the oldest rows and then add the newest. Whether the view follows is
// decided once, before either, from where the user left it.
void TFrameMonitor::FollowNewestRows() {
    auto batchBegins = [this] {
        if (FBatchStarted) return;
        FBatchStarted = true;
        FFollowBatch = AtEnd();
    };
    connect(FFilter, &QAbstractItemModel::rowsAboutToBeInserted, this, batchBegins);
    connect(FFilter, &QAbstractItemModel::rowsAboutToBeRemoved, this, batchBegins);
    connect(FFilter, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex&, int first, int last) {
                // Rows dropped above a user who has scrolled away: the rows in view stay in view.
                if (!FFollowBatch && first == 0) {
                    QScrollBar* bar = FTable->verticalScrollBar();
                    bar->setValue(std::max(0, bar->value() - (last - first + 1)));
                }
                ShowCounts();
            });
    connect(FFilter, &QAbstractItemModel::rowsInserted, this, [this] {
        if (FFollowBatch) FTable->scrollToBottom();
        FBatchStarted = false;
        ShowCounts();
    });
    connect(FFilter, &QAbstractItemModel::modelReset, this, &TFrameMonitor::ShowCounts);
    connect(FFilter, &QAbstractItemModel::layoutChanged, this, &TFrameMonitor::ShowCounts);
}

void TFrameMonitor::ShowCounts() {
    const int all = FRecorder.Model().rowCount();
    const int shown = FFilter->rowCount();
    QString text =
        tr("Строк: %1 (хранится не более %2)").arg(all).arg(FRecorder.Model().HistoryLimit());
    if (shown != all) text += tr(", показано: %1").arg(shown);
    FCounts->setText(text);
}

QString TFrameMonitor::CopySelection() {
    QList<int> rows;
    for (const QModelIndex& index : FTable->selectionModel()->selectedRows()) rows << index.row();
    std::sort(rows.begin(), rows.end());
    const QString text = FrameRowsText(*FFilter, rows, TFrameTextFormat::Plain, false);
    if (!text.isEmpty()) QApplication::clipboard()->setText(text);
    return text;
}

bool TFrameMonitor::SaveTo(const QString& path, TFrameTextFormat format) {
    QString error;
    if (SaveFrameRows(*FFilter, path, format, &error)) return true;
    QMessageBox::critical(this, tr("Ошибка"),
                          tr("Не удалось записать файл %1: %2").arg(path, error));
    return false;
}

void TFrameMonitor::ChooseFileAndSave() {
    const QString text = tr("Текст (*.txt)");
    const QString csv = QStringLiteral("CSV (*.csv)");
    QString chosen = text;
    const QString name =
        tr("обмен-%1.txt")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss")));
    QString path = QFileDialog::getSaveFileName(this, tr("Сохранить обмен"), name,
                                                text + QStringLiteral(";;") + csv, &chosen);
    if (path.isEmpty()) return;
    const bool asCsv = chosen == csv || path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive);
    if (asCsv && !path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive))
        path += QStringLiteral(".csv");
    SaveTo(path, asCsv ? TFrameTextFormat::Csv : TFrameTextFormat::Plain);
}

void TFrameMonitor::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FRecorder.SetMonitorOpen(true);
}

// Minimised, the window is still open and keeps recording; closed, it stops listening.
void TFrameMonitor::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous()) FRecorder.SetMonitorOpen(false);
}
