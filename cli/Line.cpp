#include "cli/Line.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "cli/Errors.h"
#include "cli/Platform.h"
#include "protocol/Answers.h"

namespace cli {

namespace {

std::string OpenFailure(serial_backend::OpenStatus status, const std::string& path) {
    using serial_backend::OpenStatus;
    if (serial_backend::IsNetworkPortName(path)) {
        const std::string reason = serial_backend::LastErrorText();
        std::string text = "cannot connect to " + path + ": ";
        text += status == OpenStatus::Failed ? "the connection failed"
                                             : serial_backend::NetworkFailureText(status);
        if (status != OpenStatus::BadName && !reason.empty())
            text += " (the system says: " + reason + ")";
        return text;
    }
    switch (status) {
        case OpenStatus::NotFound:
            return "cannot open " + path + ": no such port";
        case OpenStatus::Busy:
            return "cannot open " + path + ": the port is busy (another program has it)";
        case OpenStatus::NoPermission:
            return "cannot open " + path +
                   ": permission denied (the user must be allowed to use serial ports, e.g. be in "
                   "the dialout group)";
        default:
            return "cannot open " + path + ": the port refused to open";
    }
}

}  // namespace

Line::Line(const std::string& port, int32_t baud, int silenceMs, bool traceFrames,
           int networkAllowanceMs)
    : FPort(serial_backend::IsNetworkPortName(port) ? port : PortPath(port)),
      FSilenceMs(silenceMs),
      FTrace(traceFrames) {
    const serial_backend::OpenStatus status = serial_backend::Device::Open(FPort, FDevice);
    if (status != serial_backend::OpenStatus::Ok)
        throw CliError(ExitPort, OpenFailure(status, FPort));
    // Answers through the network come later and in pieces: every wait is that much longer.
    if (FDevice->Kind() != serial_backend::Transport::Serial) {
        FNetworkAllowanceMs = networkAllowanceMs;
        FSilenceMs += networkAllowanceMs;
    }
    // Reads return at once with what is queued; the silence is timed here (Exchange), so the
    // wait behaves the same on every system (Wine, for one, does not time the "first byte"
    // read mode on a pseudo-terminal).
    serial_backend::Timeouts timeouts;
    timeouts.readInterval = serial_backend::MaxDword;
    timeouts.readTotalMultiplier = 0;
    timeouts.readTotalConstant = 0;
    if (!FDevice->SetTimeouts(timeouts))
        throw CliError(ExitPort, "cannot set the time-outs of " + FPort);
    SetBaud(baud);
    // A line without modem control lines (a USB adapter without them, a pseudo-terminal)
    // works all the same.
    FDevice->Escape(serial_backend::SETDTR);
    FDevice->Escape(serial_backend::SETRTS);
}

Line::~Line() {
    if (FDevice) FDevice->Close();
}

bool Line::CarriesNetwork() const {
    return FDevice->Kind() != serial_backend::Transport::Serial;
}

bool Line::CarriesModbusOnly() const {
    return FDevice->Kind() == serial_backend::Transport::ModbusTcp;
}

// The system's reason is read first: the message is built after it.
void Line::Fail(const std::string& what) const {
    const std::string reason = serial_backend::LastErrorText();
    throw CliError(ExitPort, what + " " + FPort + (reason.empty() ? "" : ": " + reason));
}

// A gateway's frames that were no answer to our request are dropped, not silently.
void Line::ReportDropped() const {
    for (const serial_backend::TransportNote& note : FDevice->TakeTransportNotes())
        std::fprintf(stderr, "tessera-cli: %s\n",
                     serial_backend::DescribeTransportNote(note).c_str());
}

void Line::SetBaud(int32_t baud) {
    serial_backend::LineSettings settings;
    settings.baudRate = baud;
    settings.parity = FParity;
    settings.stopBits = FStopBits;
    if (!FDevice->SetLineSettings(settings))
        throw CliError(ExitPort, "cannot set " + std::to_string(baud) + " baud on " + FPort);
    FBaud = baud;
}

void Line::SetFraming(serial_backend::Parity parity, serial_backend::StopBits stopBits) {
    FParity = parity;
    FStopBits = stopBits;
    SetBaud(FBaud);
}

bool Line::Complete(const protocol::RequestFrame& request,
                    const std::vector<uint8_t>& bytes) const {
    if (bytes.size() >= request.lengthIn) return true;
    // A Modbus exception answer is shorter than the answer awaited; no need to wait for the
    // silence once it is whole.
    return request.modbus && bytes.size() >= size_t(protocol::ExceptionAnswerLength) &&
           protocol::CheckAnswer(request, bytes.data(), int(bytes.size())).status ==
               protocol::AnswerStatus::Exception;
}

std::vector<uint8_t> Line::Exchange(const protocol::RequestFrame& request) {
    using namespace serial_backend;
    if (!FDevice->Purge(PURGE_RXCLEAR) || !FDevice->Purge(PURGE_TXCLEAR))
        Fail(CarriesNetwork() ? "lost the connection to" : "cannot clear the queues of");
    FDevice->TakeTransportNotes();  // what the purge dropped was no answer to this request
    Trace(">", request.bytes);
    const int32_t size = int32_t(request.bytes.size());
    if (FDevice->Write(request.bytes.data(), size) != size)
        Fail(CarriesNetwork() ? "lost the connection to" : "cannot write to");
    std::vector<uint8_t> answer;
    uint8_t chunk[protocol::FrameBufferSize];
    // Every piece of an answer restarts the silence time-out.
    auto silenceEnds = std::chrono::steady_clock::now() + std::chrono::milliseconds(FSilenceMs);
    while (!Complete(request, answer) && answer.size() < 4 * sizeof chunk) {
        const int32_t n = FDevice->Read(chunk, int32_t(sizeof chunk));
        if (n < 0) {
            ReportDropped();
            Fail(CarriesNetwork() ? "lost the connection to" : "cannot read from");
        }
        if (n > 0) {
            answer.insert(answer.end(), chunk, chunk + n);
            silenceEnds = std::chrono::steady_clock::now() + std::chrono::milliseconds(FSilenceMs);
            continue;
        }
        if (std::chrono::steady_clock::now() >= silenceEnds) break;  // the line stayed silent
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ReportDropped();
    Trace("<", answer);
    return answer;
}

void Line::Discard() {
    if (!FDevice->Purge(serial_backend::PURGE_RXCLEAR))
        throw CliError(ExitPort, "cannot clear the queues of " + FPort);
}

void Line::Send(const std::vector<uint8_t>& frame) {
    Trace(">", frame);
    const int32_t size = int32_t(frame.size());
    if (FDevice->Write(frame.data(), size) != size)
        throw CliError(ExitPort, "cannot write to " + FPort);
}

// Reads return at once with what is queued (see the constructor): the wait is timed here.
bool Line::Receive(std::vector<uint8_t>& into, linescan::Clock::time_point deadline) {
    uint8_t chunk[protocol::FrameBufferSize];
    for (;;) {
        const int32_t n = FDevice->Read(chunk, int32_t(sizeof chunk));
        if (n < 0) throw CliError(ExitPort, "cannot read from " + FPort);
        if (n > 0) {
            Trace("<", std::vector<uint8_t>(chunk, chunk + n));
            into.insert(into.end(), chunk, chunk + n);
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void Line::Trace(const char* direction, const std::vector<uint8_t>& bytes) const {
    if (!FTrace) return;
    std::string text = direction;
    char hex[4];
    for (uint8_t b : bytes) {
        std::snprintf(hex, sizeof hex, " %02X", b);
        text += hex;
    }
    if (bytes.empty()) text += " (silence)";
    std::fprintf(stderr, "%s\n", text.c_str());
}

}  // namespace cli
