#include "sim/FrameSplitter.h"

#include <algorithm>

namespace sim {

namespace {

struct QvCode {
    uint8_t code;
    uint8_t requestLength;
    uint8_t answerLength;
};

// The instrument's own table of QV codes; lengths include the CRC.
constexpr QvCode kQvCodes[] = {
    {0x00, 7, 6},  {0x01, 12, 6}, {0x02, 6, 6}, {0x03, 6, 6}, {0x04, 6, 6},  {0x05, 69, 6},
    {0x06, 6, 6},  {0x07, 6, 6},  {0x0F, 8, 6}, {0x21, 6, 6}, {0x31, 7, 6},  {0x32, 7, 6},
    {0x40, 6, 10}, {0x41, 6, 12}, {0x43, 5, 6}, {0x44, 5, 9}, {0x45, 5, 69}, {0x46, 5, 6},
    {0x47, 5, 6},  {0x48, 6, 11}, {0x4A, 5, 5}, {0x50, 5, 6}, {0x51, 19, 6}, {0x52, 11, 6},
    {0x53, 5, 6},  {0x54, 5, 6},  {0x55, 5, 6}, {0x56, 5, 6}, {0x61, 5, 6},  {0xFE, 7, 6},
    {0xFF, 8, 7},
};

const QvCode* FindQvCode(uint8_t code) {
    for (const QvCode& entry : kQvCodes)
        if (entry.code == code) return &entry;
    return nullptr;
}

constexpr uint8_t kReadRegisters = 0x03;
constexpr uint8_t kWriteRegister = 0x06;
constexpr uint8_t kWriteRegisters = 0x10;
constexpr uint8_t kSwitchProtocol = 0x76;
constexpr uint8_t kSearch = 0x77;
constexpr size_t kShortModbusFrame = 8;
constexpr size_t kMinimumFrame = 4;
constexpr size_t kLongestFrame = 9 + 255;  // a write of registers with the largest byte count

}  // namespace

int QvRequestLength(uint8_t code) {
    const QvCode* entry = FindQvCode(code);
    return entry ? entry->requestLength : 0;
}

int QvAnswerLength(uint8_t code) {
    const QvCode* entry = FindQvCode(code);
    return entry ? entry->answerLength : 0;
}

void FrameSplitter::Append(const uint8_t* data, size_t length) {
    FBuffer.insert(FBuffer.end(), data, data + length);
}

std::optional<Bytes> FrameSplitter::Next(Protocol protocol) {
    if (FBuffer.empty()) return std::nullopt;
    if (FBuffer.size() > kLongestFrame) {
        DiscardAll();
        return std::nullopt;
    }
    Expectation expectation = Expect(protocol);
    std::sort(expectation.lengths.begin(), expectation.lengths.end());
    bool waiting = expectation.needMore || expectation.openEnded;
    for (size_t length : expectation.lengths) {
        if (FBuffer.size() < length) {
            waiting = true;
            continue;
        }
        if (CrcOk(FBuffer.data(), length)) return Take(length);
    }
    if (!waiting) DiscardAll();
    return std::nullopt;
}

std::optional<Bytes> FrameSplitter::OnSilence(Protocol protocol) {
    if (FBuffer.empty()) return std::nullopt;
    if (Expect(protocol).openEnded && FBuffer.size() >= kMinimumFrame && CrcOk(FBuffer))
        return Take(FBuffer.size());
    DiscardAll();
    return std::nullopt;
}

std::vector<Bytes> FrameSplitter::TakeDiscarded() {
    std::vector<Bytes> discarded;
    discarded.swap(FDiscarded);
    return discarded;
}

FrameSplitter::Expectation FrameSplitter::Expect(Protocol protocol) const {
    return protocol == Protocol::Qv ? ExpectQv() : ExpectModbus();
}

FrameSplitter::Expectation FrameSplitter::ExpectQv() const {
    Expectation expectation;
    if (FBuffer.size() < 3) {
        expectation.needMore = true;
        return expectation;
    }
    if (const int length = QvRequestLength(FBuffer[2]))
        expectation.lengths.push_back(size_t(length));
    if (FModbusWritesInQv) AddModbusWriteLength(expectation);
    return expectation;
}

// The Modbus-only configuration writes: function 6 (eight bytes) or 16 (by its byte count).
void FrameSplitter::AddModbusWriteLength(Expectation& expectation) const {
    const uint8_t function = FBuffer[1];
    if (function == kWriteRegister) {
        expectation.lengths.push_back(kShortModbusFrame);
    } else if (function == kWriteRegisters) {
        if (FBuffer.size() < 7)
            expectation.needMore = true;
        else
            expectation.lengths.push_back(9 + size_t(FBuffer[6]));
    }
}

FrameSplitter::Expectation FrameSplitter::ExpectModbus() const {
    Expectation expectation;
    if (FBuffer.size() < 2) {
        expectation.needMore = true;
        return expectation;
    }
    switch (FBuffer[1]) {
        case kReadRegisters:
        case kWriteRegister:
        case kSwitchProtocol:
        case kSearch:
            expectation.lengths.push_back(kShortModbusFrame);
            break;
        case kWriteRegisters:
            AddModbusWriteLength(expectation);
            break;
        default:
            expectation.lengths.push_back(kShortModbusFrame);
            expectation.openEnded = true;
    }
    return expectation;
}

Bytes FrameSplitter::Take(size_t length) {
    Bytes frame(FBuffer.begin(), FBuffer.begin() + long(length));
    FBuffer.erase(FBuffer.begin(), FBuffer.begin() + long(length));
    return frame;
}

void FrameSplitter::DiscardAll() {
    FDiscarded.push_back(FBuffer);
    FBuffer.clear();
}

}  // namespace sim
