#pragma once
// TLineWorker: the "Линия" window's work on the line, on a thread of its own so that the main
// thread never waits for an answer: the scan (linescan::LineScan), then what each instrument
// found says of itself (parameters 1-3, information text), and the watch that reads
// parameters 1-3 of the instruments chosen, in turn, until stopped. One job at a time, one
// request at a time: nothing else goes on the wire while a job runs.
//
// The line is the owner's (lineowner/): whoever starts a job must hold it and must leave it
// alone until Finished; the owner gives the port its speed back when the line is released.
// Results come as signals, queued to the receiver's thread. Start a job and Stop() from the
// main thread; Stop() ends a job within one wait and keeps what it found.
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "config/ConfigFile.h"
#include "lineowner/SerialLine.h"
#include "linescan/LineScan.h"
#include "protocol/ModbusFrames.h"

// An instrument the watch reads.
struct TWatchTarget {
    uint16_t address = 0;
    protocol::Protocol protocol = protocol::Protocol::Qv;
    int32_t baud = 0;
    int parameterCount = 3;
};

// How one request to an instrument ended.
enum class TLineOutcome { Answered, Silent, BadCrc, Refused };

// How a configuration file carried out on one instrument ended: nothing yet; written and
// read back as the file says; written but read back otherwise; a write refused (or damaged);
// no answer.
enum class TBatchOutcome { Pending, Verified, Written, Refused, Silent };

Q_DECLARE_METATYPE(linescan::Finding)
Q_DECLARE_METATYPE(linescan::ScanProgress)
Q_DECLARE_METATYPE(protocol::ParameterSetup)
Q_DECLARE_METATYPE(TWatchTarget)
Q_DECLARE_METATYPE(TLineOutcome)
Q_DECLARE_METATYPE(TBatchOutcome)

class TLineWorker : public QObject {
    Q_OBJECT
public:
    // `answerWaitMs`: the full wait for an answer (the silence that ends it).
    TLineWorker(TSerialLine& line, int answerWaitMs, QObject* parent = nullptr);
    ~TLineWorker() override;  // stops and waits for the job

    // False while a job runs.
    bool StartScan(const linescan::ScanPlan& plan);
    bool StartWatch(const std::vector<TWatchTarget>& targets);
    // A configuration file on each target: read what it holds and plan (BatchPlanned); with
    // `write`, then write what differs and read back (BatchDone). The address, the protocol
    // and the line speeds are never written.
    bool StartBatch(const std::vector<TWatchTarget>& targets, const config::InstrumentConfig& file,
                    bool write);
    void Stop();
    // Waits until the job has ended (after Stop, within one wait).
    void Wait();
    bool Running() const;
    // Requests put on the wire by every job so far (the scan's included).
    size_t RequestsSent() const { return FLine.RequestsSent(); }

signals:
    void Progress(const linescan::ScanProgress& progress);
    void Found(const linescan::Finding& finding);
    void ParameterSetupRead(const TWatchTarget& target, int parameter,
                            const protocol::ParameterSetup& setup);
    void InfoRead(const TWatchTarget& target, const QString& info);
    // One request to `target` ended; `parameter` 0 for a request that was no reading.
    void Exchanged(const TWatchTarget& target, int parameter, TLineOutcome outcome);
    void ValueRead(const TWatchTarget& target, int parameter, double value);
    // What the file changes on `target` (its keys), or why nothing can be planned.
    void BatchPlanned(const TWatchTarget& target, const QStringList& differences,
                      const QString& problem);
    void BatchDone(const TWatchTarget& target, TBatchOutcome outcome, const QString& detail);
    // The job ended: `complete` false when stopped, `failure` when the port failed.
    void Finished(bool complete, const QString& failure);

private:
    struct Reply {
        TLineOutcome outcome = TLineOutcome::Silent;
        protocol::Answer answer;
    };

    bool Launch(std::function<void()> job);
    void RunScan(linescan::ScanPlan plan);
    void RunWatch(std::vector<TWatchTarget> targets);
    void Describe(const TWatchTarget& target);
    void RunBatch(const std::vector<TWatchTarget>& targets, const config::InstrumentConfig& file,
                  bool write);
    void BatchOne(const TWatchTarget& target, const config::InstrumentConfig& file, bool write);
    Reply Ask(const TWatchTarget& target, const protocol::Request& request, int parameter);
    std::vector<uint8_t> Exchange(const protocol::RequestFrame& frame);

    TSerialLine& FLine;
    const int FAnswerWaitMs;
    std::unique_ptr<QThread> FThread;
    std::atomic<bool> FStop{false};
    int32_t FSpeed = 0;  // the speed the job last set (job thread)
};
