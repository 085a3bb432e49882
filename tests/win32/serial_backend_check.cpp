// serial_backend_check: runs the serial backend through its calls against the virtual
// instrument (tessera-sim, Modbus RTU at address 1) on the port given, one line per check:
//   ok   <check>  <detail>     the call did what the component relies on
//   FAIL <check>  <detail>     it did not; the exit status is 1
//   skip <check>  <reason>     the device has no such function (a pseudo-terminal has no
//                              modem lines), with the system's own text; or Wine does not
//                              emulate it
//   note <what>   <value>      measured, not checked
// Given a network port (tcp://HOST:PORT, modbus-tcp://HOST:PORT) instead, the event waiter of
// that connection is checked against the virtual gateway started with --drop-after 2.
// Plain C++ on the backend's interface, so the same checks run natively and under Wine.
#include "protocol/Crc.h"
#include "serial/SerialBackend.h"

#ifdef _WIN32
#ifndef NOMINMAX  // MinGW's C++ library defines it already
#define NOMINMAX
#endif
#include <windows.h>  // after the backend's header, which defines the same names
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace serial_backend;

namespace {

using Clock = std::chrono::steady_clock;

// Generous: they bound a wait for something that happens within milliseconds.
constexpr auto kAnswerDeadline = std::chrono::seconds(5);
constexpr int kReadTimeoutMs = 300;

int failures = 0;

void Report(const char* status, const std::string& check, const std::string& detail) {
    std::printf("%-4s %-44s %s\n", status, check.c_str(), detail.c_str());
    std::fflush(stdout);
}

bool Check(const std::string& check, bool ok, const std::string& detail = std::string()) {
    Report(ok ? "ok" : "FAIL", check, detail);
    if (!ok) ++failures;
    return ok;
}

// For a backend call: on failure the detail is the system's reason.
bool CheckCall(const std::string& check, bool ok) {
    return Check(check, ok, ok ? std::string() : LastErrorText());
}

void Skip(const std::string& check, const std::string& reason) {
    Report("skip", check, reason);
}

std::string Hex(const uint8_t* bytes, size_t count) {
    std::string text;
    char cell[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(cell, sizeof cell, i ? " %02X" : "%02X", bytes[i]);
        text += cell;
    }
    return text;
}

std::string EventNames(uint32_t mask) {
    static const struct {
        uint32_t flag;
        const char* name;
    } names[] = {{EV_RXCHAR, "RXCHAR"}, {EV_TXEMPTY, "TXEMPTY"}, {EV_CTS, "CTS"},
                 {EV_DSR, "DSR"},       {EV_RLSD, "RLSD"},       {EV_BREAK, "BREAK"},
                 {EV_ERR, "ERR"},       {EV_RING, "RING"},       {EV_RX80FULL, "RX80FULL"}};
    std::string text;
    for (const auto& n : names)
        if (mask & n.flag) text += std::string(text.empty() ? "" : "|") + n.name;
    return text.empty() ? "none" : text;
}

long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Polls `done` until it holds or the deadline passes; the short pause only spares the CPU.
template <typename Condition>
bool PollUntil(Condition done, Clock::duration limit = kAnswerDeadline) {
    const Clock::time_point deadline = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Wine names itself through an export of its ntdll; Windows has no such function.
bool UnderWine() {
#ifdef _WIN32
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
    return false;
#endif
}

bool IsDevicePath(const std::string& port) {
    return !port.empty() && port[0] == '/';
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower((unsigned char)x) == std::tolower((unsigned char)y);
           });
}

std::string MissingPort(const std::string& port) {
    return IsDevicePath(port) ? "/dev/tessera-no-such-port" : "COM250";
}

// Modbus RTU: read one holding register (1000: the number of measured parameters).
std::vector<uint8_t> ReadParameterCountRequest(uint8_t address) {
    std::vector<uint8_t> frame = {address, 0x03, 0x03, 0xE8, 0x00, 0x01, 0x00, 0x00};
    StoreCrc(frame.data(), uint16_t(frame.size()));
    return frame;
}
constexpr int32_t kAnswerLength = 7;  // address, function, byte count, one register, CRC

// The stop event is manual-reset: a Stop before the wait still ends it.
void CheckStopBeforeWait(Device& device) {
    EventWaiter waiter(device);
    waiter.SetMask(EV_RXCHAR);
    waiter.Stop();
    uint32_t mask = 0;
    Check("stop before the wait ends the wait", waiter.Wait(mask) == WaitResult::Stopped);
}

int32_t InQueue(Device& device) {
    int32_t in = -1, out = -1;
    uint32_t errors = 0;
    return device.QueueCounts(in, out, errors) ? in : -1;
}

// The event thread's part: Wait in a loop, gathering what it reports, until stopped.
struct Watcher {
    explicit Watcher(Device& device) : waiter(device) {}
    EventWaiter waiter;
    std::atomic<uint32_t> seen{0};
    std::atomic<int> wakeUps{0};
    std::atomic<int> rxWakeUps{0};
    std::atomic<bool> finished{false};
    std::atomic<int> lastResult{-1};
    std::string failure;  // written by the thread before `finished`
    std::thread thread;

    void Start(uint32_t mask) {
        waiter.SetMask(mask);
        thread = std::thread([this] { Run(); });
    }
    void Run() {
        for (;;) {
            uint32_t mask = 0;
            const WaitResult r = waiter.Wait(mask);
            lastResult = int(r);
            if (r == WaitResult::Failed) failure = LastErrorText();
            if (r == WaitResult::Stopped || r == WaitResult::Failed) break;
            ++wakeUps;
            if (r == WaitResult::Events) {
                seen |= mask;
                if (mask & EV_RXCHAR) ++rxWakeUps;
            }
        }
        finished = true;
    }
};

class BackendCheck {
public:
    BackendCheck(std::string port, uint8_t address, int parameterCount)
        : FPort(std::move(port)), FAddress(address), FParameterCount(parameterCount) {}

    void Run() {
        CheckPortLists();
        CheckOpenFailures();
        if (!CheckCall("open " + FPort, Device::Open(FPort, FDevice) == OpenStatus::Ok)) return;
        CheckSecondOpen();
        CheckConfiguration();
        CheckImmediateRead();
        CheckStopBeforeWait(*FDevice);
        Watcher watcher(*FDevice);
        Check("event waiter created", watcher.waiter.Valid());
        watcher.Start(EV_RXCHAR | EV_TXEMPTY | EV_CTS | EV_DSR | EV_RLSD | EV_BREAK | EV_ERR |
                      EV_RING | EV_RX80FULL);
        CheckExchange(watcher);
        CheckPurge();
        CheckReadTimeouts();
        CheckLines();
        CheckWaiterStop(watcher);
        CheckClose();
    }

private:
    void CheckPortLists() {
        const bool listed = !IsDevicePath(FPort);  // a pseudo-terminal is no port of the system
        std::vector<std::string> names;
        const bool ok = ListSerialPorts(names);
        std::string all;
        for (const std::string& n : names) all += (all.empty() ? "" : " ") + n;
        const bool found = std::any_of(names.begin(), names.end(),
                                       [&](const std::string& n) { return SameName(n, FPort); });
        Check("port list", ok && (!listed || found), ok ? "[" + all + "]" : LastErrorText());

#ifdef _WIN32
        // The registry's list with SetupAPI's names; elsewhere the list comes from /sys and
        // a pseudo-terminal is not in it.
        std::vector<PortInfo> ports;
        const bool detailsOk = ListPortDetails(ports);
        std::string described;
        bool detailFound = false;
        for (const PortInfo& p : ports) {
            described += (described.empty() ? "" : ", ") + p.name +
                         (p.description.empty() ? "" : " (" + p.description + ")");
            detailFound = detailFound || SameName(p.name, FPort);
        }
        Check("port details", detailsOk && (!listed || detailFound),
              detailsOk ? "[" + described + "]" : LastErrorText());
#endif
    }

    void CheckOpenFailures() {
        std::unique_ptr<Device> missing;
        const OpenStatus status = Device::Open(MissingPort(FPort), missing);
        const int code = LastErrorCode();
        const std::string reason = LastErrorText();
        Check("missing port reported as missing", status == OpenStatus::NotFound && !missing,
              reason);
        // What the component keeps of a failure: the code, whose text is the system's.
        Check("system's error code and text kept",
              code != 0 && LastErrorCode() == code && ErrorText(code) == reason && !reason.empty(),
              std::to_string(code) + ": " + reason);
    }

    void CheckSecondOpen() {
        std::unique_ptr<Device> second;
        const OpenStatus status = Device::Open(FPort, second);
        if (status == OpenStatus::Ok && UnderWine()) {
            Skip("second open refused as busy", "Wine lets a device be opened twice");
            return;
        }
        Check("second open refused as busy", status == OpenStatus::Busy && !second,
              status == OpenStatus::Ok ? "opened twice" : LastErrorText());
    }

    void CheckConfiguration() {
        LineSettings line;  // 9600 8N1
        CheckCall("line settings 9600 8N1", FDevice->SetLineSettings(line));
        LineSettings impossible;
        impossible.dataBits = 8;
        impossible.stopBits = StopBits::OneAndHalf;
        Check("1.5 stop bits with 8 data bits refused", !FDevice->SetLineSettings(impossible));
        CheckCall("line settings 9600 8N1 again", FDevice->SetLineSettings(line));
        CheckCall("queue sizes 2048/2048", FDevice->SetQueueSizes(2048, 2048));
        CheckCall("timeouts: reads return at once", FDevice->SetTimeouts(Timeouts()));
        const bool purged =
            FDevice->Purge(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
        int32_t in = -1, out = -1;
        uint32_t errors = 0;
        const bool counted = FDevice->QueueCounts(in, out, errors);
        Check("purge all, queues empty", purged && counted && in == 0 && out == 0,
              "in " + std::to_string(in) + ", out " + std::to_string(out) + ", errors " +
                  std::to_string(errors));
    }

    void CheckImmediateRead() {
        uint8_t buffer[16];
        const Clock::time_point start = Clock::now();
        const int32_t n = FDevice->Read(buffer, sizeof buffer);
        const long long ms = MillisecondsSince(start);
        Check("read with nothing queued returns 0 at once", n == 0 && ms < 2000,
              std::to_string(n) + " bytes after " + std::to_string(ms) + " ms");
    }

    bool SendRequest(const char* check) {
        const std::vector<uint8_t> request = ReadParameterCountRequest(FAddress);
        const int32_t n = FDevice->Write(request.data(), int32_t(request.size()));
        return Check(check, n == int32_t(request.size()),
                     Hex(request.data(), request.size()) + " -> " + std::to_string(n));
    }

    bool AwaitAnswerQueued(const char* check) {
        const Clock::time_point start = Clock::now();
        const bool arrived = PollUntil([&] { return InQueue(*FDevice) >= kAnswerLength; });
        return Check(check, arrived,
                     std::to_string(InQueue(*FDevice)) + " bytes queued after " +
                         std::to_string(MillisecondsSince(start)) + " ms");
    }

    void CheckAnswer(const uint8_t* answer, int32_t n) {
        const bool shaped =
            n == kAnswerLength && answer[0] == FAddress && answer[1] == 0x03 && answer[2] == 2;
        Check("answer frame and CRC", shaped && Crc16(answer, uint16_t(n)) == 0, Hex(answer, n));
        const int value = n >= 5 ? answer[3] << 8 | answer[4] : -1;
        Check("answer value: parameter count", value == FParameterCount,
              std::to_string(value) + ", expected " + std::to_string(FParameterCount));
    }

    // Windows reports EV_RXCHAR once per arrival; Wine, as long as bytes sit unread. Noted,
    // not checked: the count depends on Wine's polling.
    void NoteRepeatedRxEvents(Watcher& watcher) {
        const int before = watcher.rxWakeUps;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        Report("note", "EV_RXCHAR wake-ups, answer unread 200 ms",
               std::to_string(watcher.rxWakeUps - before));
    }

    void CheckExchange(Watcher& watcher) {
        if (!SendRequest("write request")) return;
        if (!AwaitAnswerQueued("answer queued (ClearCommError count)")) return;
        const bool reported = PollUntil([&] { return (watcher.seen & EV_RXCHAR) != 0; });
        Check("event waiter reported EV_RXCHAR", reported,
              "events so far: " + EventNames(watcher.seen));
        NoteRepeatedRxEvents(watcher);
        uint8_t answer[64];
        const int32_t n = FDevice->Read(answer, InQueue(*FDevice));
        CheckAnswer(answer, n);
        Check("input queue empty after the read", InQueue(*FDevice) == 0);
    }

    void CheckPurge() {
        if (!SendRequest("write request again")) return;
        if (!AwaitAnswerQueued("second answer queued")) return;
        const bool purged = FDevice->Purge(PURGE_RXCLEAR);
        const int32_t left = InQueue(*FDevice);
        Check("purge of the input queue drops the answer", purged && left == 0,
              std::to_string(left) + " bytes left");
    }

    void CheckReadTimeouts() {
        Timeouts waiting;
        waiting.readInterval = 0;
        waiting.readTotalConstant = kReadTimeoutMs;
        CheckCall("timeouts: total read constant 300 ms", FDevice->SetTimeouts(waiting));
        uint8_t buffer[kAnswerLength];
        Clock::time_point start = Clock::now();
        int32_t n = FDevice->Read(buffer, kAnswerLength);
        long long ms = MillisecondsSince(start);
        // Lower bound a little under the constant: timers may round either way.
        Check("read with nothing coming ends at the timeout",
              n == 0 && ms >= kReadTimeoutMs - 50 && ms < 5000,
              std::to_string(n) + " bytes after " + std::to_string(ms) + " ms" +
                  (n < 0 ? ": " + LastErrorText() : ""));

        waiting.readTotalConstant = 5000;
        FDevice->SetTimeouts(waiting);
        if (SendRequest("write request for a waiting read")) {
            start = Clock::now();
            n = FDevice->Read(buffer, kAnswerLength);
            ms = MillisecondsSince(start);
            Check("read waits for the whole answer", n == kAnswerLength,
                  std::to_string(n) + " bytes after " + std::to_string(ms) + " ms");
            if (n > 0) CheckAnswer(buffer, n);
        }
        CheckCall("timeouts: back to reads that return at once", FDevice->SetTimeouts(Timeouts()));
    }

    // A pseudo-terminal has no modem lines and no break: what the system refuses is reported
    // as a skip with its reason, what it accepts must work.
    void CheckLines() {
        uint32_t status = 0;
        if (FDevice->ModemStatus(status))
            Check("modem status", true, "MS_* bits " + Hex(reinterpret_cast<uint8_t*>(&status), 1));
        else
            Skip("modem status", LastErrorText());
        const struct {
            int code;
            const char* name;
        } escapes[] = {{SETDTR, "SETDTR"}, {CLRDTR, "CLRDTR"},     {SETRTS, "SETRTS"},
                       {CLRRTS, "CLRRTS"}, {SETBREAK, "SETBREAK"}, {CLRBREAK, "CLRBREAK"}};
        for (const auto& e : escapes) {
            if (FDevice->Escape(e.code))
                Check(std::string("escape ") + e.name, true);
            else
                Skip(std::string("escape ") + e.name, LastErrorText());
        }
        Check("unknown escape code refused", !FDevice->Escape(77));
    }

    void CheckWaiterStop(Watcher& watcher) {
        watcher.waiter.Stop();
        const bool ended = PollUntil([&] { return watcher.finished.load(); });
        Check("stop ends the event wait", ended && watcher.lastResult == int(WaitResult::Stopped),
              "wake-ups " + std::to_string(watcher.wakeUps) + " (with RXCHAR " +
                  std::to_string(watcher.rxWakeUps) + "), events seen: " +
                  EventNames(watcher.seen) + (ended ? " " + watcher.failure : ""));
        if (ended) {
            watcher.thread.join();
        } else {
            // A thread stuck in the wait cannot be joined; end here rather than hang.
            std::printf("FAIL: the event thread did not end\n");
            std::fflush(stdout);
            std::_Exit(1);
        }
    }

    void CheckClose() {
        CheckCall("close", FDevice->Close());
        FDevice.reset();
        std::unique_ptr<Device> again;
        CheckCall("open again after close", Device::Open(FPort, again) == OpenStatus::Ok);
        if (again) CheckCall("close again", again->Close());
    }

    std::string FPort;
    uint8_t FAddress;
    int FParameterCount;
    std::unique_ptr<Device> FDevice;
};

// One Wait on a thread of its own, as the port's event thread waits.
class BackgroundWait {
public:
    explicit BackgroundWait(EventWaiter& waiter)
        : FWaiter(waiter), FResult(std::async(std::launch::async, [this] {
              const WaitResult r = FWaiter.Wait(FMask);
              FEnd = Clock::now();
              return r;
          })) {}
    // A waiter that never returns, not even after a Stop(), cannot be joined: the check ends
    // here rather than hang.
    ~BackgroundWait() {
        if (FResult.valid() && !Ended(kAnswerDeadline)) {
            FWaiter.Stop();
            if (!Ended(kAnswerDeadline)) {
                std::printf("FAIL: the event wait did not end\n");
                std::fflush(stdout);
                std::_Exit(1);
            }
        }
    }

    bool Ended(Clock::duration limit) {
        return FResult.wait_for(limit) == std::future_status::ready;
    }
    // Waits for the result up to `limit`, stopping the waiter if it has not returned by then.
    WaitResult Result(Clock::duration limit, bool& inTime) {
        inTime = Ended(limit);
        if (!inTime) FWaiter.Stop();
        if (!Ended(kAnswerDeadline)) {
            std::printf("FAIL: the event wait did not end after a stop\n");
            std::fflush(stdout);
            std::_Exit(1);
        }
        return FResult.get();
    }
    // Once the wait has ended.
    uint32_t Mask() const { return FMask; }
    std::string EndedAfter(Clock::time_point start) const {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(FEnd - start);
        return std::to_string(ms.count()) + " ms";
    }

private:
    EventWaiter& FWaiter;
    uint32_t FMask = 0;
    Clock::time_point FEnd;
    std::future<WaitResult> FResult;
};

const char* ResultName(WaitResult r) {
    switch (r) {
        case WaitResult::Events:
            return "Events";
        case WaitResult::Skipped:
            return "Skipped";
        case WaitResult::Stopped:
            return "Stopped";
        case WaitResult::Failed:
            return "Failed";
    }
    return "?";
}

std::string Outcome(WaitResult r, uint32_t mask) {
    return std::string(ResultName(r)) + (r == WaitResult::Events ? " " + EventNames(mask) : "");
}

constexpr auto kQuietSpell = std::chrono::milliseconds(300);

// A wait with nothing to report must still be waiting after a quiet spell (which also lets it
// fall asleep before the check goes on).
bool CheckStillWaiting(const char* check, BackgroundWait& wait) {
    const Clock::time_point start = Clock::now();
    const bool blocked = !wait.Ended(kQuietSpell);
    return Check(
        check, blocked,
        blocked ? "still waiting after 300 ms" : "returned after " + wait.EndedAfter(start));
}

// The event waiter of a network port, through the virtual gateway that closes each connection
// at its third request (tessera-sim --tcp/--modbus-tcp ... --drop-after 2): an answer wakes a
// wait, also one already pulled into the device's queue; nothing coming, only a stop ends it;
// the connection's end wakes it once and fails the calls after. A Modbus TCP device queues
// whole frames only, so there a wake finds the whole answer.
class NetworkCheck {
public:
    NetworkCheck(std::string port, uint8_t address, int parameterCount)
        : FPort(std::move(port)), FAddress(address), FParameterCount(parameterCount) {
        NetworkPortName name;
        ParseNetworkPortName(FPort, name);
        FWholeFrames = name.transport == Transport::ModbusTcp;
    }

    void Run() {
        if (!CheckCall("open " + FPort, Device::Open(FPort, FDevice) == OpenStatus::Ok)) return;
        CheckCall("timeouts: reads return at once", FDevice->SetTimeouts(Timeouts()));
        CheckStopBeforeWait(*FDevice);
        {
            EventWaiter waiter(*FDevice);
            Check("event waiter created", waiter.Valid());
            waiter.SetMask(EV_RXCHAR | EV_ERR);
            if (!CheckAnswerWakes(waiter)) return;
            if (!CheckQueuedAnswerReported(waiter)) return;
            CheckStopWithNothingComing(waiter);
        }
        CheckConnectionEnd();
        CheckCall("close", FDevice->Close());
    }

private:
    bool SendRequest(const char* check) {
        const std::vector<uint8_t> request = ReadParameterCountRequest(FAddress);
        const int32_t n = FDevice->Write(request.data(), int32_t(request.size()));
        return Check(check, n == int32_t(request.size()),
                     Hex(request.data(), request.size()) + " -> " + std::to_string(n));
    }

    // With a total read time-out: a transparent server may bring the answer in pieces.
    void ReadAnswer(const char* check) {
        Timeouts waiting;
        waiting.readInterval = 0;
        waiting.readTotalConstant = 5000;
        FDevice->SetTimeouts(waiting);
        uint8_t answer[kAnswerLength + 8];
        const int32_t n = FDevice->Read(answer, kAnswerLength);
        FDevice->SetTimeouts(Timeouts());
        const bool shaped = n == kAnswerLength && answer[0] == FAddress && answer[1] == 0x03 &&
                            answer[2] == 2 && Crc16(answer, uint16_t(n)) == 0;
        const int value = n >= 5 ? answer[3] << 8 | answer[4] : -1;
        Check(check, shaped && value == FParameterCount,
              n < 0 ? LastErrorText() : Hex(answer, size_t(n)));
        Check("input queue empty after the read", InQueue(*FDevice) == 0);
    }

    // Request 1: the wait is asleep when the answer comes.
    bool CheckAnswerWakes(EventWaiter& waiter) {
        BackgroundWait wait(waiter);
        if (!CheckStillWaiting("nothing sent: the wait blocks", wait)) return false;
        const Clock::time_point sent = Clock::now();
        if (!SendRequest("write request")) return false;
        bool inTime = false;
        const WaitResult r = wait.Result(kAnswerDeadline, inTime);
        const int32_t queued = InQueue(*FDevice);
        const bool woke =
            Check("answer wakes the wait with EV_RXCHAR",
                  inTime && r == WaitResult::Events && (wait.Mask() & EV_RXCHAR),
                  Outcome(r, wait.Mask()) + " " + wait.EndedAfter(sent) + " after the request, " +
                      std::to_string(queued) + " bytes queued");
        if (FWholeFrames)
            Check("the wake finds the whole answer queued", queued == kAnswerLength,
                  std::to_string(queued) + " bytes");
        else
            Check("the wake finds bytes queued", queued > 0, std::to_string(queued) + " bytes");
        ReadAnswer("answer read whole");
        return woke;
    }

    // Request 2: the answer is in the device's queue (a queue count pulled it from the socket)
    // before the wait begins; the wait reports it at once.
    bool CheckQueuedAnswerReported(EventWaiter& waiter) {
        if (!SendRequest("write request again")) return false;
        const bool arrived = PollUntil([&] { return InQueue(*FDevice) >= kAnswerLength; });
        Check("answer queued before the wait", arrived,
              std::to_string(InQueue(*FDevice)) + " bytes queued");
        const Clock::time_point start = Clock::now();
        BackgroundWait wait(waiter);
        bool inTime = false;
        const WaitResult r = wait.Result(kAnswerDeadline, inTime);
        const bool reported =
            Check("queued answer reported with EV_RXCHAR",
                  inTime && r == WaitResult::Events && (wait.Mask() & EV_RXCHAR),
                  Outcome(r, wait.Mask()) + " " + wait.EndedAfter(start) + " after the wait began");
        ReadAnswer("second answer read whole");
        return reported;
    }

    // Everything read and reported: the next wait blocks until stopped from another thread.
    void CheckStopWithNothingComing(EventWaiter& waiter) {
        BackgroundWait wait(waiter);
        CheckStillWaiting("nothing coming: the wait blocks", wait);
        const Clock::time_point stopped = Clock::now();
        waiter.Stop();
        bool inTime = false;
        const WaitResult r = wait.Result(kAnswerDeadline, inTime);
        Check("stop from another thread ends the wait", inTime && r == WaitResult::Stopped,
              Outcome(r, wait.Mask()) + " " + wait.EndedAfter(stopped) + " after the stop");
    }

    // Request 3: the gateway closes the connection instead of answering.
    void CheckConnectionEnd() {
        EventWaiter waiter(*FDevice);
        waiter.SetMask(EV_RXCHAR | EV_ERR);
        {
            BackgroundWait wait(waiter);
            if (!CheckStillWaiting("new waiter: the wait blocks", wait)) return;
            const Clock::time_point sent = Clock::now();
            if (!SendRequest("write request the gateway drops")) return;
            bool inTime = false;
            const WaitResult r = wait.Result(kAnswerDeadline, inTime);
            Check("connection end wakes the wait with EV_ERR",
                  inTime && r == WaitResult::Events && wait.Mask() == EV_ERR,
                  Outcome(r, wait.Mask()) + " " + wait.EndedAfter(sent) + " after the request");
        }
        int32_t in = -1;
        uint32_t errors = 0;
        const bool counted = FDevice->InQueueCount(in, errors);
        Check("queue count fails after the end", !counted,
              counted ? std::to_string(in) + " bytes" : LastErrorText());
        uint8_t byte = 0;
        const int32_t n = FDevice->Read(&byte, 1);
        Check("read fails after the end", n < 0, n < 0 ? LastErrorText() : std::to_string(n));
        // The end is reported once: the next wait sleeps (no spinning on a dead socket).
        BackgroundWait after(waiter);
        CheckStillWaiting("after the end the wait blocks", after);
        waiter.Stop();
        bool inTime = false;
        const WaitResult r = after.Result(kAnswerDeadline, inTime);
        Check("stop ends the wait after the end", inTime && r == WaitResult::Stopped,
              Outcome(r, after.Mask()));
    }

    std::string FPort;
    uint8_t FAddress;
    int FParameterCount;
    bool FWholeFrames = false;
    std::unique_ptr<Device> FDevice;
};

void PrintUsage() {
    std::fprintf(stderr,
                 "usage: serial_backend_check PORT [--address N] [--params K]\n"
                 "  PORT        COM5 on Windows, a device path such as /dev/pts/3 elsewhere;\n"
                 "              or tcp://HOST:PORT, modbus-tcp://HOST:PORT: the virtual\n"
                 "              gateway started with --drop-after 2\n"
                 "  --address   the instrument's Modbus address (default 1)\n"
                 "  --params    the number of measured parameters it has (default 3)\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argv[1][0] == '-') {
        PrintUsage();
        return 2;
    }
    long address = 1, params = 3;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--address")
            address = std::strtol(argv[i + 1], nullptr, 10);
        else if (name == "--params")
            params = std::strtol(argv[i + 1], nullptr, 10);
        else
            return PrintUsage(), 2;
    }
    if (argc % 2 != 0 || address < 1 || address > 247 || params < 1 || params > 3) {
        PrintUsage();
        return 2;
    }
    if (IsNetworkPortName(argv[1]))
        NetworkCheck(argv[1], uint8_t(address), int(params)).Run();
    else
        BackendCheck(argv[1], uint8_t(address), int(params)).Run();
    std::printf("%s: %d check(s) failed\n", failures ? "FAIL" : "ok", failures);
    return failures ? 1 : 0;
}
