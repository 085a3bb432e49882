#include "sim/InstrumentModel.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace sim {

float MeasuredValue(const MeasuredParameter& parameter, double elapsedMs) {
    if (parameter.amplitude == 0.0f || parameter.periodMs <= 0) return parameter.base;
    const double phase = 2.0 * M_PI * elapsedMs / parameter.periodMs;
    return float(parameter.base + parameter.amplitude * std::sin(phase));
}

static void CheckParameterNumber(int p) {
    if (p < 1 || p > limits::kMaxParameters)
        throw std::out_of_range("parameter number must be 1..3");
}

InstrumentModel::InstrumentModel(InstrumentState initial) : FState(std::move(initial)) {}

InstrumentState InstrumentModel::Snapshot() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FState;
}

void InstrumentModel::Change(const std::function<void(InstrumentState&)>& change) {
    std::lock_guard<std::mutex> lock(FMutex);
    change(FState);
}

double InstrumentModel::ElapsedMs() const {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - FBorn)
        .count();
}

float InstrumentModel::ValueNow(int p) const {
    CheckParameterNumber(p);
    return MeasuredValue(Parameter(p), ElapsedMs());
}

Protocol InstrumentModel::SpokenProtocol() const {
    return Snapshot().protocol;
}
void InstrumentModel::SetProtocol(Protocol protocol) {
    Change([&](InstrumentState& s) { s.protocol = protocol; });
}
uint16_t InstrumentModel::Address() const {
    return Snapshot().address;
}
void InstrumentModel::SetAddress(uint16_t address) {
    Change([&](InstrumentState& s) { s.address = address; });
}
int InstrumentModel::ParameterCount() const {
    return Snapshot().parameterCount;
}
void InstrumentModel::SetParameterCount(int count) {
    if (count < 1 || count > limits::kMaxParameters)
        throw std::out_of_range("parameter count must be 1..3");
    Change([&](InstrumentState& s) { s.parameterCount = count; });
}

void InstrumentModel::SetParameterSetup(int p, float scale, uint8_t unitCode, uint8_t pointCode) {
    CheckParameterNumber(p);
    Change([&](InstrumentState& s) {
        MeasuredParameter& parameter = s.parameters[size_t(p - 1)];
        parameter.scale = scale;
        parameter.unitCode = unitCode;
        parameter.pointCode = pointCode;
    });
}

MeasuredParameter InstrumentModel::Parameter(int p) const {
    CheckParameterNumber(p);
    std::lock_guard<std::mutex> lock(FMutex);
    return FState.parameters[size_t(p - 1)];
}

void InstrumentModel::FreezeValue(int p, float value) {
    LetValueDrift(p, value, 0.0f, 10000);
}

void InstrumentModel::LetValueDrift(int p, float base, float amplitude, int periodMs) {
    CheckParameterNumber(p);
    Change([&](InstrumentState& s) {
        MeasuredParameter& parameter = s.parameters[size_t(p - 1)];
        parameter.base = base;
        parameter.amplitude = amplitude;
        parameter.periodMs = periodMs;
    });
}

void InstrumentModel::SetInfoText(const std::string& text) {
    Change([&](InstrumentState& s) {
        s.info.fill(0);
        std::memcpy(s.info.data(), text.data(), std::min(text.size(), s.info.size()));
    });
}

std::string InstrumentModel::InfoText() const {
    const InstrumentState state = Snapshot();
    size_t length = 0;
    while (length < state.info.size() && state.info[length] != 0) ++length;
    return std::string(reinterpret_cast<const char*>(state.info.data()), length);
}

void InstrumentModel::SetSerialLocked(bool locked) {
    Change([&](InstrumentState& s) { s.serialLocked = locked; });
}
void InstrumentModel::SetWriteProtected(bool on) {
    Change([&](InstrumentState& s) { s.writeProtected = on; });
}

void SetUpDemoPanel(InstrumentModel& model) {
    model.SetParameterSetup(1, 250.0f, 1, 2);
    model.LetValueDrift(1, 229.7f, 3.0f, 7000);
    model.SetParameterSetup(2, 5.0f, 2, 0);
    model.LetValueDrift(2, 1.48f, 0.2f, 5000);
    model.SetParameterSetup(3, 60.0f, 13, 1);
    model.LetValueDrift(3, 50.0f, 0.05f, 3000);
}

}  // namespace sim
