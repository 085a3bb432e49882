#pragma once
// serial_backend: the operating system's side of TSerialPort, one implementation file per
// platform (SerialBackendPosix.cpp, SerialBackendWin32.cpp). The interface speaks the Win32
// communications vocabulary (EV_*, CE_*, MS_*, PURGE_*, escape codes, COMMTIMEOUTS with
// MAXDWORD), which the component's properties and events use too, so the component itself
// never sees an OS call.
//
// No Qt here: only the C++ standard library and the OS.
//
// Device: one open line (a serial device, or a network port that carries one).
// EventWaiter: the blocking wait for line events; Wait() runs on the port's event thread,
// Stop() on any thread. A serial device is watched by its platform's waiter, a network port by
// the network waiter (SerialBackendTcp.cpp), on every platform alike.
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
// The rest are a network port's: BadName (not tcp://HOST:PORT or modbus-tcp://HOST:PORT),
// HostUnknown (the name does not resolve), Refused (nothing listens there), Unreachable (no
// route to the host), TimedOut (no answer to the connection within the time-out).
enum class OpenStatus {
    Ok,
    NotFound,
    Busy,
    NoPermission,
    NotSerial,
    Failed,
    BadName,
    HostUnknown,
    Refused,
    Unreachable,
    TimedOut
};

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

// How the line reaches us: a serial device of this computer, the raw line bytes through a
// transparent serial server (tcp://), or Modbus frames through a Modbus TCP gateway
// (modbus-tcp://, MBAP header instead of address and CRC).
enum class Transport { Serial, RawTcp, ModbusTcp };

// What a Modbus TCP device dropped instead of handing it on as an answer.
struct TransportNote {
    enum class Kind {
        WrongTransaction,  // an answer to another request (`value`: its id, `expected`: ours)
        WrongUnit,         // an answer from another unit (`value`: its unit id)
        BadHeader,         // protocol id not 0 or a length no frame has: the stream is garbage
        BadLength,         // the header's length disagrees with the Modbus PDU it carries
        Unexpected         // an answer while no request was awaiting one
    };
    Kind kind;
    uint32_t value = 0;
    uint32_t expected = 0;
    size_t bytes = 0;  // bytes dropped
};

struct OpenOptions {
    int connectTimeoutMs = 3000;  // a network port's connection attempt
};

constexpr uint32_t DefaultNetworkAllowanceMs = 200;

// One open line. Opened and closed on the owner's (main) thread; Read, Write, QueueCounts,
// InQueueCount and Purge may be called from any thread while it is open. One implementation
// per platform for serial devices, one per network transport.
class Device {
public:
    virtual ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // Opens `path` for exclusive use; on success `device` holds it. The name chooses the
    // transport: tcp://HOST:PORT and modbus-tcp://HOST:PORT connect to a network port (within
    // options.connectTimeoutMs), anything else is a serial device of this system. After a
    // failure LastErrorCode() holds the system's reason.
    static OpenStatus Open(const std::string& path, std::unique_ptr<Device>& device,
                           const OpenOptions& options = OpenOptions());
    // Undoes Open step by step (settings restored, lock dropped); false if the OS reported
    // a failure, the device is released all the same.
    virtual bool Close() = 0;

    virtual bool SetLineSettings(const LineSettings& settings) = 0;
    virtual bool SetQueueSizes(int32_t inSize, int32_t outSize) = 0;
    virtual bool SetTimeouts(const Timeouts& timeouts) = 0;
    virtual bool Purge(uint32_t purgeFlags) = 0;
    // ClearCommError: queued byte counts and the CE_* flags gathered since the last call.
    virtual bool QueueCounts(int32_t& inQueue, int32_t& outQueue, uint32_t& errors) = 0;
    // The same for the input queue alone, with as few calls to the system as the OS allows.
    virtual bool InQueueCount(int32_t& inQueue, uint32_t& errors) = 0;
    virtual bool ModemStatus(uint32_t& status) = 0;
    virtual bool Escape(int code) = 0;
    // Both return the byte count, or -1 on failure; they block at most as the timeouts say.
    virtual int32_t Read(void* buffer, int32_t count) = 0;
    virtual int32_t Write(const void* buffer, int32_t count) = 0;

#ifdef _WIN32
    using NativeHandleType = void*;  // HANDLE (a SOCKET for a network port)
#else
    using NativeHandleType = int;
#endif
    // What the event waiter watches: the device's descriptor, or the connection's socket.
    virtual NativeHandleType NativeHandle() const = 0;
    virtual int32_t InQueueSize() const = 0;

    // ---- the transport, for the exchange's timing --------------------------------------
    virtual Transport Kind() const {
        return Transport::Serial;
    }
    // Extra time an answer may take on its way through the network, added to the answer wait;
    // 0 for a serial device.
    virtual uint32_t NetworkAllowanceMs() const {
        return 0;
    }
    virtual void SetNetworkAllowanceMs(uint32_t ms) {
        (void)ms;
    }
    // False where frames arrive whole (Modbus TCP): the silence between Modbus RTU frames
    // is then not needed.
    virtual bool NeedsFrameSilence() const {
        return true;
    }
    // What was dropped on the way since the last call (Modbus TCP only).
    virtual std::vector<TransportNote> TakeTransportNotes() {
        return {};
    }
    // Modbus TCP: the transaction id of the request last sent (its answer carries the same);
    // -1 for the other transports.
    virtual int32_t LastTransactionId() {
        return -1;
    }

protected:
    Device() = default;
};

// The parts of a network port name: tcp://HOST:PORT or modbus-tcp://HOST:PORT (an IPv6 host in
// brackets). True when the name is well formed; `transport` tells a network name (even a bad
// one) from a serial port's name (Serial).
struct NetworkPortName {
    Transport transport = Transport::Serial;
    std::string host;
    uint16_t port = 0;
};
bool ParseNetworkPortName(const std::string& name, NetworkPortName& parsed);
inline bool IsNetworkPortName(const std::string& name) {
    NetworkPortName parsed;
    ParseNetworkPortName(name, parsed);
    return parsed.transport != Transport::Serial;
}
// A name the user reads: "unknown host", "connection refused"... for the network statuses,
// "" for the others.
const char* NetworkFailureText(OpenStatus status);
// One dropped frame in plain words.
std::string DescribeTransportNote(const TransportNote& note);

enum class WaitResult { Events, Skipped, Stopped, Failed };

class LineWaiter;  // the waiter of the device's transport (SerialBackendDevices.h)

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
    std::unique_ptr<LineWaiter> FWaiter;
};

// The system's code for the latest failure of a call above on this thread: errno, or
// GetLastError() on Windows. On POSIX a failed host name lookup leaves
// HostLookupErrorBase + |EAI_*| instead, which ErrorText turns into the resolver's text.
constexpr int HostLookupErrorBase = 100000;
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
