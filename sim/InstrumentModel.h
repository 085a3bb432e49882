#pragma once
// The instrument's state as the line sees it: measured parameters, configuration, protection
// flags and the protocol it currently speaks. The model reads back what was written and knows
// the instrument's own limits for each value.
//
// Thread-safety: every member function may be called from any thread. The server's reader
// thread changes the state while answering; tests change and inspect it at the same time.
// Change() runs a whole read-modify-write under the model's lock.
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace sim {

enum class Protocol { Qv, Modbus };

// Setpoint format word reported at register 1012: this value means signed 16-bit setpoints,
// any other value signed 8-bit ones.
constexpr uint16_t kSixteenBitSetpoints = 710;

struct MeasuredParameter {
    float scale = 100.0f;
    uint8_t unitCode = 1;   // 1..25
    uint8_t pointCode = 2;  // 0..3
    // The measured value: base + amplitude * sin(2 pi t / period), t since the model was made.
    // amplitude 0 freezes it at base.
    float base = 12.5f;
    float amplitude = 0.0f;
    int periodMs = 10000;
};

struct Relay {
    uint16_t mode = 0;        // 0..4
    int16_t delay = 0;        // signed 16-bit as the register holds it
    float hysteresis = 0.0f;  // IEEE single
};

struct IecSettings {  // IEC 60870-5-101 link settings, registers 2560..2563
    uint16_t commonAddressSize = 1;
    uint16_t objectAddressSize = 2;
    uint16_t causeSize = 1;
    uint16_t type = 9;
};

struct InstrumentState {
    Protocol protocol = Protocol::Modbus;
    uint16_t address = 1;    // QV: all 16 bits; Modbus: the low byte
    int parameterCount = 3;  // 1..3
    std::array<MeasuredParameter, 3> parameters{};
    uint16_t serialNumber = 42;
    uint8_t year = 24;  // two digits
    // Serial number and year cannot be changed: QV SetYear, SetNumberOfProduce and SetYearMB
    // answer result 10; Modbus writes to 1008/1010 answer exception 0x46.
    bool serialLocked = false;
    // Every write refused: Modbus exception 0x46, QV result byte 0x46. Search and switch work.
    bool writeProtected = false;
    uint8_t brightness = 1;          // 0..2
    std::array<uint8_t, 64> info{};  // one byte per character, Windows-1251
    uint16_t setpointFormat = kSixteenBitSetpoints;
    int16_t upperSetpoint = 100;
    int16_t lowerSetpoint = -100;
    uint8_t speedRs1 = 4;  // 1..8 for 1200..115200
    uint8_t speedRs2 = 4;
    IecSettings iec{};
    std::array<Relay, 2> relays{};
    uint16_t signallingMode = 0;  // 0..3
    uint8_t analogOutput = 0;     // 0 or 1, QV SetMode/GetMode only
};

// Limits the instrument enforces: writes outside them are refused (Modbus exception 3,
// QV result byte 3).
namespace limits {
constexpr int kMaxParameters = 3;
constexpr uint16_t kMaxQvAddress = 65000;
constexpr uint16_t kMaxModbusAddress = 247;
constexpr int kMaxSetpoint = 230;
}  // namespace limits

// The value of `parameter` after `elapsedMs` of running time.
float MeasuredValue(const MeasuredParameter& parameter, double elapsedMs);

class InstrumentModel {
public:
    explicit InstrumentModel(InstrumentState initial = {});

    // A consistent copy of the whole state.
    InstrumentState Snapshot() const;
    // Runs `change` on the state under the model's lock.
    void Change(const std::function<void(InstrumentState&)>& change);

    // The measured value of parameter p (1..3) now: live when its amplitude is not 0.
    float ValueNow(int p) const;
    // Running time of the model, which the live values follow.
    double ElapsedMs() const;

    // Shorthands for what tests set most often.
    Protocol SpokenProtocol() const;
    void SetProtocol(Protocol protocol);
    uint16_t Address() const;
    void SetAddress(uint16_t address);
    int ParameterCount() const;
    void SetParameterCount(int count);
    // Scale, unit code and point code of parameter p (1..3).
    void SetParameterSetup(int p, float scale, uint8_t unitCode, uint8_t pointCode);
    MeasuredParameter Parameter(int p) const;
    // Freezes parameter p at `value` (amplitude 0).
    void FreezeValue(int p, float value);
    // Lets parameter p drift as a slow sine around `base`.
    void LetValueDrift(int p, float base, float amplitude, int periodMs);
    // The first 64 bytes of `text`, padded with zero bytes.
    void SetInfoText(const std::string& text);
    std::string InfoText() const;  // up to the first zero byte
    void SetSerialLocked(bool locked);
    void SetWriteProtected(bool on);

private:
    mutable std::mutex FMutex;
    InstrumentState FState;
    const std::chrono::steady_clock::time_point FBorn = std::chrono::steady_clock::now();
};

// The demo panel: a voltage, a current and a frequency that move, so the digits show a live
// instrument (the program's --demo mode and the README's screenshots).
void SetUpDemoPanel(InstrumentModel& model);

}  // namespace sim
