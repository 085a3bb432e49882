#include "monitor/FrameMonitor.h"

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
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "monitor/FrameRecorder.h"
#include "protocol/Limits.h"

namespace {

// Bytes the Bytes column holds on one line, as a hex dump lays them out: every frame but the
// longest (texts, relay settings) fits on one; a longer one wraps onto more lines of its row.
constexpr int BytesOnALine = 16;

// The widest texts a column is sized for. The words are the rows' own, in the display language.
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
            return {FrameHex(QByteArray(BytesOnALine, '\0'))};
        case TFrameMonitorModel::Latency:
            return {QString::number(double(protocol::AnswerTimeoutMs), 'f', 1)};
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
        case TFrameMonitorModel::Window:
            return {TFrameRowBuilder::tr("Главное окно")};
        default:
            return {};
    }
}
constexpr int CellPadding = 12;
constexpr int CellMargin = 4;  // between a cell's text and its edges
constexpr int MeaningWidth = 200;

// Whole bytes ("07 " each, the last without its space) that fit on a line of a Bytes cell
// `columnWidth` wide; at least one.
int BytesPerLine(const QFontMetrics& fixed, int columnWidth) {
    const int step = fixed.horizontalAdvance(QStringLiteral("00 "));
    const int room = columnWidth - 2 * CellMargin + fixed.horizontalAdvance(QLatin1Char(' '));
    return std::max(1, room / step);
}

int LinesOfBytes(int byteCount, int perLine) {
    return std::max(1, (byteCount + perLine - 1) / perLine);
}

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
        const QRect room = option.rect.adjusted(CellMargin, 0, -CellMargin, 0);
        if (index.column() == TFrameMonitorModel::Bytes) {
            painter->setFont(FFixed);
            DrawBytes(painter, room, text, BytesPerLine(FFixedMetrics, option.rect.width()));
            return;
        }
        painter->setFont(option.font);
        DrawLine(painter, room, text, option.font, false,
                 index.data(Qt::TextAlignmentRole).toInt());
    }

private:
    static constexpr int CacheLimit = 4000;

    // The frame whole, `perLine` bytes to a line; the view gave a long frame's row the height
    // of its lines.
    void DrawBytes(QPainter* painter, const QRect& room, const QString& hex, int perLine) const {
        const int byteCount = int(hex.size() + 1) / 3;
        const int lines = LinesOfBytes(byteCount, perLine);
        const int spacing = FFixedMetrics.lineSpacing();
        QRect line(room.left(), room.top() + (room.height() - lines * spacing) / 2, room.width(),
                   spacing);
        if (lines == 1) line = room;
        for (int i = 0; i < lines; ++i) {
            const QString part =
                lines == 1 ? hex : hex.mid(qsizetype(i) * perLine * 3, perLine * 3 - 1);
            DrawLine(painter, line, part, FFixed, true, Qt::AlignLeft);
            line.translate(0, spacing);
        }
    }

    void DrawLine(QPainter* painter, const QRect& room, const QString& text, const QFont& font,
                  bool fixed, int align) const {
        const QStaticText& laidOut = LaidOut(text, font, fixed);
        const QSizeF size = laidOut.size();
        if (size.width() > room.width()) {
            // Cut: the whole text is in the tooltip.
            painter->drawText(room, Qt::AlignVCenter | Qt::AlignLeft,
                              QFontMetrics(font).elidedText(text, Qt::ElideRight, room.width()));
            return;
        }
        qreal x = room.left();
        if (align & Qt::AlignRight)
            x = room.right() + 1 - size.width();
        else if (align & Qt::AlignHCenter)
            x = room.left() + (room.width() - size.width()) / 2;
        painter->drawStaticText(QPointF(x, room.top() + (room.height() - size.height()) / 2),
                                laidOut);
    }

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
    const QFontMetrics FFixedMetrics{FFixed};
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
    FitRowHeights(0, FFilter->rowCount() - 1);  // rows kept while no window was open
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
    FRowHeight = fontMetrics().height() + 4;
    FTable->verticalHeader()->setDefaultSectionSize(FRowHeight);
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
    connect(header, &QHeaderView::sectionResized, this, [this](int column) {
        if (column == TFrameMonitorModel::Bytes) FitRowHeights(0, FFilter->rowCount() - 1);
    });
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
    connect(FFilter, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                FitRowHeights(first, last);  // first: the end scrolled to counts them
                if (FFollowBatch) FTable->scrollToBottom();
                FBatchStarted = false;
                ShowCounts();
            });
    connect(FFilter, &QAbstractItemModel::modelReset, this, &TFrameMonitor::ShowCounts);
    connect(FFilter, &QAbstractItemModel::layoutChanged, this, [this] {
        FitRowHeights(0, FFilter->rowCount() - 1);
        ShowCounts();
    });
}

// A row is as tall as the lines its frame needs in the Bytes column, reckoned from the frame's
// byte count: the view never lays out text to size a row.
void TFrameMonitor::FitRowHeights(int first, int last) {
    const QFontMetrics fixed(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const int perLine = BytesPerLine(fixed, FTable->columnWidth(TFrameMonitorModel::Bytes));
    QHeaderView* rows = FTable->verticalHeader();
    for (int r = first; r <= last; ++r) {
        const QModelIndex index = FFilter->index(r, TFrameMonitorModel::Bytes);
        const int lines =
            LinesOfBytes(index.data(TFrameMonitorModel::ByteCountRole).toInt(), perLine);
        const int height = FRowHeight + (lines - 1) * fixed.lineSpacing();
        if (rows->sectionSize(r) != height) rows->resizeSection(r, height);
    }
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
    // Opened over rows already kept, the view starts at the newest and follows them, unless
    // the user had scrolled up before closing it. After the layout, which sets the scroll range.
    if (FFollowBatch) QTimer::singleShot(0, FTable, [table = FTable] { table->scrollToBottom(); });
}

// Minimised, the window is still open and keeps recording; closed, it stops listening.
void TFrameMonitor::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) FFollowBatch = AtEnd();
    QWidget::hideEvent(event);
    if (!event->spontaneous()) FRecorder.SetMonitorOpen(false);
}
