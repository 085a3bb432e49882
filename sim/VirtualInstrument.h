#pragma once
// The virtual instrument: an InstrumentModel served on the master side of a pseudo-terminal.
// The program under test opens DevicePath() (the slave side) like a serial port.
//
//   sim::VirtualInstrument vi({.protocol = sim::Protocol::Modbus, .address = 7, .parameterCount = 3});
//   vi.Start();                               // throws std::runtime_error if no pty
//   open(vi.DevicePath().c_str(), ...);       // e.g. "/dev/pts/5"
//   vi.Model().FreezeValue(1, 12.5f);
//   vi.SetFaults({.silence = true, .count = 1});
//   vi.WaitForFrames(1, 5000);  vi.ReceivedFrames();
//   vi.Stop();
//
// Threads: Start() creates one reader thread that owns the line (poll + read on the master,
// framing, answering, fault delivery including pauses). Every public member function is
// thread-safe and may be called from any thread while the reader runs. Answers go out one at a
// time in request order, like a real instrument: a delayed or split answer holds back the next.
//
// The pty is set raw (no echo) as soon as it is made, and the server keeps a slave descriptor
// open for its whole life, so the port side may close and reopen the path freely.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/Bytes.h"
#include "sim/Faults.h"
#include "sim/FrameSplitter.h"
#include "sim/InstrumentModel.h"

namespace sim {

struct Config {
    Protocol protocol = Protocol::Modbus;
    uint16_t address = 1;
    int parameterCount = 3;
    // Answer the six Modbus-only configuration writes while speaking QV (the program sends
    // them in Modbus form whatever the protocol).
    bool modbusWritesInQv = true;
    // A pause this long ends an incomplete frame (it is dropped).
    int silenceMs = 30;
};

class VirtualInstrument {
public:
    explicit VirtualInstrument(const Config& config = Config{});
    ~VirtualInstrument();  // Stop()
    VirtualInstrument(const VirtualInstrument&) = delete;
    VirtualInstrument& operator=(const VirtualInstrument&) = delete;

    // Makes the pty and starts the reader thread. Throws std::runtime_error when no pty can
    // be made. Calling it while running does nothing.
    void Start();
    // Stops the reader thread and closes the pty. Safe to call more than once.
    void Stop();
    bool Running() const;
    // Path of the slave side, to be opened by the program; empty when vanished or stopped.
    std::string DevicePath() const;

    // The instrument's state; see InstrumentModel for the setters and getters.
    InstrumentModel& Model() { return FModel; }
    const InstrumentModel& Model() const { return FModel; }

    // Fault injection; replaces the previous faults and resets their counts.
    void SetFaults(const Faults& faults);
    void ClearFaults() { SetFaults(Faults{}); }
    // Exactly how many answers each fault touched since the last SetFaults.
    FaultCounts InjectedFaults() const;

    // Every complete request frame with a good CRC, in order of arrival, whether it was
    // addressed to this instrument or not.
    std::vector<Bytes> ReceivedFrames() const;
    void ClearReceived();  // also clears SentAnswers and Discarded, not AnswersSent
    // Waits until at least `count` frames are in ReceivedFrames(); false on time-out.
    bool WaitForFrames(size_t count, int timeoutMs) const;

    // Number of answers written to the line since Start (silenced answers not counted).
    size_t AnswersSent() const;
    bool WaitForAnswers(size_t count, int timeoutMs) const;
    // The answers as written (after faults), in order.
    std::vector<Bytes> SentAnswers() const;
    // Bytes the framing dropped (bad CRC, incomplete, unknown), one entry per drop.
    std::vector<Bytes> Discarded() const;

    // Writes raw bytes onto the line towards the port side, between answers.
    void InjectBytes(const Bytes& bytes);

    // The instrument disappears: the reader stops and both pty descriptors close, so the port
    // side sees a hang-up (reads end, poll reports POLLHUP). The model is kept.
    void Vanish();
    // A new pty (usually with a new DevicePath()) and a new reader, same model.
    void Reappear();

private:
    void OpenPty();
    void ClosePty();
    void StartReader();
    void StopReader();
    void ReaderLoop();
    void ReadAvailable();
    void HandleFrames();
    void HandleFrame(const Bytes& frame);
    void Deliver(const Delivery& delivery);
    bool WriteAll(const Bytes& bytes);
    bool PauseUnlessStopping(int ms);
    void RecordDiscarded();
    int SilenceTimeoutMs() const;

    const Config FConfig;
    InstrumentModel FModel;
    FaultInjector FFaults;
    FrameSplitter FSplitter;  // reader thread only

    mutable std::mutex FLineMutex;  // descriptors, path, writes to the master
    int FMaster = -1;
    int FSlave = -1;
    int FWakeRead = -1;
    int FWakeWrite = -1;
    std::string FPath;
    std::thread FReader;
    std::atomic<bool> FStopping{false};
    std::mutex FPauseMutex;
    std::condition_variable FPauseWake;

    mutable std::mutex FRecordMutex;
    mutable std::condition_variable FRecordChanged;
    std::vector<Bytes> FReceived;
    std::vector<Bytes> FSent;
    std::vector<Bytes> FDiscarded;
    size_t FAnswersSent = 0;

    std::chrono::steady_clock::time_point FLastByte;
};

}  // namespace sim
