#include "monitor/FrameRecorder.h"

#include <QMutexLocker>

#include "monitor/FrameMonitorModel.h"

Q_LOGGING_CATEGORY(lcFrames, "tessera.frames", QtWarningMsg)

namespace {

// Events kept between two flushes at most; a main thread held up longer than that loses the
// newest rather than growing without bound.
constexpr size_t PendingLimit = 2 * TFrameMonitorModel::DefaultHistoryLimit;

}  // namespace

TFrameRecorder::TFrameRecorder(QObject* parent)
    : QObject(parent), FModel(new TFrameMonitorModel(this)) {
    FTimer.setInterval(FlushIntervalMs);
    connect(&FTimer, &QTimer::timeout, this, &TFrameRecorder::Flush);
    UpdateListening();
}

TFrameRecorder::~TFrameRecorder() {
    TFrameTap* self = this;
    FrameTap.compare_exchange_strong(self, nullptr);
}

void TFrameRecorder::FrameEvent(TFrameEvent&& event) {
    QMutexLocker lock(&FMutex);
    if (FPending.size() < PendingLimit) FPending.push_back(std::move(event));
}

void TFrameRecorder::SetMonitorOpen(bool open) {
    FMonitorOpen = open;
    UpdateListening();
}

void TFrameRecorder::UpdateListening() {
    const bool wanted = FMonitorOpen || lcFrames().isDebugEnabled();
    if (wanted == Listening()) return;
    if (wanted) {
        // A fresh pairing: an answer read before the first request seen is shown undecoded
        // rather than taken for the answer to a request from before the pause.
        FBuilder = TFrameRowBuilder();
        FrameTap.store(this, std::memory_order_release);
        FTimer.start();
    } else {
        TFrameTap* self = this;
        FrameTap.compare_exchange_strong(self, nullptr);
        FTimer.stop();
        Flush();
    }
}

void TFrameRecorder::Flush() {
    std::vector<TFrameEvent> events;
    {
        QMutexLocker lock(&FMutex);
        events.swap(FPending);
    }
    if (events.empty()) return;
    std::vector<TFrameRow> rows;
    rows.reserve(events.size());
    const bool logging = lcFrames().isDebugEnabled();
    for (const TFrameEvent& event : events) {
        if (!TFrameRowBuilder::MakesRow(event)) {
            FBuilder.Build(event);
            continue;
        }
        rows.push_back(FBuilder.Build(event));
        if (logging) qCDebug(lcFrames).noquote() << FrameLogLine(rows.back());
    }
    FModel->AppendRows(std::move(rows));
}

QString FrameLogLine(const TFrameRow& row) {
    QStringList cells;
    for (int c = 0; c < TFrameMonitorModel::ColumnCount; ++c)
        cells << TFrameMonitorModel::CellText(row, c);
    return cells.join(QLatin1Char('\t'));
}
