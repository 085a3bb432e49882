#include "sim/Faults.h"

#include <algorithm>

namespace sim {

void FaultInjector::Set(const Faults& faults) {
    std::lock_guard<std::mutex> lock(FMutex);
    FFaults = faults;
    FCounts = FaultCounts{};
    FRandom.seed(faults.seed);
}

Faults FaultInjector::Current() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FFaults;
}

FaultCounts FaultInjector::Counts() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FCounts;
}

bool FaultInjector::FixedFaultsActive() const {
    const Faults& f = FFaults;
    const bool any = f.silence || f.cutBytes > 0 || f.pieces > 1 || f.badCrc ||
                     !f.trailing.empty() || f.exception != 0 || f.delayMs > 0 ||
                     f.duplicateAfterMs >= 0;
    return any && f.count != 0;
}

// 24 random bits as a fraction in [0, 1): the same sequence for the same seed everywhere.
double FaultInjector::Draw() {
    return double(FRandom() >> 8) / double(1u << 24);
}

static void InvertLastCrcByte(Bytes& answer) {
    if (!answer.empty()) answer.back() ^= 0xFF;
}

static std::vector<Delivery::Piece> SplitInto(const Bytes& bytes, int pieces, int gapMs) {
    std::vector<Delivery::Piece> result;
    const size_t count = std::max<size_t>(1, std::min<size_t>(size_t(pieces), bytes.size()));
    const size_t size = (bytes.size() + count - 1) / count;
    for (size_t at = 0; at < bytes.size(); at += size) {
        const size_t end = std::min(bytes.size(), at + size);
        result.push_back({result.empty() ? 0 : gapMs,
                          Bytes(bytes.begin() + long(at), bytes.begin() + long(end))});
    }
    return result;
}

Delivery FaultInjector::Plan(const Bytes& request, const Bytes& answer, Protocol protocol) {
    std::lock_guard<std::mutex> lock(FMutex);
    Delivery delivery;
    if (answer.empty()) return delivery;
    if (!FixedFaultsActive()) {
        const double draw = (FFaults.silenceChance > 0 || FFaults.badCrcChance > 0) ? Draw() : 1.0;
        Bytes bytes = answer;
        if (draw < FFaults.silenceChance) {
            ++FCounts.silenced;
            return delivery;
        }
        if (draw < FFaults.silenceChance + FFaults.badCrcChance) {
            ++FCounts.badCrc;
            InvertLastCrcByte(bytes);
        }
        delivery.pieces.push_back({0, bytes});
        return delivery;
    }
    const Faults f = FFaults;
    if (FFaults.count > 0) --FFaults.count;
    if (f.silence) {
        ++FCounts.silenced;
        return delivery;
    }
    Bytes bytes = answer;
    if (f.exception != 0 && protocol == Protocol::Modbus && request.size() >= 2) {
        bytes = WithCrc({request[0], uint8_t(request[1] | 0x80), f.exception});
        ++FCounts.exceptions;
    }
    if (f.badCrc) {
        InvertLastCrcByte(bytes);
        ++FCounts.badCrc;
    }
    if (f.cutBytes > 0) {
        bytes.resize(bytes.size() - std::min(bytes.size(), size_t(f.cutBytes)));
        ++FCounts.cut;
    }
    if (!f.trailing.empty()) {
        bytes.insert(bytes.end(), f.trailing.begin(), f.trailing.end());
        ++FCounts.trailing;
    }
    if (f.pieces > 1) ++FCounts.split;
    if (f.delayMs > 0) ++FCounts.delayed;
    delivery.pieces = SplitInto(bytes, f.pieces, f.pieceGapMs);
    if (!delivery.pieces.empty()) delivery.pieces.front().pauseMs = f.delayMs;
    if (f.duplicateAfterMs >= 0) {
        delivery.pieces.push_back({f.duplicateAfterMs, bytes});
        ++FCounts.duplicated;
    }
    return delivery;
}

}  // namespace sim
