#include "commissioning/PlotWindow.h"

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
#include <vector>

#include "commissioning/PlotModel.h"

namespace {

constexpr int LeftMargin = 64;
constexpr int RightMargin = 12;
constexpr int TopMargin = 24;
constexpr int BottomMargin = 26;
constexpr qint64 Minute = 60 * 1000;
constexpr qint64 GapMs = 2000;  // a pause in the readings longer than this may break the line

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

TPlotView::TRange TPlotView::Range(int parameter, qint64 from, qint64 to) const {
    const TRange& kept = FShownRange[size_t(parameter - 1)];
    if (!FAutoscale && kept) return kept;
    const auto range = FModel.ValueRange(parameter, from, to);
    if (!range) return std::nullopt;
    const double low = range->first;
    const double high = range->second;
    const double pad = high > low ? (high - low) * 0.08 : std::max(0.5, std::abs(high) * 0.01);
    return std::make_pair(low - pad, high + pad);
}

void TPlotView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const QRect plot(LeftMargin, TopMargin, width() - LeftMargin - RightMargin,
                     height() - TopMargin - BottomMargin);
    const qint64 end = EndTime();
    const qint64 start = end - FSpanMs;
    std::vector<int> shown;
    for (int parameter = 1; parameter <= TPlotModel::SeriesCount; ++parameter)
        if (FModel.ValueRange(parameter, start, end)) shown.push_back(parameter);
    p.setPen(QColor(0x80, 0x80, 0x80));
    if (shown.empty()) {
        p.drawRect(plot.adjusted(0, 0, -1, -1));
        p.drawText(plot, Qt::AlignCenter,
                   tr("Нет показаний за это время.\nОтметьте параметры и нажмите "
                      "«Чтение показаний»."));
        return;
    }
    DrawTimeAxis(p, plot, start, end);
    const int bandHeight = plot.height() / int(shown.size());
    for (size_t k = 0; k < shown.size(); ++k) {
        const QRect band(plot.left(), plot.top() + int(k) * bandHeight, plot.width(),
                         k + 1 == shown.size()
                             ? plot.bottom() + 1 - (plot.top() + int(k) * bandHeight)
                             : bandHeight);
        DrawBand(p, band, shown[k], start, end);
    }
}

void TPlotView::DrawTimeAxis(QPainter& p, const QRect& plot, qint64 start, qint64 end) {
    const qint64 step = TimeStep(FSpanMs);
    const QString format = step < Minute ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm");
    // Ticks on whole local minutes and hours, as a clock shows them.
    const qint64 offset = QDateTime::currentDateTime().offsetFromUtc() * 1000LL;
    for (qint64 t = ((start + offset) / step + 1) * step - offset; t <= end; t += step) {
        const double x = plot.left() + double(t - start) * plot.width() / FSpanMs;
        p.setPen(QColor(0xE4, 0xE4, 0xE4));
        p.drawLine(QPointF(x, plot.top() + 1), QPointF(x, plot.bottom() - 1));
        p.setPen(Qt::black);
        p.drawText(QRectF(x - 40, plot.bottom() + 4, 80, 18), Qt::AlignHCenter | Qt::AlignTop,
                   QDateTime::fromMSecsSinceEpoch(t).toString(format));
    }
}

// One parameter's band: its value axis, its readings as a line through the buckets, and the
// spread of each merged bucket as a bar.
void TPlotView::DrawBand(QPainter& p, const QRect& band, int parameter, qint64 start, qint64 end) {
    const TRange range = Range(parameter, start, end);
    FShownRange[size_t(parameter - 1)] = range;
    const double low = range->first;
    const double high = range->second;
    auto x = [&](qint64 t) { return band.left() + double(t - start) * band.width() / FSpanMs; };
    auto y = [&](double v) {
        return band.bottom() - 2 - (v - low) * (band.height() - 18) / (high - low);
    };
    p.setClipping(false);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawRect(band.adjusted(0, 0, -1, -1));
    const double step = NiceStep(high - low, std::max(3, band.height() / 20));
    for (double v = std::ceil(low / step) * step; v <= high; v += step) {
        if (y(v) < band.top() + 14) continue;
        p.setPen(QColor(0xE4, 0xE4, 0xE4));
        p.drawLine(QPointF(band.left() + 1, y(v)), QPointF(band.right() - 1, y(v)));
        p.setPen(Qt::black);
        p.drawText(QRectF(0, y(v) - 8, LeftMargin - 6, 16), Qt::AlignRight | Qt::AlignVCenter,
                   ValueLabel(v, step));
    }
    const QString unit = QString::fromStdString(FModel.Unit(parameter));
    const QString name = tr("Пар.%1").arg(parameter) + (unit.isEmpty() ? QString() : ", " + unit);
    p.fillRect(QRect(band.left() + 6, band.top() + 7, 14, 4), SeriesColor(parameter));
    p.drawText(QPoint(band.left() + 24, band.top() + 13), name);

    p.setClipRect(band.adjusted(1, 1, -1, -1));
    p.setRenderHint(QPainter::Antialiasing);
    const auto& buckets = FModel.Series(parameter).Buckets();
    QPainterPath line;
    bool any = false;
    qint64 gap = 0;  // between the two buckets drawn last
    for (size_t i = 0; i < buckets.size(); ++i) {
        const TPlotBucket& b = buckets[i];
        // The bucket just before the window starts the line at the edge.
        if (b.last < start && !(i + 1 < buckets.size() && buckets[i + 1].first >= start)) continue;
        if (b.first > end) break;
        const QPointF point(x((b.first + b.last) / 2), y((b.min + b.max) / 2));
        const qint64 since = any ? b.first - buckets[i - 1].last : 0;
        // Polling stopped for a while: the line breaks rather than bridge the pause.
        if (any && !(since > GapMs && since > 5 * gap))
            line.lineTo(point);
        else
            line.moveTo(point);
        gap = since;
        any = true;
        if (b.count > 1 && b.max > b.min) {
            p.setPen(QPen(SeriesColor(parameter).lighter(160), 1));
            p.drawLine(QPointF(point.x(), y(b.min)), QPointF(point.x(), y(b.max)));
        }
    }
    p.setPen(QPen(SeriesColor(parameter), 1.6));
    p.drawPath(line);
    p.setClipping(false);
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
      FAutoscale(new QCheckBox(tr("Автомасштаб"), this)),
      FPause(new QPushButton(tr("Пауза"), this)),
      FClock(new QTimer(this)) {
    setObjectName(QStringLiteral("PlotWindow"));
    setWindowTitle(tr("График"));
    resize(720, 420);
    FSpan->setObjectName(QStringLiteral("PlotSpan"));
    for (const QString& name :
         {tr("1 мин"), tr("5 мин"), tr("15 мин"), tr("1 ч"), tr("6 ч"), tr("24 ч")})
        FSpan->addItem(name);
    FAutoscale->setObjectName(QStringLiteral("PlotAutoscale"));
    FAutoscale->setChecked(true);
    FPause->setObjectName(QStringLiteral("PlotPause"));
    FPause->setCheckable(true);
    auto* save = new QPushButton(tr("Сохранить PNG…"), this);
    save->setObjectName(QStringLiteral("PlotSave"));
    auto* clear = new QPushButton(tr("Очистить"), this);
    clear->setObjectName(QStringLiteral("PlotClear"));
    auto* log = new QToolButton(this);
    log->setObjectName(QStringLiteral("PlotLog"));
    log->setDefaultAction(logAction);
    log->setToolButtonStyle(Qt::ToolButtonTextOnly);

    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel(tr("Окно:"), this));
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
    QString path = QFileDialog::getSaveFileName(this, tr("Сохранить график"), QString(),
                                                QStringLiteral("PNG (*.png)"));
    if (path.isEmpty()) return;
    if (!path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) path += QStringLiteral(".png");
    if (!SavePng(path))
        QMessageBox::critical(this, tr("Ошибка"), tr("Не удалось записать %1").arg(path));
}
