// A line reached through the network: a TCP connection to a transparent serial server (the
// line's bytes as they are) or to a Modbus TCP gateway (MBAP frames, see ModbusTcpFraming.h).
// A non-blocking socket; the event waiter watches it as it watches a serial descriptor, and a
// connection that ends fails reads and queue counts as an unplugged adapter does.
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
            FFraming->Incoming(reinterpret_cast<uint8_t*>(chunk), size_t(n), FIn);
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

}  // namespace

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
