#pragma once
// TConfigTransfer: configuration files from the window, in tessera-cli's format.
//
// Saving writes what the record holds: only values read from the instrument, with their
// source. Loading reads the file and the instrument, shows both side by side, and only after
// the operator confirms writes the ticked differences in the order tessera-cli's set-config
// uses (address and protocol last), through the window's ordinary requests; it then reads
// everything back and reports what differs. Main thread only; owned by TCommissioning.
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "commissioning/ReadAll.h"
#include "config/ConfigFile.h"

class TCommissioning;
class TConfigPreview;
class TDesktop;
class TInstrumentOperations;
class TWindowHost;
namespace config {
class ConfigPlan;
}

class TConfigTransfer : public QObject {
    Q_OBJECT
public:
    TConfigTransfer(TInstrumentOperations& instrument, TWindowHost& host, TDesktop& desktop,
                    TCommissioning& owner);
    ~TConfigTransfer() override;

    // False with `error` set when nothing has been read or the file cannot be written.
    bool Save(const QString& path, QString& error);
    // Starts loading `path` into the instrument; ends with Finished.
    void Load(const QString& path);
    bool Busy() const { return FBusy; }

signals:
    // The outcome as told to the operator; `problem`: something was not written as the file
    // says (or nothing could be done).
    void Finished(const QString& report, bool problem);

private:
    void AfterFirstRead();
    void AfterWrites();
    void AfterReadBack();
    void End(const QString& report, bool problem);
    config::InstrumentConfig Instrument() const;
    QStringList Written() const;

    TInstrumentOperations& FInstrument;
    TWindowHost& FHost;
    TDesktop& FDesktop;  // runs the preview
    TCommissioning& FOwner;
    bool FBusy = false;
    QString FPath;
    config::InstrumentConfig FFile;
    std::unique_ptr<config::ConfigPlan> FPlan;
    std::vector<TRequestSequence::Report> FWrites;
    std::vector<int> FStepsOfWrite;  // the steps of each planned write, by its place in the plan
};

// The steps that carry out a plan through the window: one step for each request of each write,
// sent as a page handler sends one request, each step tagged with its write's place in the
// plan; a new address is asked first (AddressProbeTag).
std::vector<TSequenceStep> WriteSteps(TInstrumentOperations& instrument, TWindowHost& host,
                                      const config::ConfigPlan& plan);
