#pragma once
// TFrameRecorder: the frame tap's observer. It takes the exchange's events on whichever thread
// they happen, keeps them until the main thread's next flush (a timer, four times a second),
// and there turns them into rows for the monitor's table (one batch per flush) and, when the
// logging category tessera.frames is on for debug, into one line each on stderr:
//   QT_LOGGING_RULES="tessera.frames.debug=true" tessera
// The tap is installed only while someone listens (the monitor's window is open, or the log
// is on), so that otherwise the exchange pays one pointer test per tap point.
// Created and flushed on the main thread; FrameEvent is called from any thread.
#include <QLoggingCategory>
#include <QMutex>
#include <QObject>
#include <QTimer>
#include <vector>

#include "exchange/FrameTap.h"
#include "monitor/FrameRows.h"

Q_DECLARE_LOGGING_CATEGORY(lcFrames)

class TFrameMonitorModel;

class TFrameRecorder : public QObject, public TFrameTap {
    Q_OBJECT
public:
    // Four batches a second: each one repaints the table, and the repaint, not the rows, is
    // what an open monitor costs while polling at the shortest interval.
    static constexpr int FlushIntervalMs = 250;

    explicit TFrameRecorder(QObject* parent = nullptr);
    ~TFrameRecorder() override;

    void FrameEvent(TFrameEvent&& event) override;

    // The table the rows go to, owned by the recorder.
    TFrameMonitorModel& Model() { return *FModel; }
    // The monitor's window is open: listen while it is.
    void SetMonitorOpen(bool open);
    bool Listening() const { return FrameTap.load() == this; }
    // Main thread: the events taken so far become rows (and log lines) now.
    void Flush();

private:
    void UpdateListening();

    QMutex FMutex;
    std::vector<TFrameEvent> FPending;  // guarded by FMutex
    QTimer FTimer;
    TFrameRowBuilder FBuilder;
    TFrameMonitorModel* FModel;
    bool FMonitorOpen = false;
};

// A row as one line of the log: the columns of the monitor, separated by tabs.
QString FrameLogLine(const TFrameRow& row);
