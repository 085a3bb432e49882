#pragma once
// The virtual instrument: an InstrumentModel served on the master side of a pseudo-terminal.
// The program under test opens DevicePath() (the slave side) like a serial port.
//
//   sim::VirtualInstrument vi({.protocol = sim::Protocol::Modbus, .address = 7, .parameterCount =
//   3}); vi.Start();                               // throws std::runtime_error if no pty
//   open(vi.DevicePath().c_str(), ...);       // e.g. "/dev/pts/5"
//   vi.Model().FreezeValue(1, 12.5f);
//   vi.SetFaults({.silence = true, .count = 1});
//   vi.WaitForFrames(1, 5000);  vi.ReceivedFrames();
//   vi.Stop();
//
// It is a line with this one instrument on it (VirtualBus): only the config's silence ends an
// incomplete frame, and with a lineSpeed of 0 (the default) it hears every speed.
//
// Threads: Start() creates one reader thread that owns the line (poll + read on the master,
// framing, answering, fault delivery including pauses). Every public member function is
// thread-safe and may be called from any thread while the reader runs. Answers go out one at a
// time in request order, like a real instrument: a delayed or split answer holds back the next.
//
// The pty is set raw (no echo) as soon as it is made, and the server keeps a slave descriptor
// open for its whole life, so the port side may close and reopen the path freely.
#include <string>
#include <vector>

#include "sim/Bytes.h"
#include "sim/Faults.h"
#include "sim/InstrumentModel.h"
#include "sim/Station.h"
#include "sim/VirtualBus.h"

namespace sim {

class VirtualInstrument {
public:
    explicit VirtualInstrument(const Config& config = Config{});
    VirtualInstrument(const VirtualInstrument&) = delete;
    VirtualInstrument& operator=(const VirtualInstrument&) = delete;

    // Makes the pty and starts the reader thread. Throws std::runtime_error when no pty can
    // be made. Calling it while running does nothing.
    void Start() { FLine.Start(); }
    // Stops the reader thread and closes the pty. Safe to call more than once.
    void Stop() { FLine.Stop(); }
    bool Running() const { return FLine.Running(); }
    // Path of the slave side, to be opened by the program; empty when vanished or stopped.
    std::string DevicePath() const { return FLine.DevicePath(); }

    // The instrument's state; see InstrumentModel for the setters and getters.
    InstrumentModel& Model() { return Instrument().Model(); }
    const InstrumentModel& Model() const { return Instrument().Model(); }

    // Fault injection; replaces the previous faults and resets their counts.
    void SetFaults(const Faults& faults) { Instrument().SetFaults(faults); }
    void ClearFaults() { SetFaults(Faults{}); }
    // Exactly how many answers each fault touched since the last SetFaults.
    FaultCounts InjectedFaults() const { return Instrument().InjectedFaults(); }

    // Every complete request frame with a good CRC, in order of arrival, whether it was
    // addressed to this instrument or not.
    std::vector<Bytes> ReceivedFrames() const { return Instrument().ReceivedFrames(); }
    // Also clears SentAnswers and Discarded, not AnswersSent.
    void ClearReceived() { Instrument().ClearReceived(); }
    // Waits until at least `count` frames are in ReceivedFrames(); false on time-out.
    bool WaitForFrames(size_t count, int timeoutMs) const {
        return Instrument().WaitForFrames(count, timeoutMs);
    }

    // Number of answers written to the line since Start (silenced answers not counted).
    size_t AnswersSent() const { return Instrument().AnswersSent(); }
    size_t RequestsHeard() const { return Instrument().RequestsHeard(); }
    bool WaitForAnswers(size_t count, int timeoutMs) const {
        return Instrument().WaitForAnswers(count, timeoutMs);
    }
    // The answers as written (after faults), in order.
    std::vector<Bytes> SentAnswers() const { return Instrument().SentAnswers(); }
    // Bytes the framing dropped (bad CRC, incomplete, unknown), one entry per drop.
    std::vector<Bytes> Discarded() const { return Instrument().Discarded(); }

    // Writes raw bytes onto the line towards the port side, between answers.
    void InjectBytes(const Bytes& bytes) { FLine.InjectBytes(bytes); }

    // The instrument disappears: the reader stops and both pty descriptors close, so the port
    // side sees a hang-up (reads end, poll reports POLLHUP). The model is kept.
    void Vanish() { FLine.Vanish(); }
    // A new pty (usually with a new DevicePath()) and a new reader, same model.
    void Reappear() { FLine.Reappear(); }

private:
    Station& Instrument() { return FLine.Instrument(0); }
    const Station& Instrument() const { return FLine.Instrument(0); }

    VirtualBus FLine;
};

}  // namespace sim
