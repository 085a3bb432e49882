// A line reached through the network: a TCP connection to a transparent serial server (the
// line's bytes as they are) or to a Modbus TCP gateway (MBAP frames, see ModbusTcpFraming.h).
// A non-blocking socket; a connection that ends fails reads and queue counts as an unplugged
// adapter does. The network waiter (NetworkWaiter, the EventWaiter of every network port)
// reports what reached the device's own queue, not what the socket holds: a Modbus TCP answer
// counts once its frame is whole.
//
// Sockets are POSIX here and Winsock on Windows; the few calls that differ sit in SocketApi.

// Ours first: <windows.h> turns the EV_*, CE_*, MS_* and escape names into macros.
#include "serial/ModbusTcpFraming.h"
#include "serial/ReadWait.h"
#include "serial/SerialBackend.h"
#include "serial/SerialBackendDevices.h"

#ifdef _WIN32
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <fcntl.h>
#include <linux/sockios.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <mutex>

namespace serial_backend {
namespace {

using Clock = std::chrono::steady_clock;

// ---- the calls that differ between POSIX and Winsock ---------------------------------------

namespace SocketApi {
#ifdef _WIN32
using Handle = SOCKET;
const Handle Invalid = INVALID_SOCKET;
using PollRecord = WSAPOLLFD;
constexpr int ConnectionReset = WSAECONNRESET;
constexpr int InvalidArgument = WSAEINVAL;
constexpr int TimedOutCode = WSAETIMEDOUT;
constexpr int SendFlags = 0;

int Error() {
    return WSAGetLastError();
}
void SetError(int code) {
    WSASetLastError(code);
}
bool Startup() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}
bool MakeNonBlocking(Handle s) {
    u_long on = 1;
    return ioctlsocket(s, FIONBIO, &on) == 0;
}
void Close(Handle s) {
    closesocket(s);
}
int Poll(PollRecord* records, int count, int timeoutMs) {
    return WSAPoll(records, ULONG(count), timeoutMs);
}
bool WouldBlock(int error) {
    return error == WSAEWOULDBLOCK;
}
bool ConnectPending(int error) {
    return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS;
}
bool Interrupted(int error) {
    return error == WSAEINTR;
}
int32_t OutQueue(Handle) {
    return 0;  // Winsock does not tell what it has not sent yet
}
// getaddrinfo's codes are WSA error codes, which the system's texts cover.
void SetLookupError(int rc) {
    WSASetLastError(rc);
}

// What the network waiter sleeps on: a stop event, and an event the socket signals when bytes
// come or the connection ends (WSAEventSelect). Winsock ties a socket to one such event at a
// time: one waiter watches a connection.
class Watch {
public:
    Watch() : FStopEvent(WSACreateEvent()), FSocketEvent(WSACreateEvent()) {}
    ~Watch() {
        if (FStopEvent != WSA_INVALID_EVENT) WSACloseEvent(FStopEvent);
        if (FSocketEvent != WSA_INVALID_EVENT) WSACloseEvent(FSocketEvent);
    }
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    bool Valid() const {
        return FStopEvent != WSA_INVALID_EVENT && FSocketEvent != WSA_INVALID_EVENT;
    }
    // FD_READ comes again only after a recv (the device's pump), FD_CLOSE once.
    bool Attach(Handle s) { return WSAEventSelect(s, FSocketEvent, FD_READ | FD_CLOSE) == 0; }
    void Detach(Handle s) { WSAEventSelect(s, nullptr, 0); }
    void Stop() {
        WSASetEvent(FStopEvent);  // manual reset: every later wait sees it
    }
    bool Stopped() const { return WaitForSingleObject(FStopEvent, 0) == WAIT_OBJECT_0; }
    // Until Stop() or, with `watchSocket`, news on the socket; false on a failure. The socket's
    // event is reset here, before the caller looks at the connection, so nothing that comes
    // after the look goes unsignalled.
    bool Await(Handle s, bool watchSocket) {
        const WSAEVENT events[2] = {FStopEvent, FSocketEvent};
        const DWORD r =
            WSAWaitForMultipleEvents(watchSocket ? 2 : 1, events, FALSE, WSA_INFINITE, FALSE);
        if (r == WSA_WAIT_EVENT_0 + 1) {
            WSANETWORKEVENTS news;
            if (WSAEnumNetworkEvents(s, FSocketEvent, &news) != 0) WSAResetEvent(FSocketEvent);
        }
        return r == WSA_WAIT_EVENT_0 || r == WSA_WAIT_EVENT_0 + 1;
    }

private:
    WSAEVENT FStopEvent;
    WSAEVENT FSocketEvent;
};

OpenStatus StatusOfConnectError(int error) {
    switch (error) {
        case WSAECONNREFUSED:
            return OpenStatus::Refused;
        case WSAENETUNREACH:
        case WSAEHOSTUNREACH:
        case WSAENETDOWN:
        case WSAEHOSTDOWN:
            return OpenStatus::Unreachable;
        case WSAETIMEDOUT:
            return OpenStatus::TimedOut;
        default:
            return OpenStatus::Failed;
    }
}
#else
using Handle = int;
const Handle Invalid = -1;
using PollRecord = pollfd;
constexpr int ConnectionReset = ECONNRESET;
constexpr int InvalidArgument = EINVAL;
constexpr int TimedOutCode = ETIMEDOUT;
constexpr int SendFlags = MSG_NOSIGNAL;  // a closed connection is an error, not a SIGPIPE

int Error() {
    return errno;
}
void SetError(int code) {
    errno = code;
}
bool Startup() {
    return true;
}
bool MakeNonBlocking(Handle s) {
    return fcntl(s, F_SETFL, fcntl(s, F_GETFL) | O_NONBLOCK) == 0 &&
           fcntl(s, F_SETFD, FD_CLOEXEC) == 0;
}
void Close(Handle s) {
    ::close(s);
}
int Poll(PollRecord* records, int count, int timeoutMs) {
    return ::poll(records, nfds_t(count), timeoutMs);
}
bool WouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}
bool ConnectPending(int error) {
    return error == EINPROGRESS;
}
bool Interrupted(int error) {
    return error == EINTR;
}
int32_t OutQueue(Handle s) {
    int queued = 0;
    return ioctl(s, SIOCOUTQ, &queued) == 0 ? queued : 0;
}
// The resolver's codes are no errno values: they are kept above HostLookupErrorBase.
void SetLookupError(int rc) {
    errno = rc == EAI_SYSTEM ? errno : HostLookupErrorBase + (rc < 0 ? -rc : rc);
}

// What the network waiter sleeps on: a stop event (an eventfd) and the socket itself, which
// poll() reports readable while it holds bytes or once the connection has ended.
class Watch {
public:
    Watch() : FStopFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~Watch() {
        if (FStopFd >= 0) ::close(FStopFd);
    }
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    bool Valid() const { return FStopFd >= 0; }
    bool Attach(Handle) { return true; }
    void Detach(Handle) {}
    void Stop() {
        const uint64_t one = 1;
        while (::write(FStopFd, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }
    bool Stopped() const {
        pollfd stop{FStopFd, POLLIN, 0};
        return ::poll(&stop, 1, 0) > 0;
    }
    // Until Stop() or, with `watchSocket`, news on the socket; false on a failure. Level-
    // triggered: the caller's look drains the socket before the next sleep.
    bool Await(Handle s, bool watchSocket) {
        pollfd records[2] = {{FStopFd, POLLIN, 0}, {s, POLLIN | POLLRDHUP, 0}};
        const int rc = ::poll(records, watchSocket ? 2 : 1, -1);
        return rc >= 0 || errno == EINTR;
    }

private:
    int FStopFd;
};

OpenStatus StatusOfConnectError(int error) {
    switch (error) {
        case ECONNREFUSED:
            return OpenStatus::Refused;
        case ENETUNREACH:
        case EHOSTUNREACH:
        case ENETDOWN:
        case EHOSTDOWN:
            return OpenStatus::Unreachable;
        case ETIMEDOUT:
            return OpenStatus::TimedOut;
        default:
            return OpenStatus::Failed;
    }
}
#endif
}  // namespace SocketApi

int MillisecondsUntil(Clock::time_point at) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(at - Clock::now()).count();
    if (left <= 0) return 0;
    return int(std::min<int64_t>(left + 1, INT_MAX));
}

// Waits for `events` on the socket; 1 ready, 0 timed out, -1 failed.
int WaitReady(SocketApi::Handle s, short events, int timeoutMs) {
    SocketApi::PollRecord record{};
    record.fd = s;
    record.events = events;
    for (;;) {
        const int rc = SocketApi::Poll(&record, 1, timeoutMs);
        if (rc < 0 && SocketApi::Interrupted(SocketApi::Error())) continue;
        if (rc < 0) return -1;
        return rc > 0 ? 1 : 0;
    }
}

// ---- connecting -----------------------------------------------------------------------------

// One attempt at one address within the deadline; the socket is connected on Ok.
OpenStatus ConnectOne(const addrinfo& address, Clock::time_point deadline,
                      SocketApi::Handle& connected, int& error) {
    const SocketApi::Handle s = socket(address.ai_family, address.ai_socktype, address.ai_protocol);
    if (s == SocketApi::Invalid) {
        error = SocketApi::Error();
        return OpenStatus::Failed;
    }
    OpenStatus status = OpenStatus::Ok;
    if (!SocketApi::MakeNonBlocking(s)) {
        error = SocketApi::Error();
        status = OpenStatus::Failed;
    } else if (connect(s, address.ai_addr, int(address.ai_addrlen)) != 0) {
        error = SocketApi::Error();
        if (!SocketApi::ConnectPending(error)) {
            status = SocketApi::StatusOfConnectError(error);
        } else {
            const int ready = WaitReady(s, POLLOUT, MillisecondsUntil(deadline));
            int soError = 0;
            socklen_t size = sizeof soError;
            if (ready == 0) {
                error = SocketApi::TimedOutCode;
                status = OpenStatus::TimedOut;
            } else if (ready < 0 || getsockopt(s, SOL_SOCKET, SO_ERROR,
                                               reinterpret_cast<char*>(&soError), &size) != 0) {
                error = SocketApi::Error();
                status = OpenStatus::Failed;
            } else if (soError != 0) {
                error = soError;
                status = SocketApi::StatusOfConnectError(soError);
            }
        }
    }
    if (status != OpenStatus::Ok) {
        SocketApi::Close(s);
        return status;
    }
    // Requests are small and wait for their answer: each goes out at once.
    const int on = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    connected = s;
    return OpenStatus::Ok;
}

// ---- the device -----------------------------------------------------------------------------

class TcpDevice final : public Device {
public:
    TcpDevice(SocketApi::Handle s, Transport transport) : FSocket(s), FTransport(transport) {
        if (transport == Transport::ModbusTcp)
            FFraming.reset(new MbapFraming);
        else
            FFraming.reset(new RawFraming);
    }
    ~TcpDevice() override { Close(); }

    bool Close() override {
        std::lock_guard<std::mutex> lock(FMutex);
        if (FSocket != SocketApi::Invalid) SocketApi::Close(FSocket);
        FSocket = SocketApi::Invalid;
        return true;
    }

    // The speed and framing of the line behind a server are the server's settings; they are
    // checked as a serial device would check them and kept.
    bool SetLineSettings(const LineSettings& settings) override {
        if (settings.baudRate <= 0 || settings.dataBits < 5 || settings.dataBits > 8) {
            SocketApi::SetError(SocketApi::InvalidArgument);
            return false;
        }
        return true;
    }
    bool SetQueueSizes(int32_t inSize, int32_t) override {
        std::lock_guard<std::mutex> lock(FMutex);
        FInQueueSize = inSize;
        return true;
    }
    bool SetTimeouts(const Timeouts& timeouts) override {
        std::lock_guard<std::mutex> lock(FMutex);
        FTimeouts = timeouts;
        return true;
    }
    bool Purge(uint32_t purgeFlags) override {
        if (!(purgeFlags & (PURGE_RXABORT | PURGE_RXCLEAR))) return Alive();
        std::lock_guard<std::mutex> lock(FMutex);
        Pump();
        FIn.clear();
        FFraming->Reset();
        return StillUsable();
    }
    bool QueueCounts(int32_t& inQueue, int32_t& outQueue, uint32_t& errors) override {
        if (!InQueueCount(inQueue, errors)) return false;
        outQueue = SocketApi::OutQueue(FSocket);
        return true;
    }
    bool InQueueCount(int32_t& inQueue, uint32_t& errors) override {
        std::lock_guard<std::mutex> lock(FMutex);
        Pump();
        if (!StillUsable()) return false;
        inQueue = int32_t(FIn.size());
        errors = 0;
        return true;
    }
    // No modem lines travel through the network.
    bool ModemStatus(uint32_t& status) override {
        status = 0;
        return true;
    }
    bool Escape(int code) override {
        if (code == SETDTR || code == CLRDTR || code == SETRTS || code == CLRRTS) return true;
        SocketApi::SetError(SocketApi::InvalidArgument);  // no break through a server
        return false;
    }
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;

    NativeHandleType NativeHandle() const override {
#ifdef _WIN32
        return reinterpret_cast<void*>(FSocket);
#else
        return FSocket;
#endif
    }
    int32_t InQueueSize() const override {
        std::lock_guard<std::mutex> lock(FMutex);
        return FInQueueSize;
    }

    Transport Kind() const override {
        return FTransport;
    }
    uint32_t NetworkAllowanceMs() const override {
        return FAllowanceMs;
    }
    void SetNetworkAllowanceMs(uint32_t ms) override {
        FAllowanceMs = ms;
    }
    bool NeedsFrameSilence() const override {
        return FTransport != Transport::ModbusTcp;
    }
    std::vector<TransportNote> TakeTransportNotes() override {
        std::lock_guard<std::mutex> lock(FMutex);
        return FFraming->TakeNotes();
    }
    int32_t LastTransactionId() override {
        std::lock_guard<std::mutex> lock(FMutex);
        const auto* mbap = dynamic_cast<const MbapFraming*>(FFraming.get());
        return mbap ? int32_t(mbap->LastTransaction()) : -1;
    }

    // For the network waiter: what the socket holds pulled in, then the device's side of it.
    struct Arrivals {
        uint64_t total = 0;  // bytes queued since the connection began
        int32_t queued = 0;  // bytes waiting to be read
        bool ended = false;  // the connection is over (or closed here)
        SocketApi::Handle socket = SocketApi::Invalid;
    };
    SocketApi::Handle Socket() const {
        std::lock_guard<std::mutex> lock(FMutex);
        return FSocket;
    }
    Arrivals Look() {
        std::lock_guard<std::mutex> lock(FMutex);
        Pump();
        Arrivals now;
        now.total = FArrived;
        now.queued = int32_t(FIn.size());
        now.ended = FEnded || FSocket == SocketApi::Invalid;
        now.socket = FSocket;
        return now;
    }

private:
    void Pump();
    bool StillUsable();
    bool Alive();
    int32_t TakeQueued(uint8_t* into, int32_t count);

    mutable std::mutex FMutex;  // guards everything below
    SocketApi::Handle FSocket;
    const Transport FTransport;
    std::unique_ptr<StreamFraming> FFraming;
    std::vector<uint8_t> FIn;  // the line's bytes received and not yet read
    uint64_t FArrived = 0;     // bytes ever put into FIn: the waiter tells new ones by it
    bool FEnded = false;       // the connection is over: FEndError says why
    int FEndError = 0;
    Timeouts FTimeouts;
    int32_t FInQueueSize = 2048;
    std::atomic<uint32_t> FAllowanceMs{DefaultNetworkAllowanceMs};
};

// Everything the socket holds goes through the framing into FIn. The end of the connection is
// remembered; the bytes that came before it are still handed out.
void TcpDevice::Pump() {
    if (FSocket == SocketApi::Invalid || FEnded) return;
    char chunk[4096];
    for (;;) {
        const auto n = recv(FSocket, chunk, int(sizeof chunk), 0);
        if (n > 0) {
            const size_t before = FIn.size();
            FFraming->Incoming(reinterpret_cast<uint8_t*>(chunk), size_t(n), FIn);
            FArrived += FIn.size() - before;
            continue;
        }
        const int error = n == 0 ? SocketApi::ConnectionReset : SocketApi::Error();
        if (n < 0 && SocketApi::Interrupted(error)) continue;
        if (n < 0 && SocketApi::WouldBlock(error)) return;
        FEnded = true;
        FEndError = error;
        return;
    }
}

// False (with the system's reason) once the connection has ended and nothing it brought is
// left to read.
bool TcpDevice::StillUsable() {
    if (FSocket == SocketApi::Invalid) {
        SocketApi::SetError(SocketApi::InvalidArgument);
        return false;
    }
    if (FEnded && FIn.empty()) {
        SocketApi::SetError(FEndError);
        return false;
    }
    return true;
}

bool TcpDevice::Alive() {
    std::lock_guard<std::mutex> lock(FMutex);
    Pump();
    return StillUsable();
}

int32_t TcpDevice::TakeQueued(uint8_t* into, int32_t count) {
    const int32_t n = std::min<int32_t>(count, int32_t(FIn.size()));
    std::copy(FIn.begin(), FIn.begin() + n, into);
    FIn.erase(FIn.begin(), FIn.begin() + n);
    return n;
}

// The COMMTIMEOUTS modes as the serial devices keep them: return at once, wait for the first
// byte only, or wait by interval and total.
int32_t TcpDevice::Read(void* buffer, int32_t count) {
    Timeouts t;
    {
        std::lock_guard<std::mutex> lock(FMutex);
        t = FTimeouts;
    }
    auto [immediate, firstByteOnly, useInterval, hasTotal, totalDeadline] = ReadWaitOf(t, count);
    auto* bytes = static_cast<uint8_t*>(buffer);
    int32_t done = 0;
    for (;;) {
        SocketApi::Handle s;
        {
            std::lock_guard<std::mutex> lock(FMutex);
            Pump();
            if (done == 0 && !StillUsable()) return -1;
            done += TakeQueued(bytes + done, count - done);
            if (FEnded) return done;  // nothing more comes
            s = FSocket;
        }
        if (done == count || immediate || (firstByteOnly && done > 0)) return done;
        int waitMs = hasTotal ? MillisecondsUntil(totalDeadline) : -1;
        if (useInterval && done > 0)
            waitMs = waitMs < 0 ? int(t.readInterval) : std::min(waitMs, int(t.readInterval));
        if (hasTotal && waitMs == 0) return done;
        const int ready = WaitReady(s, POLLIN, waitMs);
        if (ready < 0) return -1;
        if (ready == 0) return done;
    }
}

int32_t TcpDevice::Write(const void* buffer, int32_t count) {
    std::vector<uint8_t> stream;
    Timeouts t;
    SocketApi::Handle s;
    {
        std::lock_guard<std::mutex> lock(FMutex);
        if (!StillUsable()) return -1;
        if (!FFraming->Outgoing(static_cast<const uint8_t*>(buffer), size_t(count), stream)) {
            SocketApi::SetError(SocketApi::InvalidArgument);
            return -1;
        }
        t = FTimeouts;
        s = FSocket;
    }
    Clock::time_point deadline;
    const bool hasTotal =
        TotalDeadline(t.writeTotalMultiplier, t.writeTotalConstant, count, deadline);
    size_t sent = 0;
    while (sent < stream.size()) {
        const auto n = send(s, reinterpret_cast<const char*>(stream.data() + sent),
                            int(stream.size() - sent), SocketApi::SendFlags);
        if (n > 0) {
            sent += size_t(n);
            continue;
        }
        const int error = SocketApi::Error();
        if (SocketApi::Interrupted(error)) continue;
        if (!SocketApi::WouldBlock(error)) {
            std::lock_guard<std::mutex> lock(FMutex);
            FEnded = true;
            FEndError = error;
            SocketApi::SetError(error);
            return -1;
        }
        const int waitMs = hasTotal ? MillisecondsUntil(deadline) : -1;
        if (hasTotal && waitMs == 0) break;  // timed out: what went out is reported
        if (WaitReady(s, POLLOUT, waitMs) < 0) return -1;
    }
    // A frame is whole or not sent at all, as far as the line is concerned.
    if (sent == stream.size()) return count;
    return FTransport == Transport::RawTcp ? int32_t(sent) : 0;
}

// ---- the event waiter -----------------------------------------------------------------------

// EV_RXCHAR when bytes have reached the device's queue since the last report and wait there
// (brought in by this waiter's look or by a read, a queue count on another thread: the bytes
// are counted where they are queued, whoever pulled them from the socket); EV_ERR once when
// the connection ends, after which only Stop() ends a wait. EV_RX80FULL as a serial device
// has it; no modem lines, no break, no EV_TXEMPTY through a network.
class NetworkWaiter final : public LineWaiter {
public:
    explicit NetworkWaiter(TcpDevice& device) : FDevice(device) {
        const TcpDevice::Arrivals now = device.Look();
        FSeen = now.total;  // what came before the waiter is no news to it
        FSocket = now.socket;
        FAttached = FWatch.Valid() && !now.ended && FWatch.Attach(FSocket);
        FWatching = FAttached;
    }
    ~NetworkWaiter() override {
        if (FAttached && FDevice.Socket() == FSocket) FWatch.Detach(FSocket);
    }

    bool Valid() const override { return FAttached; }
    void SetMask(uint32_t eventMask) override { FMask = eventMask; }
    void Stop() override { FWatch.Stop(); }
    WaitResult Wait(uint32_t& mask) override;

private:
    uint32_t News();

    TcpDevice& FDevice;
    SocketApi::Watch FWatch;
    SocketApi::Handle FSocket = SocketApi::Invalid;
    bool FAttached = false;
    bool FWatching = false;  // until the end of the connection has been reported
    uint64_t FSeen = 0;
    bool FWasAbove80 = false;
    uint32_t FMask = 0;
};

uint32_t NetworkWaiter::News() {
    const TcpDevice::Arrivals now = FDevice.Look();
    uint32_t events = 0;
    if (now.total != FSeen && now.queued > 0) {
        events |= EV_RXCHAR;
        const int64_t size = FDevice.InQueueSize();
        const bool above80 = size > 0 && int64_t(now.queued) * 10 >= size * 8;
        if (above80 && !FWasAbove80) events |= EV_RX80FULL;
        FWasAbove80 = above80;
    }
    FSeen = now.total;
    if (now.ended) {
        events |= EV_ERR;  // reported once, so the owner learns the line is gone
        FWatching = false;
    }
    return events;
}

// Wakes without news (a piece of a Modbus TCP frame, bytes a read took meanwhile) are slept
// through: the caller sees only news or the stop.
WaitResult NetworkWaiter::Wait(uint32_t& mask) {
    if (!FAttached) {
        SocketApi::SetError(SocketApi::InvalidArgument);
        return WaitResult::Failed;
    }
    for (;;) {
        const uint32_t events = FWatching ? News() : 0;
        if (FWatch.Stopped()) return WaitResult::Stopped;  // the stop wins over news
        if (events) {
            mask = events & FMask;
            return mask ? WaitResult::Events : WaitResult::Skipped;
        }
        if (!FWatch.Await(FSocket, FWatching)) return WaitResult::Failed;
    }
}

}  // namespace

// Only TcpDevice reports a network transport.
std::unique_ptr<LineWaiter> MakeNetworkWaiter(Device& device) {
    return std::make_unique<NetworkWaiter>(static_cast<TcpDevice&>(device));
}

OpenStatus OpenNetworkDevice(const NetworkPortName& name, const OpenOptions& options,
                             std::unique_ptr<Device>& device) {
    if (!SocketApi::Startup()) return OpenStatus::Failed;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(name.port);
    const int rc = getaddrinfo(name.host.c_str(), service.c_str(), &hints, &found);
    if (rc != 0) {
        SocketApi::SetLookupError(rc);
        return OpenStatus::HostUnknown;
    }
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(std::max(1, options.connectTimeoutMs));
    OpenStatus status = OpenStatus::Failed;
    int error = 0;
    SocketApi::Handle connected = SocketApi::Invalid;
    // Every address the name has (IPv6 and IPv4), while time is left.
    for (const addrinfo* a = found; a && status != OpenStatus::Ok; a = a->ai_next) {
        if (a != found && Clock::now() >= deadline) break;
        status = ConnectOne(*a, deadline, connected, error);
    }
    freeaddrinfo(found);
    if (status != OpenStatus::Ok) {
        SocketApi::SetError(error);
        return status;
    }
    device.reset(new TcpDevice(connected, name.transport));
    return OpenStatus::Ok;
}

}  // namespace serial_backend
