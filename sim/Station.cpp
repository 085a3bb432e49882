#include "sim/Station.h"

#include <stdexcept>

#include "sim/Answers.h"
#include "sim/LineSpeed.h"

namespace sim {

namespace {

InstrumentState InitialState(const Config& config) {
    if (config.parameterCount < 1 || config.parameterCount > limits::kMaxParameters)
        throw std::invalid_argument("parameter count must be 1..3");
    InstrumentState state;
    state.protocol = config.protocol;
    state.address = config.address;
    state.parameterCount = config.parameterCount;
    if (const uint8_t code = SpeedCode(config.lineSpeed)) state.speedRs1 = code;
    return state;
}

}  // namespace

Station::Station(const Config& config)
    : FConfig(config), FModel(InitialState(config)), FSplitter(config.modbusWritesInQv) {}

bool Station::Hears(uint32_t portSpeed) const {
    return FConfig.lineSpeed == 0 || portSpeed == 0 || portSpeed == FConfig.lineSpeed;
}

// Bytes at another speed arrive as garbage the instrument cannot frame.
void Station::Hear(const uint8_t* data, size_t length, uint32_t portSpeed) {
    if (Hears(portSpeed))
        FSplitter.Append(data, length);
    else
        RecordDiscarded({Bytes(data, data + length)});
}

// The protocol is asked anew for every frame: a switch answered just now changes how the
// bytes after it are cut.
std::optional<Delivery> Station::AnswerNext() {
    std::optional<Bytes> frame = FSplitter.Next(FModel.SpokenProtocol());
    RecordDiscarded(FSplitter.TakeDiscarded());
    if (!frame) return std::nullopt;
    return Respond(*frame);
}

std::optional<Delivery> Station::AnswerAtSilence() {
    std::optional<Bytes> frame = FSplitter.OnSilence(FModel.SpokenProtocol());
    RecordDiscarded(FSplitter.TakeDiscarded());
    if (!frame) return std::nullopt;
    return Respond(*frame);
}

Delivery Station::Respond(const Bytes& frame) {
    {
        std::lock_guard<std::mutex> lock(FRecordMutex);
        FReceived.push_back(frame);
        ++FRequestsHeard;
    }
    FRecordChanged.notify_all();
    const Protocol spoken = FModel.SpokenProtocol();
    const Bytes answer = Answer(FModel, frame, FConfig.modbusWritesInQv);
    Delivery delivery = FFaults.Plan(frame, answer, spoken);
    if (!delivery.pieces.empty()) delivery.pieces.front().pauseMs += FConfig.answerDelayMs;
    return delivery;
}

void Station::RecordAnswer(const Bytes& written) {
    {
        std::lock_guard<std::mutex> lock(FRecordMutex);
        FSent.push_back(written);
        ++FAnswersSent;
    }
    FRecordChanged.notify_all();
}

void Station::RecordDiscarded(std::vector<Bytes> dropped) {
    if (dropped.empty()) return;
    std::lock_guard<std::mutex> lock(FRecordMutex);
    for (Bytes& bytes : dropped) FDiscarded.push_back(std::move(bytes));
}

std::vector<Bytes> Station::ReceivedFrames() const {
    std::lock_guard<std::mutex> lock(FRecordMutex);
    return FReceived;
}

void Station::ClearReceived() {
    std::lock_guard<std::mutex> lock(FRecordMutex);
    FReceived.clear();
    FSent.clear();
    FDiscarded.clear();
}

bool Station::WaitForFrames(size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(FRecordMutex);
    return FRecordChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [&] { return FReceived.size() >= count; });
}

size_t Station::RequestsHeard() const {
    std::lock_guard<std::mutex> lock(FRecordMutex);
    return FRequestsHeard;
}

size_t Station::AnswersSent() const {
    std::lock_guard<std::mutex> lock(FRecordMutex);
    return FAnswersSent;
}

bool Station::WaitForAnswers(size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(FRecordMutex);
    return FRecordChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [&] { return FAnswersSent >= count; });
}

std::vector<Bytes> Station::SentAnswers() const {
    std::lock_guard<std::mutex> lock(FRecordMutex);
    return FSent;
}

std::vector<Bytes> Station::Discarded() const {
    std::lock_guard<std::mutex> lock(FRecordMutex);
    return FDiscarded;
}

}  // namespace sim
