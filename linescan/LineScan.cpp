#include "linescan/LineScan.h"

#include <algorithm>
#include <tuple>

#include "protocol/Answers.h"
#include "protocol/Crc.h"
#include "protocol/Requests.h"

namespace linescan {

using protocol::Protocol;
using std::chrono::milliseconds;

namespace {

// Stray bytes kept to explain them: more than a window of answers means damage anyway.
constexpr size_t kLongestStray = 4096;

// Long waits are cut into slices this long, so that a stop is seen within one of them.
constexpr milliseconds kStopSlice{50};

size_t IndexOf(const std::vector<int32_t>& list, int32_t value) {
    return size_t(std::find(list.begin(), list.end(), value) - list.begin());
}

size_t IndexOf(const std::vector<Protocol>& list, Protocol value) {
    return size_t(std::find(list.begin(), list.end(), value) - list.begin());
}

bool Asks(Protocol protocol, uint16_t address) {
    return protocol != Protocol::Modbus || address <= protocol::HighestModbusAddress;
}

// The answer is whole: its full length, or a Modbus exception answer (shorter) that checks.
bool Complete(const protocol::RequestFrame& frame, const std::vector<uint8_t>& bytes) {
    if (bytes.size() >= frame.lengthIn) return true;
    return frame.modbus && bytes.size() >= size_t(protocol::ExceptionAnswerLength) &&
           protocol::CheckAnswer(frame, bytes.data(), int(bytes.size())).status ==
               protocol::AnswerStatus::Exception;
}

// A whole frame with a good check that is no answer to the request: an instrument speaking the
// other protocol answered it (a Modbus instrument refuses a QV frame as an unknown function),
// or a late answer from another address. Collided answers never check.
bool WholeForeignFrame(const std::vector<uint8_t>& bytes) {
    constexpr size_t kShortestFrame = 4;
    if (bytes.size() < kShortestFrame || bytes.size() > 0xFFFF) return false;
    const uint16_t crc = Crc16(bytes.data(), uint16_t(bytes.size() - 2));
    return bytes[bytes.size() - 2] == uint8_t(crc >> 8) && bytes.back() == uint8_t(crc & 0xFF);
}

}  // namespace

LineScan::LineScan(LinePort& port, ScanPlan plan) : FPort(port), FPlan(std::move(plan)) {}

bool LineScan::Stopping() const {
    return FStop || (stopRequested && stopRequested());
}

size_t LineScan::PlannedSteps() const {
    size_t steps = 0;
    for (Protocol p : FPlan.protocols)
        for (uint16_t address : FPlan.addresses) steps += Asks(p, address) ? 1 : 0;
    return steps * FPlan.bauds.size();
}

bool LineScan::Run() {
    FTotal = PlannedSteps();
    FDone = 0;
    FStarted = FPort.Now();
    for (int32_t baud : FPlan.bauds) {
        if (Stopping()) return false;
        FPort.SetSpeed(baud);
        for (Protocol p : FPlan.protocols)
            if (!ScanPass(baud, p)) return false;
    }
    return true;
}

std::vector<Finding> LineScan::Findings() const {
    std::vector<Finding> sorted = FFindings;
    auto key = [this](const Finding& f) {
        return std::make_tuple(IndexOf(FPlan.bauds, f.baud), f.address,
                               IndexOf(FPlan.protocols, f.protocol));
    };
    std::stable_sort(sorted.begin(), sorted.end(),
                     [&](const Finding& a, const Finding& b) { return key(a) < key(b); });
    return sorted;
}

bool LineScan::Known(int32_t baud, uint16_t address) const {
    return std::any_of(FFindings.begin(), FFindings.end(),
                       [&](const Finding& f) { return f.baud == baud && f.address == address; });
}

void LineScan::Record(Finding finding) {
    FFindings.push_back(finding);
    if (onFinding) onFinding(finding);
}

void LineScan::Report(const Pass& pass, uint16_t address) {
    if (!onProgress) return;
    ScanProgress progress;
    progress.baud = pass.baud;
    progress.address = address;
    progress.done = FDone;
    progress.total = FTotal;
    progress.found = FFindings.size() + pass.answered.size();
    const double elapsed = std::chrono::duration<double>(FPort.Now() - FStarted).count();
    const size_t left = FTotal - FDone;
    progress.secondsLeft =
        FDone ? elapsed / double(FDone) * double(left)
              : double(left) *
                    std::chrono::duration<double>(ShortWait(FPlan.timing, 8, 8, pass.baud)).count();
    onProgress(progress);
}

// One protocol at one speed. Another protocol's instruments have let go of its frames by the
// pause before it; an address already found at this speed (in another protocol) is not asked.
bool LineScan::ScanPass(int32_t baud, Protocol protocol) {
    Pass pass{baud, protocol, {}, {}, {}, {}};
    bool stopped = !Settle(pass);
    for (size_t i = 0; i < FPlan.addresses.size() && !stopped; ++i) {
        const uint16_t address = FPlan.addresses[i];
        if (!Asks(protocol, address)) continue;
        Report(pass, address);
        if (Known(baud, address)) {
            ++FDone;
            continue;
        }
        if (LateBytesQueued(pass) && !Recheck(pass, FPort.Now())) break;
        // An instrument of the other protocol at this address: the other pass finds it.
        const Heard heard = Ask(pass, address, false, protocol::Read(GetAdr));
        ++FDone;
        if (heard == Heard::Answer)
            pass.answered.push_back(address);
        else
            pass.unconfirmed.push_back({address, pass.lastSent});
        if (!pass.stray.empty() && !Recheck(pass, FPort.Now())) break;
        stopped = Stopping();
    }
    // The last addresses' answers may still be on their way.
    while (!Stopping() && !pass.unconfirmed.empty()) {
        if (!Collect(pass.stray, pass.lastSent + milliseconds(FPlan.timing.fullWaitMs) +
                                     2 * ShortWait(FPlan.timing, 8, 8, baud)))
            break;
        if (!Recheck(pass, FPort.Now())) break;
    }
    Identify(pass);
    return !Stopping();
}

// Something came that no prompt answer explains. Once the line has fallen silent, the addresses
// asked (with the short wait) within the full wait before it whose answers may be in it are
// asked again, each with the full wait; one damaged twice is a collision.
bool LineScan::Recheck(Pass& pass, Clock::time_point bytesCameAt) {
    ++FRechecks;
    const Clock::time_point windowStart = bytesCameAt - milliseconds(FPlan.timing.fullWaitMs) -
                                          2 * ShortWait(FPlan.timing, 8, 8, pass.baud);
    std::vector<uint16_t> window;
    for (const Asked& asked : pass.unconfirmed)
        if (asked.sent >= windowStart) window.push_back(asked.address);
    pass.unconfirmed.clear();
    if (!Drain(pass)) return false;
    const std::vector<uint16_t> again = AskAgain(pass, window);
    pass.stray.clear();
    for (uint16_t address : again) {
        if (Stopping()) return false;
        Heard heard = Ask(pass, address, true, protocol::Read(GetAdr));
        if (heard == Heard::Damage) heard = Ask(pass, address, true, protocol::Read(GetAdr));
        if (heard == Heard::Answer) pass.answered.push_back(address);
        if (heard == Heard::Damage)
            Record({Finding::Kind::Collision, address, pass.protocol, pass.baud, std::nullopt});
    }
    return !Stopping();
}

// Which addresses of `window` to ask again. Once the line is silent, the bytes that came hold
// every late answer to the window. When they are nothing but whole answers from its addresses
// (and refusals of the other protocol's instruments), only those addresses answered; anything
// else (a collision, damage, an answer from outside the window) and every address is asked.
std::vector<uint16_t> LineScan::AskAgain(const Pass& pass,
                                         const std::vector<uint16_t>& window) const {
    std::vector<uint16_t> answered;
    const std::vector<uint8_t>& bytes = pass.stray;
    size_t at = 0;
    while (at < bytes.size()) {
        size_t taken = 0;
        for (uint16_t address : window) {
            const protocol::RequestFrame frame =
                protocol::BuildRequest(protocol::Read(GetAdr), address, pass.protocol);
            const size_t length = std::min<size_t>(frame.lengthIn, bytes.size() - at);
            const auto status = protocol::CheckAnswer(frame, bytes.data() + at, int(length)).status;
            if (status == protocol::AnswerStatus::Ok ||
                status == protocol::AnswerStatus::Exception) {
                answered.push_back(address);
                taken = status == protocol::AnswerStatus::Ok ? frame.lengthIn
                                                             : protocol::ExceptionAnswerLength;
                break;
            }
            const std::vector<uint8_t> refusal(
                bytes.begin() + long(at),
                bytes.begin() + long(std::min(bytes.size(), at + protocol::ExceptionAnswerLength)));
            if (pass.protocol == Protocol::Qv && WholeForeignFrame(refusal) &&
                refusal[0] == uint8_t(address)) {
                taken = refusal.size();
                break;
            }
        }
        if (taken == 0) return window;
        at += taken;
    }
    return answered;
}

// Waits until every answer to what was sent has had the full wait to come, and drops it.
bool LineScan::Drain(Pass& pass) {
    const auto gap = ShortWait(FPlan.timing, 0, 0, pass.baud);
    Clock::time_point deadline = pass.lastSent + milliseconds(FPlan.timing.fullWaitMs) + gap;
    while (Collect(pass.stray, deadline)) {
        if (pass.stray.size() > kLongestStray) pass.stray.erase(pass.stray.begin());
        deadline = std::max(deadline, FPort.Now() + gap);
    }
    FPort.Discard();
    return !Stopping();
}

bool LineScan::Settle(Pass& pass) {
    std::vector<uint8_t> junk;
    const Clock::time_point deadline = FPort.Now() + milliseconds(FPlan.timing.passPauseMs);
    while (Collect(junk, deadline)) junk.clear();
    FPort.Discard();
    pass.lastSent = FPort.Now();
    return !Stopping();
}

// The serial number, year and number of parameters of each instrument found; an address
// whose identification comes back damaged twice has two instruments on it. Stopped, the
// instruments are kept without it.
void LineScan::Identify(Pass& pass) {
    std::sort(pass.answered.begin(), pass.answered.end());
    for (uint16_t address : pass.answered) {
        Finding finding{Finding::Kind::Instrument, address, pass.protocol, pass.baud, std::nullopt};
        if (!Stopping()) {
            protocol::Answer answer;
            Heard heard = Ask(pass, address, true, protocol::Read(GetYear), &answer);
            if (heard == Heard::Damage)
                heard = Ask(pass, address, true, protocol::Read(GetYear), &answer);
            if (heard == Heard::Damage) finding.kind = Finding::Kind::Collision;
            if (heard == Heard::Answer && answer.Ok())
                finding.identity =
                    protocol::DecodeSerialAndYear(answer.bytes.data(), answer.length);
        }
        Record(finding);
    }
    pass.answered.clear();
}

bool LineScan::Collect(std::vector<uint8_t>& into, Clock::time_point deadline) {
    for (;;) {
        if (Stopping()) return false;
        const Clock::time_point now = FPort.Now();
        if (now >= deadline) return false;
        if (FPort.Receive(into, std::min(deadline, now + kStopSlice))) return true;
    }
}

bool LineScan::LateBytesQueued(Pass& pass) {
    return FPort.Receive(pass.stray, FPort.Now());
}

// One request and its answer. The short wait keeps what is queued, so that late bytes are
// seen (as damage) rather than dropped; the full wait starts on a quiet line and ends, as
// every exchange does, at a silence of the full wait.
LineScan::Heard LineScan::Ask(Pass& pass, uint16_t address, bool fullWait,
                              const protocol::Request& request, protocol::Answer* taken) {
    const protocol::RequestFrame frame = protocol::BuildRequest(request, address, pass.protocol);
    if (fullWait) FPort.Discard();
    FPort.SendRequest(frame);
    pass.lastSent = FPort.Now();
    std::vector<uint8_t> bytes;
    if (fullWait) {
        const milliseconds silence(FPlan.timing.fullWaitMs);
        Clock::time_point deadline =
            pass.lastSent + WireTime(frame.bytes.size(), pass.baud) + silence;
        while (!Complete(frame, bytes) && Collect(bytes, deadline))
            deadline = FPort.Now() + silence;
    } else {
        const Clock::time_point deadline =
            pass.lastSent + ShortWait(FPlan.timing, frame.bytes.size(), frame.lengthIn, pass.baud);
        while (!Complete(frame, bytes) && Collect(bytes, deadline)) {
        }
    }
    if (bytes.empty()) return Heard::Silence;
    const protocol::Answer answer = protocol::TakeAnswer(frame, bytes.data(), int(bytes.size()));
    if (taken) *taken = answer;
    const auto status = answer.check.status;
    // A Modbus TCP gateway speaks for an address where nobody answered: that is silence.
    if (status == protocol::AnswerStatus::Exception &&
        protocol::IsGatewayNoAnswer(answer.check.exceptionCode))
        return Heard::Silence;
    if (status == protocol::AnswerStatus::Ok || status == protocol::AnswerStatus::Exception) {
        // Bytes read with the answer but after it are stray: a late answer right behind it.
        const size_t length = status == protocol::AnswerStatus::Ok
                                  ? frame.lengthIn
                                  : size_t(protocol::ExceptionAnswerLength);
        if (!fullWait && bytes.size() > length)
            pass.stray.insert(pass.stray.end(), bytes.begin() + long(length), bytes.end());
        return Heard::Answer;
    }
    if (WholeForeignFrame(bytes) && bytes[0] == uint8_t(address)) return Heard::Foreign;
    if (!fullWait) pass.stray.insert(pass.stray.end(), bytes.begin(), bytes.end());
    return Heard::Damage;
}

}  // namespace linescan
