#pragma once
// Fault injection between the instrument's answer and the line, and its exact bookkeeping.
//
// FaultInjector is used by the server's reader thread (Plan) and by tests (Set, Counts) at the
// same time; it holds its own lock.
#include <cstdint>
#include <mutex>
#include <random>
#include <vector>

#include "sim/Bytes.h"
#include "sim/InstrumentModel.h"

namespace sim {

// Faults applied to the instrument's answers. Fixed faults combine (a delayed, split answer
// with a bad CRC is possible); `count` limits them to the next K answers.
struct Faults {
    bool silence = false;       // no answer at all
    int cutBytes = 0;           // answer cut short by this many bytes from its end
    int pieces = 1;             // answer written in this many pieces ...
    int pieceGapMs = 100;       // ... this far apart
    bool badCrc = false;        // last CRC byte inverted
    Bytes trailing;             // extra bytes after the answer
    uint8_t exception = 0;      // Modbus only: exception answer with this code instead
    int delayMs = 0;            // pause before the first byte of the answer
    int duplicateAfterMs = -1;  // >= 0: the whole answer written again this long after it
    int count = -1;             // -1: every answer until changed; K > 0: the next K answers only

    // Random faults, drawn per answer from a generator seeded with `seed`, for answers that no
    // fixed fault touches: silence with `silenceChance`, else a bad CRC with `badCrcChance`.
    double silenceChance = 0.0;
    double badCrcChance = 0.0;
    uint32_t seed = 1;
};

// How many answers each fault has touched since the faults were last set.
struct FaultCounts {
    uint64_t silenced = 0;
    uint64_t badCrc = 0;
    uint64_t cut = 0;
    uint64_t split = 0;
    uint64_t trailing = 0;
    uint64_t exceptions = 0;
    uint64_t delayed = 0;
    uint64_t duplicated = 0;
};

// What actually goes on the line for one answer: pieces with the pause before each.
struct Delivery {
    struct Piece {
        int pauseMs = 0;
        Bytes bytes;
    };
    std::vector<Piece> pieces;  // empty: silence
};

class FaultInjector {
public:
    // Replaces the faults and resets the counts and the random generator.
    void Set(const Faults& faults);
    Faults Current() const;
    FaultCounts Counts() const;
    // Turns the instrument's answer to `request` into what goes on the line.
    Delivery Plan(const Bytes& request, const Bytes& answer, Protocol protocol);

private:
    bool FixedFaultsActive() const;
    double Draw();

    mutable std::mutex FMutex;
    Faults FFaults;
    FaultCounts FCounts;
    std::mt19937 FRandom{1};
};

}  // namespace sim
