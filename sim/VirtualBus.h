#pragma once
// Several virtual instruments on one line: one pseudo-terminal, one Station per instrument,
// each with its own address, protocol, speed, model and faults.
//
//   sim::VirtualBus bus({{.protocol = sim::Protocol::Modbus, .address = 7, .lineSpeed = 9600},
//                        {.protocol = sim::Protocol::Qv, .address = 12, .lineSpeed = 19200}});
//   bus.Start();                                // throws std::runtime_error if no pty
//   open(bus.DevicePath().c_str(), ...);        // set the port's speed, then send
//   bus.Instrument(1).Model().FreezeValue(1, 12.5f);
//   bus.Instrument(0).SetFaults({.silence = true, .count = 1});
//
// Every instrument hears the requests sent at its speed: the speed the port side has set on
// the pty when the bytes are read (see LineSpeed.h). It frames them in the protocol it speaks
// and answers those addressed to it. Answers to one request from several instruments collide
// on the line (see Collision.h); one answer goes out as it is, faults included.
//
// Threads: Start() creates one reader thread that owns the line (poll + read on the master,
// framing, answering, fault delivery including pauses). Every public member function is
// thread-safe. Answers go out one request at a time, in request order.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sim/Collision.h"
#include "sim/PtyLine.h"
#include "sim/Station.h"

namespace sim {

struct BusOptions {
    // A pause this long ends an incomplete frame (it is dropped).
    int silenceMs = 30;
    // An answer on the line ends the incomplete frames the other instruments hold, as the pause
    // before an answer does on a real line: a request in one protocol held open by the
    // instruments of the other then does not swallow the next request. Off: only the silence.
    bool answersEndFrames = true;
};

// The options of a line with one instrument alone on it (VirtualInstrument): its own silence
// ends a frame, and no other instrument's answer does.
BusOptions SingleInstrumentLine(const Config& config);

class VirtualBus {
public:
    // One instrument per entry, in this order. Throws std::invalid_argument for a bad entry.
    explicit VirtualBus(const std::vector<Config>& instruments, const BusOptions& options = {});
    ~VirtualBus();  // Stop()
    VirtualBus(const VirtualBus&) = delete;
    VirtualBus& operator=(const VirtualBus&) = delete;

    // Makes the pty and starts the reader thread. Throws std::runtime_error when no pty can
    // be made. Calling it while running does nothing.
    void Start();
    // Stops the reader thread and closes the pty. Safe to call more than once.
    void Stop();
    bool Running() const;
    // Path of the slave side, to be opened by the program; empty when vanished or stopped.
    std::string DevicePath() const;

    size_t Size() const { return FStations.size(); }
    // The instrument at `index` in the order given; throws std::out_of_range.
    Station& Instrument(size_t index) { return *FStations.at(index); }
    const Station& Instrument(size_t index) const { return *FStations.at(index); }

    // The speed the port side has set on the line now, bits per second; 0 when unknown.
    uint32_t PortSpeed() const { return FLine.PortSpeed(); }
    // Requests whose answers from several instruments overlapped garbled, since construction.
    size_t Collisions() const { return FCollisions; }

    // Writes raw bytes onto the line towards the port side, between answers.
    void InjectBytes(const Bytes& bytes) { FLine.WriteAll(bytes); }

    // The line disappears: the reader stops and both pty descriptors close, so the port side
    // sees a hang-up. The instruments' models are kept.
    void Vanish() { Stop(); }
    // A new pty (usually with a new DevicePath()) and a new reader, same instruments.
    void Reappear();

private:
    struct Answering {
        Station* station;
        Delivery delivery;
    };

    void StopReader();
    void ReaderLoop();
    void ReadAvailable();
    void ServeRequests();
    void ServeAtSilence();
    bool Deliver(const std::vector<Answering>& answers);
    bool WritePieces(const Delivery& delivery, Bytes& written);
    bool PauseUnlessStopping(int ms);
    bool AnyPending() const;
    int SilenceTimeoutMs() const;

    const BusOptions FOptions;
    std::vector<std::unique_ptr<Station>> FStations;
    PtyLine FLine;
    std::thread FReader;
    std::atomic<bool> FStopping{false};
    std::mutex FPauseMutex;
    std::condition_variable FPauseWake;
    std::atomic<size_t> FCollisions{0};
    std::chrono::steady_clock::time_point FLastByte;  // reader thread only
};

}  // namespace sim
