#pragma once
// One instrument as the line sees it: its model, the faults put between its answers and the
// line, its own framing of the bytes it hears, and the record of what it heard and said.
// The line (VirtualBus) owns the pty and the reader thread and hands every station the bytes
// sent at the station's speed.
//
// Threads: every public member function is thread-safe and may be called from any thread while
// the line's reader runs. The private members for the line run on the reader thread only.
#include <condition_variable>
#include <mutex>
#include <optional>
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
    // A pause this long ends an incomplete frame (it is dropped). A bus has one for its line.
    int silenceMs = 30;
    // The speed the instrument listens and answers at, bits per second; 0: any speed. The
    // instrument's speed register for its first port reports it when it is one of its speeds.
    uint32_t lineSpeed = 0;
    // A slow instrument: every answer starts this long after its request (on top of any
    // delay a fault adds).
    int answerDelayMs = 0;
};

class Station {
public:
    // Throws std::invalid_argument for a parameter count outside 1..3.
    explicit Station(const Config& config);
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    const Config& Configuration() const { return FConfig; }
    // True when a request sent at `portSpeed` reaches it (0: the speed is unknown).
    bool Hears(uint32_t portSpeed) const;

    // The instrument's state; see InstrumentModel for the setters and getters.
    InstrumentModel& Model() { return FModel; }
    const InstrumentModel& Model() const { return FModel; }

    // Fault injection; replaces the previous faults and resets their counts.
    void SetFaults(const Faults& faults) { FFaults.Set(faults); }
    void ClearFaults() { SetFaults(Faults{}); }
    // Exactly how many answers each fault touched since the last SetFaults.
    FaultCounts InjectedFaults() const { return FFaults.Counts(); }

    // Every complete request frame with a good CRC it heard, in order of arrival, whether it
    // was addressed to this instrument or not.
    std::vector<Bytes> ReceivedFrames() const;
    void ClearReceived();  // also clears SentAnswers and Discarded, not AnswersSent
    // Waits until at least `count` frames are in ReceivedFrames(); false on time-out.
    bool WaitForFrames(size_t count, int timeoutMs) const;

    // Number of whole requests it heard since it was made (not cleared by ClearReceived):
    // each meets exactly one answer or one injected silence.
    size_t RequestsHeard() const;
    // Number of answers it wrote to the line (silenced answers not counted).
    size_t AnswersSent() const;
    bool WaitForAnswers(size_t count, int timeoutMs) const;
    // Its answers as it put them on the line (after faults), in order. When several
    // instruments answered at once the port side received something else.
    std::vector<Bytes> SentAnswers() const;
    // Bytes it dropped, one entry per drop: bad CRC, incomplete, unknown, or sent at a speed
    // it does not listen at.
    std::vector<Bytes> Discarded() const;

private:
    friend class VirtualBus;

    // For the line's reader thread.
    void Hear(const uint8_t* data, size_t length, uint32_t portSpeed);
    bool Pending() const { return FSplitter.Pending(); }
    // The answer to the next complete request it holds, after faults (no pieces: silence);
    // nothing when it holds no complete request.
    std::optional<Delivery> AnswerNext();
    // The line fell silent: the answer to what it holds, if that is a request.
    std::optional<Delivery> AnswerAtSilence();
    // Its answer went out on the line as `written`.
    void RecordAnswer(const Bytes& written);
    // A new line: nothing heard yet.
    void ResetFraming() { FSplitter = FrameSplitter(FConfig.modbusWritesInQv); }

    Delivery Respond(const Bytes& frame);
    void RecordDiscarded(std::vector<Bytes> dropped);

    const Config FConfig;
    InstrumentModel FModel;
    FaultInjector FFaults;
    FrameSplitter FSplitter;  // reader thread only

    mutable std::mutex FRecordMutex;
    mutable std::condition_variable FRecordChanged;
    std::vector<Bytes> FReceived;
    std::vector<Bytes> FSent;
    std::vector<Bytes> FDiscarded;
    size_t FAnswersSent = 0;
    size_t FRequestsHeard = 0;
};

}  // namespace sim
