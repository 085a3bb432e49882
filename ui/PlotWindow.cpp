#include "ui/PlotWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

#include "ui/PlotModel.h"

namespace {

constexpr int LeftMargin = 64;
constexpr int RightMargin = 12;
constexpr int TopMargin = 24;
constexpr int BottomMargin = 26;
constexpr qint64 Minute = 60 * 1000;

// A step of 1, 2 or 5 times a power of ten that cuts `span` into about `parts`.
double NiceStep(double span, int parts) {
    const double raw = span / parts;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (raw <= m * power) return m * power;
    return 10 * power;
}

qint64 TimeStep(qint64 span) {
    static const qint64 steps[] = {1000,        2000,         5000,         10000,
                                   15000,       30000,        Minute,       2 * Minute,
                                   5 * Minute,  10 * Minute,  15 * Minute,  30 * Minute,
                                   60 * Minute, 120 * Minute, 180 * Minute, 360 * Minute};
    for (qint64 s : steps)
        if (span / s <= 8) return s;
    return 360 * Minute;
}

QString ValueLabel(double value, double step) {
    const int decimals = step >= 1 ? 0 : int(std::ceil(-std::log10(step)));
    return QString::number(value, 'f', decimals);
}

}  // namespace

const QColor& TPlotView::SeriesColor(int parameter) {
    static const QColor colors[] = {QColor(0x00, 0x80, 0x00), QColor(0x1F, 0x4E, 0xC8),
                                    QColor(0xC8, 0x32, 0x1E)};
    return colors[(parameter - 1) % 3];
}

TPlotView::TPlotView(const TPlotModel& model, QWidget* parent) : QWidget(parent), FModel(model) {
    setObjectName(QStringLiteral("PlotView"));
    setMinimumSize(360, 200);
    setAutoFillBackground(false);
}

void TPlotView::SetSpanMs(qint64 span) {
    FSpanMs = span;
    update();
}

void TPlotView::SetAutoscale(bool on) {
    FAutoscale = on;
    update();
}

void TPlotView::SetPaused(bool paused) {
    if (paused && !FPausedAt) FPausedAt = EndTime();
    if (!paused) FPausedAt.reset();
    update();
}

qint64 TPlotView::EndTime() const {
    return FPausedAt ? *FPausedAt : QDateTime::currentMSecsSinceEpoch();
}

std::optional<std::pair<double, double>> TPlotView::Range(qint64 from, qint64 to) const {
    if (!FAutoscale && FShownRange) return FShownRange;
    auto range = FModel.ValueRange(from, to);
    if (!range) return std::nullopt;
    double low = range->first;
    double high = range->second;
    const double pad = high > low ? (high - low) * 0.05 : std::max(1.0, std::abs(high) * 0.05);
    return std::make_pair(low - pad, high + pad);
}

void TPlotView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const QRect plot(LeftMargin, TopMargin, width() - LeftMargin - RightMargin,
                     height() - TopMargin - BottomMargin);
    const qint64 end = EndTime();
    const qint64 start = end - FSpanMs;
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawRect(plot.adjusted(0, 0, -1, -1));

    const auto range = Range(start, end);
    if (!range) {
        p.drawText(plot, Qt::AlignCenter,
                   QStringLiteral("Нет показаний за это время.\nОтметьте параметры и нажмите "
                                  "«Чтение показаний»."));
        return;
    }
    FShownRange = range;
    const double low = range->first;
    const double high = range->second;
    auto x = [&](qint64 t) { return plot.left() + double(t - start) * plot.width() / FSpanMs; };
    auto y = [&](double v) { return plot.bottom() - (v - low) * plot.height() / (high - low); };

    // Grid and labels.
    const QColor grid(0xE4, 0xE4, 0xE4);
    const double vStep = NiceStep(high - low, 5);
    for (double v = std::ceil(low / vStep) * vStep; v <= high; v += vStep) {
        p.setPen(grid);
        p.drawLine(QPointF(plot.left() + 1, y(v)), QPointF(plot.right() - 1, y(v)));
        p.setPen(Qt::black);
        p.drawText(QRectF(0, y(v) - 8, LeftMargin - 6, 16), Qt::AlignRight | Qt::AlignVCenter,
                   ValueLabel(v, vStep));
    }
    const qint64 tStep = TimeStep(FSpanMs);
    const QString format = tStep < Minute ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm");
    const qint64 offset = QDateTime::currentDateTime().offsetFromUtc() * 1000LL;
    for (qint64 t = ((start + offset) / tStep + 1) * tStep - offset; t <= end; t += tStep) {
        p.setPen(grid);
        p.drawLine(QPointF(x(t), plot.top() + 1), QPointF(x(t), plot.bottom() - 1));
        p.setPen(Qt::black);
        p.drawText(QRectF(x(t) - 40, plot.bottom() + 4, 80, 18), Qt::AlignHCenter | Qt::AlignTop,
                   QDateTime::fromMSecsSinceEpoch(t).toString(format));
    }

    // The series: a line through the buckets, and each merged bucket's spread as a bar.
    p.setRenderHint(QPainter::Antialiasing);
    p.setClipRect(plot.adjusted(1, 1, -1, -1));
    int legendX = plot.left();
    for (int parameter = 1; parameter <= TPlotModel::SeriesCount; ++parameter) {
        const auto& buckets = FModel.Series(parameter).Buckets();
        QPainterPath line;
        bool any = false;
        for (size_t i = 0; i < buckets.size(); ++i) {
            const TPlotBucket& b = buckets[i];
            const bool next = i + 1 < buckets.size() && buckets[i + 1].first >= start;
            if (b.last < start && !next) continue;
            if (b.first > end) break;
            const QPointF point(x((b.first + b.last) / 2), y((b.min + b.max) / 2));
            if (!any)
                line.moveTo(point);
            else
                line.lineTo(point);
            any = true;
            if (b.count > 1) {
                p.setPen(QPen(SeriesColor(parameter).lighter(150), 1));
                p.drawLine(QPointF(point.x(), y(b.min)), QPointF(point.x(), y(b.max)));
            }
        }
        if (!any) continue;
        p.setPen(QPen(SeriesColor(parameter), 1.6));
        p.drawPath(line);
        p.setClipping(false);
        const QString unit = QString::fromStdString(FModel.Unit(parameter));
        const QString name =
            QStringLiteral("Пар.%1").arg(parameter) + (unit.isEmpty() ? QString() : ", " + unit);
        p.fillRect(QRect(legendX, 8, 14, 4), SeriesColor(parameter));
        p.setPen(Qt::black);
        p.drawText(QPoint(legendX + 18, 14), name);
        legendX += 30 + p.fontMetrics().horizontalAdvance(name);
        p.setClipRect(plot.adjusted(1, 1, -1, -1));
    }
}

const QList<qint64>& TPlotWindow::Spans() {
    static const QList<qint64> spans = {Minute,      5 * Minute,   15 * Minute,
                                        60 * Minute, 360 * Minute, 1440 * Minute};
    return spans;
}

TPlotWindow::TPlotWindow(TPlotModel& model, QAction* logAction, QWidget* parent)
    : QWidget(parent, Qt::Window),
      FModel(model),
      FView(new TPlotView(model, this)),
      FSpan(new QComboBox(this)),
      FAutoscale(new QCheckBox(QStringLiteral("Автомасштаб"), this)),
      FPause(new QPushButton(QStringLiteral("Пауза"), this)),
      FClock(new QTimer(this)) {
    setObjectName(QStringLiteral("PlotWindow"));
    setWindowTitle(QStringLiteral("График"));
    resize(720, 420);
    FSpan->setObjectName(QStringLiteral("PlotSpan"));
    for (const QString& name :
         {QStringLiteral("1 мин"), QStringLiteral("5 мин"), QStringLiteral("15 мин"),
          QStringLiteral("1 ч"), QStringLiteral("6 ч"), QStringLiteral("24 ч")})
        FSpan->addItem(name);
    FAutoscale->setObjectName(QStringLiteral("PlotAutoscale"));
    FAutoscale->setChecked(true);
    FPause->setObjectName(QStringLiteral("PlotPause"));
    FPause->setCheckable(true);
    auto* save = new QPushButton(QStringLiteral("Сохранить PNG…"), this);
    save->setObjectName(QStringLiteral("PlotSave"));
    auto* clear = new QPushButton(QStringLiteral("Очистить"), this);
    clear->setObjectName(QStringLiteral("PlotClear"));
    auto* log = new QToolButton(this);
    log->setObjectName(QStringLiteral("PlotLog"));
    log->setDefaultAction(logAction);
    log->setToolButtonStyle(Qt::ToolButtonTextOnly);

    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel(QStringLiteral("Окно:"), this));
    controls->addWidget(FSpan);
    controls->addWidget(FAutoscale);
    controls->addWidget(FPause);
    controls->addWidget(clear);
    controls->addStretch(1);
    controls->addWidget(log);
    controls->addWidget(save);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(FView, 1);

    connect(FSpan, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this](int index) { FView->SetSpanMs(Spans().value(index, Minute)); });
    connect(FAutoscale, &QCheckBox::toggled, FView, &TPlotView::SetAutoscale);
    connect(FPause, &QPushButton::toggled, FView, &TPlotView::SetPaused);
    connect(save, &QPushButton::clicked, this, &TPlotWindow::ChooseSaveFile);
    connect(clear, &QPushButton::clicked, this, [this] {
        FModel.Clear();
        FView->update();
    });
    // The time axis moves on while nothing new comes (only while the window is shown).
    FClock->setInterval(1000);
    connect(FClock, &QTimer::timeout, this, [this] {
        if (!FView->Paused()) FView->update();
    });
}

void TPlotWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FClock->start();
}

void TPlotWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    FClock->stop();
}

void TPlotWindow::ReadingsChanged() {
    if (isVisible() && !FView->Paused()) FView->update();
}

bool TPlotWindow::SavePng(const QString& path) {
    return FView->grab().save(path, "PNG");
}

void TPlotWindow::ChooseSaveFile() {
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить график"), QString(),
                                                QStringLiteral("PNG (*.png)"));
    if (path.isEmpty()) return;
    if (!path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) path += QStringLiteral(".png");
    if (!SavePng(path))
        QMessageBox::critical(this, QStringLiteral("Ошибка"),
                              QStringLiteral("Не удалось записать %1").arg(path));
}
