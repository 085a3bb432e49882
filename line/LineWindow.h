#pragma once
// TLineWindow: "Линия", every instrument on the line at once. A scan of an address range at
// the speeds and in the protocols chosen fills a table (a collision gets a row of its own);
// "Опрос" reads parameters 1-3 of every ticked instrument in turn and shows them in the
// table; "Открыть" (or a double click) makes the main window work with the instrument of the
// row; the table can be saved as CSV.
//
// The window holds the line (TLineOwner) while it scans, watches or writes a batch; the work
// runs on TLineWorker's thread over the owner's line, one request at a time, and every frame
// reaches the frame monitor. Closing the window ends the work and gives the line back. Main
// thread only.
#include <QAbstractButton>
#include <QLabel>
#include <QPointer>
#include <QWidget>
#include <optional>
#include <vector>

#include "config/ConfigFile.h"
#include "line/BatchReportModel.h"
#include "line/LineTableModel.h"
#include "line/LineWorker.h"

class QComboBox;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableView;
class QToolButton;
class TWindowHost;

class TLineWindow : public QWidget {
    Q_OBJECT
public:
    enum class Speeds { Current, List, All };
    enum class Protocols { Both, Qv, Modbus };

    explicit TLineWindow(TWindowHost& host, QWidget* parent = nullptr);
    ~TLineWindow() override;

    // Adds "Линия…" to the service menu and the "Линия" button after the toolbar's last one;
    // the window is made when first opened.
    static void AddToWindow(QMenu& menu, TWindowHost& host);

    TLineTableModel& Model() { return FModel; }
    TBatchReportModel& BatchReport() { return FBatchReport; }
    TLineWorker& Worker() { return *FWorker; }
    // True while the window has the line (a scan or the watch under way, or about to start).
    bool OwnsLine() const;

    // The operator's actions, as the buttons run them.
    void SetRange(int first, int last);
    void SetSpeeds(Speeds speeds, const QString& list = QString());
    void SetProtocols(Protocols protocols);
    bool StartScan();
    void SetWatching(bool on);
    void Stop();
    // Makes the main window work with the instrument of `row`; false for a collision row.
    bool Open(int row);
    bool ExportCsv(const QString& path);
    // A configuration file for the ticked instruments: first what differs on each is read
    // and shown, then WriteBatch writes it and reads back; the report can be saved as CSV.
    bool PreviewBatch(const QString& path);
    bool WriteBatch();
    bool SaveBatchReport(const QString& path);

    // The plan the settings make now: addresses, speeds, protocols.
    linescan::ScanPlan Plan() const;

    // The controls, for the tests and the screenshots.
    QTableView* Table() const { return FTable; }
    QLabel* ProgressLabel() const { return FProgressText; }
    QLabel* StatusLabel() const { return FStatus; }
    QLabel* LineOwnerLabel() const;  // the line's owner's note in the status bar
    QPushButton* WatchButton() const { return FWatchButton; }

    // The main window closing: the work ends before its port closes.
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // The scan or the watch ended and the line is given back.
    void Idle();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    enum class Job { None, Scan, Watch, BatchPreview, BatchWrite };

    QWidget* MakeScanBar();
    QWidget* MakeActionBar();
    QWidget* MakeBatchBox();
    std::vector<TWatchTarget> TickedTargets() const;
    bool StartJob(Job job);
    bool SaveText(const QString& path, const QString& text);
    bool Begin(Job job);
    void JobFinished(bool complete, const QString& failure);
    void ShowProgress(const linescan::ScanProgress& progress);
    void ShowFinalProgress(bool complete);
    void Exchanged(const TWatchTarget& target, int parameter, TLineOutcome outcome);
    int RowOf(const TWatchTarget& target) const;
    void Say(const QString& text, bool problem);

    TWindowHost& FHost;
    TLineTableModel FModel;
    TBatchReportModel FBatchReport;
    config::InstrumentConfig FBatchFile;  // the file of the batch previewed
    bool FBatchPreviewed = false;         // the report shows what the file changes
    TLineWorker* FWorker;
    Job FJob = Job::None;
    linescan::ScanProgress FLastProgress;  // the scan's, as last shown
    bool FSettling = false;                // waiting for the main window's answer to pass
    int FJobNumber = 0;                    // which job a settling wait belongs to
    std::optional<int> FOpenAfter;         // a row to open once the work has stopped

    QSpinBox* FFirst;
    QSpinBox* FLast;
    QComboBox* FSpeeds;
    QLineEdit* FSpeedList;
    QComboBox* FProtocols;
    QPushButton* FScanButton;
    QPushButton* FStopButton;
    QProgressBar* FProgress;
    QLabel* FProgressText;
    QTableView* FTable;
    QPushButton* FWatchButton;
    QPushButton* FOpenButton;
    QPushButton* FExportButton;
    QPushButton* FBatchButton;
    QWidget* FBatchBox;
    QLabel* FBatchFileLabel;
    QTableView* FBatchTable;
    QPushButton* FBatchWriteButton;
    QPushButton* FBatchSaveButton;
    QLabel* FStatus;
};
