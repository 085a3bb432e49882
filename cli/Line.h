#pragma once
// The serial line as tessera-cli uses it: one request at a time, the answer awaited with the
// silence rule (the wait restarts with every byte; an answer may come in pieces).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "linescan/LinePort.h"
#include "protocol/Limits.h"
#include "protocol/ModbusFrames.h"
#include "serial/SerialBackend.h"

namespace cli {

// It is also the line the scan runs over (LinePort).
class Line : public linescan::LinePort {
public:
    // Opens the port (a path, a name under /dev, COMn, or a network port tcp://HOST:PORT or
    // modbus-tcp://HOST:PORT) at `baud`, 8N1, DTR and RTS raised. Throws CliError(ExitPort)
    // saying why it cannot be opened. Through the network every wait for an answer is
    // `networkAllowanceMs` longer.
    Line(const std::string& port, int32_t baud, int silenceMs, bool traceFrames,
         int networkAllowanceMs = int(serial_backend::DefaultNetworkAllowanceMs));
    ~Line() override;

    void SetBaud(int32_t baud);  // throws CliError(ExitPort)
    // Parity and stop bits from now on (8N1 until then); throws CliError(ExitPort).
    void SetFraming(serial_backend::Parity parity, serial_backend::StopBits stopBits);
    int32_t Baud() const { return FBaud; }
    const std::string& Port() const { return FPort; }
    // A network port; a Modbus TCP gateway, which carries Modbus frames only.
    bool CarriesNetwork() const;
    bool CarriesModbusOnly() const;
    // How much later answers come through the network than on a wire; 0 on a serial port.
    int NetworkAllowanceMs() const { return FNetworkAllowanceMs; }

    // Sends `request` and returns what came back before the line fell silent for the silence
    // time-out, or before the expected answer (or a Modbus exception answer) was complete.
    std::vector<uint8_t> Exchange(const protocol::RequestFrame& request);

    // The scan's line. They throw CliError(ExitPort) when the port fails.
    void SetSpeed(int32_t baud) override { SetBaud(baud); }
    void Discard() override;
    void Send(const std::vector<uint8_t>& frame) override;
    bool Receive(std::vector<uint8_t>& into, linescan::Clock::time_point deadline) override;
    linescan::Clock::time_point Now() const override { return linescan::Clock::now(); }

private:
    bool Complete(const protocol::RequestFrame& request, const std::vector<uint8_t>& bytes) const;
    void Trace(const char* direction, const std::vector<uint8_t>& bytes) const;
    void ReportDropped() const;
    [[noreturn]] void Fail(const std::string& what) const;

    std::unique_ptr<serial_backend::Device> FDevice;
    std::string FPort;
    int32_t FBaud = 0;
    serial_backend::Parity FParity = serial_backend::Parity::None;
    serial_backend::StopBits FStopBits = serial_backend::StopBits::One;
    int FSilenceMs = protocol::AnswerTimeoutMs;  // the network allowance included
    int FNetworkAllowanceMs = 0;
    bool FTrace = false;
};

}  // namespace cli
