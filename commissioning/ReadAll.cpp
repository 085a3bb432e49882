#include "commissioning/ReadAll.h"

#include <QTimer>

#include "commissioning/ReadRecord.h"
#include "exchange/RequestEnd.h"
#include "operations/InstrumentOperations.h"

QString StepResultText(TStepResult result) {
    switch (result) {
        case TStepResult::Done:
            return TRequestSequence::tr("выполнено");
        case TStepResult::NoData:
            return TRequestSequence::tr("нет данных");
        case TStepResult::Refused:
            return TRequestSequence::tr("отказ прибора");
        case TStepResult::Unanswered:
            return TRequestSequence::tr("нет ответа");
        case TStepResult::NotSent:
            return TRequestSequence::tr("не отправлено");
    }
    return QString();
}

namespace {

TStepResult ResultOf(TRequestOutcome outcome) {
    switch (outcome) {
        case TRequestOutcome::Answered:
            return TStepResult::Done;
        case TRequestOutcome::Refused:
            return TStepResult::Refused;
        default:
            return TStepResult::Unanswered;
    }
}

// The result of a step whose requests ended as `a` and `b`: the worse of the two.
TStepResult Worse(TStepResult a, TStepResult b) {
    return int(b) > int(a) ? b : a;
}

}  // namespace

TRequestSequence::TRequestSequence(std::function<bool()> mainExchangeBusy, QObject* parent)
    : QObject(parent),
      FMainExchangeBusy(std::move(mainExchangeBusy)),
      FBackstop(new QTimer(this)),
      FFirstStep(new QTimer(this)) {
    FFirstStep->setSingleShot(true);
    connect(FFirstStep, &QTimer::timeout, this, &TRequestSequence::StartNext);
    FBackstop->setSingleShot(true);
    FBackstop->setInterval(StepTimeoutMs);
    connect(FBackstop, &QTimer::timeout, this, [this] {
        if (FStepActive) EndStep(TStepResult::Unanswered);
    });
}

void TRequestSequence::Run(std::vector<TSequenceStep> steps, const QString& verb,
                           bool stopAtFailure, int firstStepDelayMs) {
    FSteps = std::move(steps);
    FReports.clear();
    FVerb = verb;
    FIndex = -1;
    FRunning = true;
    FStepActive = false;
    FStopAtFailure = stopAtFailure;
    FStopRequested = false;
    if (firstStepDelayMs > 0)
        FFirstStep->start(firstStepDelayMs);
    else
        StartNext();
}

void TRequestSequence::Stop() {
    if (!FRunning) return;
    FStopRequested = true;
    if (!FStepActive) Finish();
}

void TRequestSequence::StartNext() {
    if (!FRunning) return;
    ++FIndex;
    if (FStopRequested || FIndex >= int(FSteps.size())) {
        Finish();
        return;
    }
    const TSequenceStep& step = FSteps[size_t(FIndex)];
    FReports.push_back({step.name, TStepResult::Done, QString(), step.tag});
    FWorst = TStepResult::Done;
    FLastOutcome.reset();
    FStepActive = true;
    emit StepStarted(FIndex, step.name);
    emit Progress(
        tr("%1 %2 из %3 … %4").arg(FVerb).arg(FIndex + 1).arg(FSteps.size()).arg(step.name));
    step.start();
    // Nothing on its way: a check refused the step or the port failed before sending.
    if (FStepActive && !FMainExchangeBusy()) {
        EndStep(TStepResult::NotSent);
        return;
    }
    if (FStepActive) FBackstop->start();
}

void TRequestSequence::RequestEnded(const TRequestEnd& end) {
    if (!FStepActive) return;
    FWorst = Worse(FWorst, ResultOf(end.outcome));
    FLastOutcome = end.outcome;
    if (end.chainGoesOn) {
        FBackstop->start();
        return;
    }
    EndStep(FWorst);
}

bool TRequestSequence::TakeError(const QString& text) {
    if (!FRunning || FReports.empty()) return false;
    QString& message = FReports.back().message;
    const QString trimmed = text.trimmed();
    if (!message.contains(trimmed))
        message += (message.isEmpty() ? QString() : QStringLiteral("; ")) + trimmed;
    return true;
}

void TRequestSequence::EndStep(TStepResult result) {
    FBackstop->stop();
    FStepActive = false;
    const TSequenceStep& step = FSteps[size_t(FIndex)];
    if (result == TStepResult::Done && step.gaveData && !step.gaveData())
        result = TStepResult::NoData;
    if (step.judge) result = step.judge(result, FLastOutcome, FReports.back().message);
    FReports.back().result = result;
    if (result == TStepResult::Done && step.done) step.done();
    emit StepEnded(FIndex, result);
    if (FStopAtFailure && result != TStepResult::Done) FStopRequested = true;
    // The next request goes out once the exchange has finished with this one.
    QTimer::singleShot(0, this, &TRequestSequence::StartNext);
}

void TRequestSequence::Finish() {
    if (!FRunning) return;
    FRunning = false;
    FBackstop->stop();
    FFirstStep->stop();
    emit Finished();
}

namespace {

std::vector<std::string> ParameterKeys(int p) {
    const std::string g = "param" + std::to_string(p);
    return {g + ".scale", g + ".unit", g + ".point"};
}

}  // namespace

std::vector<TSequenceStep> ReadAllSteps(
    TInstrumentOperations& instrument,
    const std::function<bool(const std::vector<std::string>&)>& gaveData) {
    using G = TFieldGroup;
    using Ops = TInstrumentOperations;
    TInstrumentOperations* ops = &instrument;
    auto step = [ops, &gaveData](const QString& name, void (Ops::*read)(), TFieldGroup group,
                                 std::vector<std::string> keys) {
        return TSequenceStep{name,
                             [ops, read] { (ops->*read)(); },
                             [gaveData, keys] { return gaveData(keys); },
                             nullptr,
                             int(group),
                             nullptr};
    };
    std::vector<TSequenceStep> steps = {
        step(TRequestSequence::tr("Сетевой адрес"), &Ops::ReadAddress, G::Address, {"address"}),
        step(TRequestSequence::tr("Заводской номер"), &Ops::ReadSerialNumber, G::Serial,
             {"parameters", "serial.number", "serial.year"}),
        step(TRequestSequence::tr("Яркость"), &Ops::ReadBrightness, G::Brightness, {"brightness"}),
        step(TRequestSequence::tr("Доп. информация"), &Ops::ReadInfo, G::Info, {"info"}),
    };
    const int chosen = instrument.ShownParameter();
    const int last = chosen >= 1 && chosen <= 3 ? chosen : 1;
    std::vector<int> order;
    for (int p = 1; p <= 3; ++p)
        if (p != last) order.push_back(p);
    order.push_back(last);
    for (int p : order) {
        TSequenceStep s =
            step(TRequestSequence::tr("Пар. %1").arg(p), nullptr, G::Parameter, ParameterKeys(p));
        if (p != last) s.tag = -1;
        s.start = [ops, p] { ops->ReadParameter(p); };
        steps.push_back(std::move(s));
    }
    steps.push_back(step(TRequestSequence::tr("Уставка max"), &Ops::ReadSetpointUpper,
                         G::SetpointUpper, {"setpoint.upper"}));
    steps.push_back(step(TRequestSequence::tr("Уставка min"), &Ops::ReadSetpointLower,
                         G::SetpointLower, {"setpoint.lower"}));
    steps.push_back(
        step(TRequestSequence::tr("МЭК-101"), &Ops::ReadIecFraming, G::Iec,
             {"iec.common_address_size", "iec.object_address_size", "iec.cause_size", "iec.type"}));
    steps.push_back(step(TRequestSequence::tr("Реле"), &Ops::ReadRelays, G::Relay,
                         {"relay1.mode", "relay1.delay", "relay2.mode", "relay2.delay"}));
    steps.push_back(
        step(TRequestSequence::tr("Сигнализация"), &Ops::ReadAlarm, G::Alarm, {"alarm.mode"}));
    return steps;
}
