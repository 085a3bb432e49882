#pragma once
// TCommissioning: the window's commissioning tools, beside the two pages, which keep their
// layout: "Прочитать всё" for the parameter page, configuration files, the readings plotted
// ("График") and logged to a CSV file. They sit in a "Сервис" menu on a toolbar button placed
// after the toolbar's own buttons; a read or a write under way shows its progress in the
// status bar with a "Стоп" button beside it.
//
// It follows the exchange through three small hooks of the window: every ended request, every
// reading shown on a panel, and every error box (held back while a series of requests runs,
// which reports each step itself). Main thread only; a child of the main window.
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "commissioning/PlotModel.h"
#include "commissioning/ReadAll.h"
#include "commissioning/ReadRecord.h"
#include "commissioning/ReadingLog.h"

class QAction;
class QMenu;
class QToolButton;
class TConfigTransfer;
class TPlotWindow;
class TDesktop;
class TInstrumentOperations;
class TWindowHost;
struct TRequestEnd;

class TCommissioning : public QObject {
    Q_OBJECT
public:
    TCommissioning(TWindowHost& host, TInstrumentOperations& instrument,
                   const TFieldGroupsView& page, TDesktop& desktop);
    ~TCommissioning() override;

    // Hooks of the window.
    void RequestEnded(const TRequestEnd& end);
    void ReadingShown(int panel, uint8_t pointCode, double value);
    bool TakeErrorBox(const QString& text);

    // Reads every group of the parameter page; `then` runs when it has ended. False when it
    // cannot start now (port closed, a request or a series under way).
    bool ReadAll(std::function<void()> then = nullptr);
    // Runs steps of the window's requests; the same conditions as ReadAll.
    bool RunSequence(std::vector<TSequenceStep> steps, const QString& verb, bool stopAtFailure,
                     std::function<void()> then);
    void Stop();
    bool Busy() const;

    bool SaveConfig(const QString& path, QString& error);
    void LoadConfig(const QString& path);  // ends with the report, a message box

    bool StartLog(const QString& path, QString& error);
    void StopLog();
    TPlotWindow* ShowPlot();

    TReadRecord& Record() { return FRecord; }
    TRequestSequence& Sequence() { return *FSequence; }
    TPlotModel& Plot() { return FPlot; }
    TReadingLog& Log() { return FLog; }
    TConfigTransfer& Transfer() { return *FTransfer; }
    TPlotWindow* PlotWindow() const;
    QToolButton* MenuButton() const { return FButton; }
    QAction* Action(const char* objectName) const;
    // What the window talks to now.
    TSource CurrentSource() const;

signals:
    void ReadAllFinished();
    void ReportShown(const QString& text, bool problem);

private:
    bool PrepareToStart();  // stops polling; false (and the operator told why) when it cannot
    void BuildMenu();
    void FollowSource();
    void SequenceFinished();
    void SummariseReadAll();
    void Report(const QString& text, bool problem);
    void SaveConfigAs();
    void LoadConfigFrom();
    void ToggleLog(bool on);

    TWindowHost& FWindow;
    TInstrumentOperations& FInstrument;
    TDesktop& FDesktop;
    TReadRecord FRecord;
    TRequestSequence* FSequence;
    TConfigTransfer* FTransfer;
    TPlotModel FPlot;
    TReadingLog FLog;
    QPointer<TPlotWindow> FPlotWindow;  // a window of the main window's, which may delete it first
    QToolButton* FButton;
    QToolButton* FStopButton;
    QMenu* FMenu;
    std::function<void()> FThen;
    bool FReadingAll = false;
};
