#pragma once
// TRequestSequence: a series of steps run through the window's ordinary requests. Each step is
// started by what an operator would do (an operation of the parameter page: a read or a write) and
// ends when the exchange reports that its last request ended (the answer interpreted,
// refused or unanswered; a chain's later requests belong to the same step). One step at a
// time, on the main thread. A step that fails is marked and the next one still runs, unless
// the sequence is told to stop at the first failure, as writes are.
//
// ReadAllSteps: every group of the parameter page, each read as its own read button reads it.
#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "exchange/RequestEnd.h"

class QTimer;
class TInstrumentOperations;

enum class TStepResult {
    Done,        // every request of the step was answered
    NoData,      // answered, but the answer held none of the step's values
    Refused,     // the instrument refused (exception, result code, no such parameter)
    Unanswered,  // silence, a corrupted answer, a failed port
    NotSent,     // nothing went out (a check of the page refused it, the port is closed)
};

// "нет ответа", "отказ прибора", ...
QString StepResultText(TStepResult result);

struct TSequenceStep {
    QString name;                    // shown in the progress and the summary
    std::function<void()> start;     // sends the step's first request
    std::function<bool()> gaveData;  // reads: whether the answers held the step's values
    std::function<void()> done;      // run when the step ended Done
    int tag = -1;                    // what the caller knows the step by
    // Turns the step's result into the one recorded, and may say why in `message`: a step that
    // wants silence (nobody at an address) is Done when nothing answered. `last` is how the
    // step's last request ended; empty when the step was given up without a notice.
    std::function<TStepResult(TStepResult result, std::optional<TRequestOutcome> last,
                              QString& message)>
        judge;
};

class TRequestSequence : public QObject {
    Q_OBJECT
public:
    struct Report {
        QString name;
        TStepResult result = TStepResult::Done;
        QString message;  // what the window would have shown in an error box
        int tag = -1;     // the step's tag
    };

    // `mainExchangeBusy` tells whether the main window's exchange has a request out.
    explicit TRequestSequence(std::function<bool()> mainExchangeBusy, QObject* parent = nullptr);

    // `verb` leads the progress text ("Чтение 5 из 12 … Яркость"). The first step starts after
    // `firstStepDelayMs`, when the line may still carry an answer nobody waits for.
    void Run(std::vector<TSequenceStep> steps, const QString& verb, bool stopAtFailure,
             int firstStepDelayMs = 0);
    // No further step starts; the one under way ends as usual.
    void Stop();
    bool Running() const { return FRunning; }
    bool Stopped() const { return FStopRequested; }
    const std::vector<Report>& Reports() const { return FReports; }
    int StepCount() const { return int(FSteps.size()); }

    // The exchange's notice of an ended request.
    void RequestEnded(const TRequestEnd& end);
    // An error box the window is about to show while a step runs: kept as the step's message
    // instead (true). Outside a run nothing is taken.
    bool TakeError(const QString& text);

    // A step without any notice for this long is given up as unanswered (the exchange drops a
    // request when its pass is cut short, for example by the settings dialog).
    static constexpr int StepTimeoutMs = 3000;

signals:
    void StepStarted(int index, const QString& name);  // before its first request goes out
    void Progress(const QString& text);
    void StepEnded(int index, TStepResult result);
    void Finished();

private:
    void StartNext();
    void EndStep(TStepResult result);
    void Finish();

    std::vector<TSequenceStep> FSteps;
    std::vector<Report> FReports;
    QString FVerb;
    int FIndex = -1;
    bool FRunning = false;
    bool FStepActive = false;
    bool FStopAtFailure = false;
    bool FStopRequested = false;
    TStepResult FWorst = TStepResult::Done;
    std::optional<TRequestOutcome> FLastOutcome;
    std::function<bool()> FMainExchangeBusy;
    QTimer* FBackstop;
    QTimer* FFirstStep;
};

// The parameter page's groups in reading order: address, serial number, brightness, text,
// the three parameters (the one chosen in "Пар. №" last, so that the page shows it),
// setpoints max and min, IEC framing, relays, alarm. `gaveData` tells whether the record now
// holds any of the given configuration keys. Each step's tag is the TFieldGroup whose fields
// it fills (ReadRecord.h), -1 for a parameter the page does not show.
std::vector<TSequenceStep> ReadAllSteps(
    TInstrumentOperations& instrument,
    const std::function<bool(const std::vector<std::string>&)>& gaveData);
