#pragma once
// serial_backend: the operating system's side of TSerialPort, one implementation file per
// platform (SerialBackendPosix.cpp, SerialBackendWin32.cpp). The interface speaks the Win32
// communications vocabulary (EV_*, CE_*, MS_*, PURGE_*, escape codes, COMMTIMEOUTS with
// MAXDWORD), which the component's properties and events use too, so the component itself
// never sees an OS call.
//
// No Qt here: only the C++ standard library and the OS.
//
// Device: one open serial device. Opened and closed on the owner's (main) thread; Read,
// Write, QueueCounts, InQueueCount and Purge may be called from any thread while it is open.
// EventWaiter: the blocking wait for line events; Wait() runs on the port's event thread,
// Stop() on any thread.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// <windows.h> defines the Win32 names below as macros of the same values.
#if defined(_WIN32) && defined(EV_RXCHAR)
#error "include serial/SerialBackend.h before <windows.h>"
#endif

namespace serial_backend {

constexpr uint32_t MaxDword = 0xFFFFFFFFu;

// Line events (EV_*).
constexpr uint32_t EV_RXCHAR = 0x0001;
constexpr uint32_t EV_TXEMPTY = 0x0004;
constexpr uint32_t EV_CTS = 0x0008;
constexpr uint32_t EV_DSR = 0x0010;
constexpr uint32_t EV_RLSD = 0x0020;
constexpr uint32_t EV_BREAK = 0x0040;
constexpr uint32_t EV_ERR = 0x0080;
constexpr uint32_t EV_RING = 0x0100;
constexpr uint32_t EV_RX80FULL = 0x0400;

// Line errors (CE_*).
constexpr uint32_t CE_RXOVER = 0x0001;
constexpr uint32_t CE_OVERRUN = 0x0002;
constexpr uint32_t CE_RXPARITY = 0x0004;
constexpr uint32_t CE_FRAME = 0x0008;
constexpr uint32_t CE_BREAK = 0x0010;
constexpr uint32_t CE_TXFULL = 0x0100;
constexpr uint32_t CE_IOE = 0x0400;
constexpr uint32_t CE_MODE = 0x8000;

// Modem status (MS_*).
constexpr uint32_t MS_CTS_ON = 0x0010;
constexpr uint32_t MS_DSR_ON = 0x0020;
constexpr uint32_t MS_RING_ON = 0x0040;
constexpr uint32_t MS_RLSD_ON = 0x0080;

// Purge flags (PURGE_*).
constexpr uint32_t PURGE_TXABORT = 0x0001;
constexpr uint32_t PURGE_RXABORT = 0x0002;
constexpr uint32_t PURGE_TXCLEAR = 0x0004;
constexpr uint32_t PURGE_RXCLEAR = 0x0008;

// Escape codes (EscapeCommFunction).
constexpr int SETRTS = 3;
constexpr int CLRRTS = 4;
constexpr int SETDTR = 5;
constexpr int CLRDTR = 6;
constexpr int SETBREAK = 8;
constexpr int CLRBREAK = 9;

// Parity and stop-bit codes as the Win32 DCB has them.
enum class Parity : uint8_t { None, Odd, Even, Mark, Space };
enum class StopBits : uint8_t { One, OneAndHalf, Two };

struct LineSettings {
    int32_t baudRate = 9600;  // bits per second; <= 0 is refused
    int dataBits = 8;         // 5..8
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;
};

// COMMTIMEOUTS, milliseconds; MaxDword where the component passes a negative value.
struct Timeouts {
    uint32_t readInterval = MaxDword;
    uint32_t readTotalMultiplier = 0;
    uint32_t readTotalConstant = 0;
    uint32_t writeTotalMultiplier = 100;
    uint32_t writeTotalConstant = 1000;
};

// NotSerial: the path opened but is no terminal (a regular file, /dev/null, a FIFO, a folder).
enum class OpenStatus { Ok, NotFound, Busy, NoPermission, NotSerial, Failed };

#ifndef _WIN32
// The driver's line counters (TIOCGICOUNT) as last read. A device without them (a
// pseudo-terminal) says so once and is not asked again.
struct DriverCounters {
    static constexpr int Count = 9;  // cts, dsr, ring, dcd, frame, overrun, parity, break, buffer
    uint32_t values[Count] = {};
    bool known = false;        // `values` hold a reading
    bool unsupported = false;  // the device has no such counters
};
#endif

class Device {
public:
    ~Device();  // closes the device if still open
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // Opens `path` for exclusive use; on success `device` holds it.
    static OpenStatus Open(const std::string& path, std::unique_ptr<Device>& device);
    // Undoes Open step by step (settings restored, lock dropped); false if the OS reported
    // a failure, the device is released all the same.
    bool Close();

    bool SetLineSettings(const LineSettings& settings);
    bool SetQueueSizes(int32_t inSize, int32_t outSize);
    bool SetTimeouts(const Timeouts& timeouts);
    bool Purge(uint32_t purgeFlags);
    // ClearCommError: queued byte counts and the CE_* flags gathered since the last call.
    bool QueueCounts(int32_t& inQueue, int32_t& outQueue, uint32_t& errors);
    // The same for the input queue alone, with as few calls to the system as the OS allows.
    bool InQueueCount(int32_t& inQueue, uint32_t& errors);
    bool ModemStatus(uint32_t& status);
    bool Escape(int code);
    // Both return the byte count, or -1 on failure; they block at most as the timeouts say.
    int32_t Read(void* buffer, int32_t count);
    int32_t Write(const void* buffer, int32_t count);

#ifdef _WIN32
    using NativeHandleType = void*;  // HANDLE
    NativeHandleType NativeHandle() const {
        return FHandle;
    }
#else
    using NativeHandleType = int;
    NativeHandleType NativeHandle() const {
        return FFd;
    }
#endif
    int32_t InQueueSize() const;

private:
    Device() = default;
#ifdef _WIN32
    bool ReadsReturnAtOnce() const;
    // INVALID_HANDLE_VALUE while closed; the DCB and COMMTIMEOUTS found on open are put back
    // on close.
    void* FHandle = reinterpret_cast<void*>(intptr_t(-1));
    bool FSettingsSaved = false;
    std::vector<unsigned char> FSavedSettings;
    mutable std::mutex FMutex;  // guards the two below
    Timeouts FTimeouts;         // as last set on the device
    int32_t FInQueueSize = 2048;
#else
    Timeouts CurrentTimeouts() const;
    uint32_t TakeLineErrors();

    int FFd = -1;
    bool FLocked = false;
    bool FExclusive = false;
    bool FSettingsSaved = false;
    std::vector<unsigned char> FSavedSettings;  // the terminal's settings found on open
    mutable std::mutex FMutex;                  // guards the fields below
    Timeouts FTimeouts;
    int32_t FInQueueSize = 2048;
    DriverCounters FErrorCounters;  // at the last QueueCounts or InQueueCount
#endif
};

enum class WaitResult { Events, Skipped, Stopped, Failed };

class EventWaiter {
public:
    explicit EventWaiter(Device& device);
    ~EventWaiter();
    EventWaiter(const EventWaiter&) = delete;
    EventWaiter& operator=(const EventWaiter&) = delete;

    bool Valid() const;
    void SetMask(uint32_t eventMask);  // SetCommMask
    // WaitCommEvent: blocks until something new happens on the line or Stop() is called
    // (Stop wins when both are ready). On Events, `mask` holds the EV_* flags.
    WaitResult Wait(uint32_t& mask);
    void Stop();

private:
    struct State;
    std::unique_ptr<State> FState;
};

// The system's code for the latest failure of a call above on this thread: errno, or
// GetLastError() on Windows.
int LastErrorCode();
// The system's text for such a code, UTF-8: strerror, or FormatMessageW on Windows.
std::string ErrorText(int code);
// ErrorText(LastErrorCode()), for messages that keep the system's reason; the code is kept.
std::string LastErrorText();

// Names of the serial ports present (without any directory), unsorted; false if the
// system's list cannot be read.
bool ListSerialPorts(std::vector<std::string>& names);

// One serial port as an engineer recognises it.
struct PortInfo {
    std::string name;         // kernel name without directory ("ttyUSB0"; "COM3" on Windows)
    std::string path;         // what Open takes ("/dev/ttyUSB0"; "COM3")
    std::string stablePath;   // a name that survives replugging (/dev/serial/by-id/...), or empty
    std::string description;  // adapter's vendor and model where the system knows them, or empty
};

// The serial ports present with what the system knows of them, sorted by name; false if the
// system's list cannot be read. `root` prefixes every system path read ("" on a real system),
// so that tests can use a fake /sys and /dev tree; Windows reads the registry and ignores it.
bool ListPortDetails(std::vector<PortInfo>& ports, const std::string& root = std::string());

}  // namespace serial_backend
