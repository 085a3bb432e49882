#include "line/LineWorker.h"

#include <chrono>

#include "config/ConfigAnswers.h"
#include "config/ConfigError.h"
#include "line/BatchConfig.h"
#include "protocol/Answers.h"
#include "protocol/Requests.h"

TLineWorker::TLineWorker(TSerialLine& line, int answerWaitMs, QObject* parent)
    : QObject(parent), FLine(line), FAnswerWaitMs(answerWaitMs) {
    qRegisterMetaType<linescan::Finding>();
    qRegisterMetaType<linescan::ScanProgress>();
    qRegisterMetaType<protocol::ParameterSetup>();
    qRegisterMetaType<TWatchTarget>();
    qRegisterMetaType<TLineOutcome>();
    qRegisterMetaType<TBatchOutcome>();
}

TLineWorker::~TLineWorker() {
    Stop();
    if (FThread) FThread->wait();
}

bool TLineWorker::Running() const {
    return FThread && FThread->isRunning();
}

void TLineWorker::Stop() {
    FStop = true;
}

void TLineWorker::Wait() {
    if (FThread) FThread->wait();
}

bool TLineWorker::Launch(std::function<void()> job) {
    if (Running()) return false;
    if (FThread) FThread->wait();  // the last one has ended; its object goes
    FStop = false;
    FSpeed = 0;  // the line's owner gives the port its speed back after every job
    FThread.reset(QThread::create([this, job = std::move(job)] {
        QString failure;
        try {
            job();
        } catch (const std::exception& e) {
            failure = QString::fromUtf8(e.what());
        }
        FLine.EndAnswer();
        emit Finished(failure.isEmpty() && !FStop.load(), failure);
    }));
    FThread->start();
    return true;
}

bool TLineWorker::StartScan(const linescan::ScanPlan& plan) {
    return Launch([this, plan] { RunScan(plan); });
}

bool TLineWorker::StartWatch(const std::vector<TWatchTarget>& targets) {
    return Launch([this, targets] { RunWatch(targets); });
}

bool TLineWorker::StartBatch(const std::vector<TWatchTarget>& targets,
                             const config::InstrumentConfig& file, bool write) {
    return Launch([this, targets, file, write] { RunBatch(targets, file, write); });
}

void TLineWorker::RunScan(linescan::ScanPlan plan) {
    linescan::LineScan scan(FLine, std::move(plan));
    scan.stopRequested = [this] { return FStop.load(); };
    scan.onProgress = [this](const linescan::ScanProgress& p) { emit Progress(p); };
    scan.onFinding = [this](const linescan::Finding& f) { emit Found(f); };
    const bool complete = scan.Run();
    // The scan's final word on each (a collision seen as such only later, say); the table
    // keeps one row for each. Stopped: what was sure so far still counts.
    const std::vector<linescan::Finding> findings = scan.Findings();
    for (const linescan::Finding& f : findings) emit Found(f);
    if (!complete) return;
    // What each instrument says of itself, once the whole line is known.
    for (const linescan::Finding& f : findings) {
        if (FStop) return;
        if (f.kind != linescan::Finding::Kind::Instrument) continue;
        TWatchTarget target;
        target.address = f.address;
        target.protocol = f.protocol;
        target.baud = f.baud;
        if (f.identity && f.identity->parameterCount >= 1 && f.identity->parameterCount <= 3)
            target.parameterCount = f.identity->parameterCount;
        Describe(target);
    }
}

void TLineWorker::Describe(const TWatchTarget& target) {
    for (int p = 1; p <= target.parameterCount && !FStop; ++p) {
        const Reply reply = Ask(target, protocol::ReadParameter(p), 0);
        if (reply.outcome != TLineOutcome::Answered) continue;
        if (const auto setup =
                protocol::DecodeParameter(reply.answer.bytes.data(), reply.answer.length))
            emit ParameterSetupRead(target, p, *setup);
    }
    if (FStop) return;
    const Reply reply = Ask(target, protocol::Read(GetInfo), 0);
    if (reply.outcome != TLineOutcome::Answered) return;
    if (const auto info = protocol::DecodeInfoText(reply.answer.bytes.data(), reply.answer.length))
        emit InfoRead(target, QString::fromStdString(*info).trimmed());
}

void TLineWorker::RunWatch(std::vector<TWatchTarget> targets) {
    while (!FStop) {
        for (const TWatchTarget& target : targets) {
            for (int p = 1; p <= target.parameterCount && !FStop; ++p) {
                const Reply reply = Ask(target, protocol::ReadValue(p), p);
                if (reply.outcome != TLineOutcome::Answered) continue;
                const auto reading =
                    protocol::DecodeReading(reply.answer.bytes.data(), reply.answer.length);
                if (reading && reading->exists) emit ValueRead(target, p, reading->value);
            }
            if (FStop) return;
        }
        if (targets.empty()) return;
    }
}

TLineWorker::Reply TLineWorker::Ask(const TWatchTarget& target, const protocol::Request& request,
                                    int parameter) {
    if (FSpeed != target.baud) {
        FLine.SetSpeed(target.baud);
        FSpeed = target.baud;
    }
    const protocol::RequestFrame frame =
        protocol::BuildRequest(request, target.address, target.protocol);
    const std::vector<uint8_t> bytes = Exchange(frame);
    Reply reply;
    if (bytes.empty()) {
        reply.outcome = TLineOutcome::Silent;
    } else {
        reply.answer = protocol::TakeAnswer(frame, bytes.data(), int(bytes.size()));
        switch (reply.answer.check.status) {
            case protocol::AnswerStatus::Ok:
                reply.outcome = TLineOutcome::Answered;
                break;
            case protocol::AnswerStatus::Exception:
                reply.outcome = TLineOutcome::Refused;
                break;
            case protocol::AnswerStatus::BadCrc:
                reply.outcome = TLineOutcome::BadCrc;
                break;
            default:  // short or from elsewhere: as good as no answer
                reply.outcome = TLineOutcome::Silent;
                break;
        }
    }
    emit Exchanged(target, parameter, reply.outcome);
    return reply;
}

// One request and its answer: complete at its length (or as a whole Modbus exception answer),
// or ended by the line's silence for the answer wait since the last byte.
std::vector<uint8_t> TLineWorker::Exchange(const protocol::RequestFrame& frame) {
    FLine.Discard();
    FLine.SendRequest(frame);
    return linescan::ReceiveAnswer(FLine, frame.lengthIn, frame.modbus,
                                   std::chrono::milliseconds(FAnswerWaitMs));
}

void TLineWorker::RunBatch(const std::vector<TWatchTarget>& targets,
                           const config::InstrumentConfig& file, bool write) {
    for (const TWatchTarget& target : targets) {
        if (FStop) return;
        BatchOne(target, file, write);
    }
}

namespace {

QStringList Texts(const std::vector<std::string>& keys) {
    QStringList list;
    for (const std::string& key : keys) list << QString::fromStdString(key);
    return list;
}

}  // namespace

void TLineWorker::BatchOne(const TWatchTarget& target, const config::InstrumentConfig& file,
                           bool write) {
    TLineOutcome last = TLineOutcome::Answered;
    const config::AskInstrument ask = [this, &target, &last](const protocol::Request& request) {
        Reply reply = Ask(target, request, 0);
        last = reply.outcome;
        return reply.outcome == TLineOutcome::Answered ? std::optional(reply.answer) : std::nullopt;
    };
    const auto current = config::ReadInstrumentConfig(target.protocol, ask);
    if (!current) {
        emit BatchPlanned(target, {}, tr("не отвечает"));
        if (write) emit BatchDone(target, TBatchOutcome::Silent, QString());
        return;
    }
    std::optional<config::ConfigPlan> plan;
    try {
        plan.emplace(line_batch::Plan(file, *current));
    } catch (const config::ConfigError& e) {
        emit BatchPlanned(target, {}, QString::fromUtf8(e.what()));
        if (write) emit BatchDone(target, TBatchOutcome::Refused, QString::fromUtf8(e.what()));
        return;
    }
    emit BatchPlanned(target, Texts(line_batch::ChangedKeys(*plan)), QString());
    if (!write || FStop) return;
    for (const config::PlannedWrite& w : plan->Writes())
        for (const protocol::Request& request : line_batch::WriteRequests(w, target.protocol)) {
            if (ask(request)) continue;
            // A write not taken ends this instrument's batch: what it carried is named.
            const QString keys = Texts(w.keys).join(QStringLiteral(", "));
            emit BatchDone(
                target,
                last == TLineOutcome::Silent ? TBatchOutcome::Silent : TBatchOutcome::Refused,
                keys);
            return;
        }
    const auto after = config::ReadInstrumentConfig(target.protocol, ask);
    if (!after) {
        emit BatchDone(target, TBatchOutcome::Silent, tr("не ответил при проверке"));
        return;
    }
    const config::ConfigPlan::ReadBack back = plan->Compare(*after);
    if (back.differences.empty())
        emit BatchDone(target, TBatchOutcome::Verified, QString());
    else
        emit BatchDone(target, TBatchOutcome::Written,
                       Texts(back.differences).join(QStringLiteral(", ")));
}
