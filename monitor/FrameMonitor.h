#pragma once
// TFrameMonitor: the window "Монитор обмена", a table of every request and answer on the
// line as the frame recorder takes them, with pause, clear, a filter by command or errors,
// copy and save. Non-modal; while it is open the recorder listens to the exchange. It follows
// the newest row unless the user has scrolled away from the end. Main thread only.
#include <QWidget>

#include "monitor/FrameMonitorModel.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class TFrameRecorder;

class TFrameMonitor : public QWidget {
    Q_OBJECT
public:
    explicit TFrameMonitor(TFrameRecorder& recorder, QWidget* parent = nullptr);

    QTableView* Table() const { return FTable; }
    TFrameFilter& Filter() { return *FFilter; }
    // The rows shown, into `path`; false after telling the user why it failed.
    bool SaveTo(const QString& path, TFrameTextFormat format);
    // The selected rows (as shown) as plain text, also put on the clipboard.
    QString CopySelection();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* MakeBar();
    void SetUpTable();
    void FollowNewestRows();
    void FitRowHeights(int first, int last);
    void ChooseFileAndSave();
    void ShowCounts();
    bool AtEnd() const;
    int PreferredWidth() const;

    TFrameRecorder& FRecorder;
    TFrameFilter* FFilter;
    QTableView* FTable;
    QPushButton* FPause;
    QComboBox* FCommand;
    QCheckBox* FErrorsOnly;
    QLabel* FCounts;
    int FRowHeight = 0;          // of a row whose frame fits on one line
    bool FBatchStarted = false;  // rows of the current batch are on their way
    bool FFollowBatch = true;    // the view was at its end when the batch began
};
