#pragma once
// The scan of a line: every address of a range asked in turn, at each speed and in each
// protocol, for the instruments there.
//
// Each address is asked (a read of its address register) with a short wait sized for a prompt
// instrument. Bytes that turn up later than that - a slow instrument's answer landing in the
// wait of a later address, or damaged bytes - send the scan back: it lets the line fall
// silent, then asks again with the full wait the addresses whose answers are among the bytes
// that came, or, when those bytes are anything but whole answers, every address asked within
// the full wait before they came. Damaged answers that stay damaged at one address are a collision:
// two instruments share it. Each instrument found is then identified (serial number, year,
// number of parameters).
//
//   linescan::LineScan scan(port, plan);
//   scan.onProgress = [](const linescan::ScanProgress& p) { ... };
//   const bool complete = scan.Run();   // false when stopped; Findings() keeps what was found
//
// Threads: Run() on one thread; Stop() from any.
#include <atomic>
#include <functional>
#include <optional>
#include <vector>

#include "linescan/LinePort.h"
#include "linescan/ScanTiming.h"
#include "protocol/Answers.h"
#include "protocol/Decoders.h"
#include "protocol/Requests.h"

namespace linescan {

struct ScanPlan {
    std::vector<uint16_t> addresses;  // in the order asked; Modbus RTU asks only 1..247
    std::vector<int32_t> bauds;       // the line's speeds, in the order scanned
    std::vector<protocol::Protocol> protocols;
    ScanTiming timing;
};

struct Finding {
    enum class Kind {
        Instrument,  // answers at its address
        Collision    // damaged answers only: two instruments share the address
    };
    Kind kind = Kind::Instrument;
    uint16_t address = 0;
    protocol::Protocol protocol = protocol::Protocol::Qv;
    int32_t baud = 0;
    std::optional<protocol::SerialAndYear> identity;  // when the instrument gave it
};

struct ScanProgress {
    int32_t baud = 0;
    uint16_t address = 0;  // being asked now
    size_t done = 0;       // addresses (each speed and protocol counted) done, of
    size_t total = 0;
    size_t found = 0;          // instruments and collisions so far
    double secondsLeft = 0.0;  // estimated from the pace so far
};

class LineScan {
public:
    LineScan(LinePort& port, ScanPlan plan);

    std::function<void(const ScanProgress&)> onProgress;  // before each address
    std::function<void(const Finding&)> onFinding;        // once each is known for sure
    std::function<bool()> stopRequested;                  // polled besides Stop()

    // Scans the whole plan; false when stopped (what was found so far is kept).
    bool Run();
    // Ends the scan within one wait; safe from any thread.
    void Stop() { FStop = true; }

    // Ordered by speed (as planned), address, protocol (as planned).
    std::vector<Finding> Findings() const;
    // How many times late or damaged bytes sent the scan back to ask again with the full wait.
    size_t Rechecks() const { return FRechecks; }

private:
    enum class Heard {
        Answer,  // a valid answer from the address (a refusal included)
        Silence,
        Foreign,  // a whole frame from the address in the other protocol
        Damage    // anything else
    };
    struct Asked {
        uint16_t address;
        Clock::time_point sent;
    };
    struct Pass {
        int32_t baud;
        protocol::Protocol protocol;
        std::vector<Asked> unconfirmed;  // silent or damaged at the short wait, newest last
        std::vector<uint16_t> answered;  // to identify at the pass's end
        Clock::time_point lastSent{};
        std::vector<uint8_t> stray;  // bytes no prompt answer explains, since the last recheck
    };

    bool Stopping() const;
    bool ScanPass(int32_t baud, protocol::Protocol protocol);
    Heard Ask(Pass& pass, uint16_t address, bool fullWait, const protocol::Request& request,
              protocol::Answer* taken = nullptr);
    bool Collect(std::vector<uint8_t>& into, Clock::time_point deadline);
    bool LateBytesQueued(Pass& pass);
    bool Recheck(Pass& pass, Clock::time_point bytesCameAt);
    bool Drain(Pass& pass);
    std::vector<uint16_t> AskAgain(const Pass& pass, const std::vector<uint16_t>& window) const;
    bool Settle(Pass& pass);
    void Identify(Pass& pass);
    void Record(Finding finding);
    bool Known(int32_t baud, uint16_t address) const;
    size_t PlannedSteps() const;
    void Report(const Pass& pass, uint16_t address);

    LinePort& FPort;
    const ScanPlan FPlan;
    std::atomic<bool> FStop{false};
    std::vector<Finding> FFindings;
    size_t FRechecks = 0;
    size_t FDone = 0;
    size_t FTotal = 0;
    Clock::time_point FStarted{};
};

}  // namespace linescan
