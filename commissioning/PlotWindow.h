#pragma once
// The "График" window: the readings of the polled parameters against time, drawn from a
// TPlotModel by a small plot of our own (TPlotView), with a time window of 1 min to 24 h,
// autoscale, pause and saving as PNG. Main thread only; owned by the main window.
//
// Each parameter with readings in the time window gets a band of its own with its own value
// axis (volts, amperes and hertz share no scale); the time axis is common.
#include <QWidget>
#include <array>
#include <optional>
#include <utility>

class QAction;
class QCheckBox;
class QComboBox;
class QPushButton;
class QPainter;
class QTimer;
class TPlotModel;

class TPlotView : public QWidget {
    Q_OBJECT
public:
    explicit TPlotView(const TPlotModel& model, QWidget* parent = nullptr);

    void SetSpanMs(qint64 span);
    qint64 SpanMs() const { return FSpanMs; }
    // Off: each value axis keeps the range it had.
    void SetAutoscale(bool on);
    bool Autoscale() const { return FAutoscale; }
    // Paused: the time axis stays where it is; readings still come into the model.
    void SetPaused(bool paused);
    bool Paused() const { return FPausedAt.has_value(); }
    // The value range of a parameter's band as drawn last (autoscaled or kept).
    std::optional<std::pair<double, double>> ShownRange(int parameter) const {
        return FShownRange[size_t(parameter - 1)];
    }

    static const QColor& SeriesColor(int parameter);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    using TRange = std::optional<std::pair<double, double>>;

    qint64 EndTime() const;
    TRange Range(int parameter, qint64 from, qint64 to) const;
    void DrawBand(QPainter& p, const QRect& band, int parameter, qint64 start, qint64 end);
    void DrawTimeAxis(QPainter& p, const QRect& plot, qint64 start, qint64 end);

    const TPlotModel& FModel;
    qint64 FSpanMs = 60 * 1000;
    bool FAutoscale = true;
    std::optional<qint64> FPausedAt;
    std::array<TRange, 3> FShownRange{};
};

class TPlotWindow : public QWidget {
    Q_OBJECT
public:
    // `logAction` starts and stops the CSV log; it is shown as a button of the window.
    TPlotWindow(TPlotModel& model, QAction* logAction, QWidget* parent);

    TPlotView* View() const { return FView; }
    // Writes what the window shows; false when the file cannot be written.
    bool SavePng(const QString& path);
    // New readings: redrawn soon.
    void ReadingsChanged();

    // Time windows offered, in ms.
    static const QList<qint64>& Spans();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void ChooseSaveFile();

    TPlotModel& FModel;
    TPlotView* FView;
    QComboBox* FSpan;
    QCheckBox* FAutoscale;
    QPushButton* FPause;
    QTimer* FClock;
};
