#include "ui/UpdateNet.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>
#ifndef _WIN32  // the reachability test of Windows is in UpdateNetWin32.cpp
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#endif

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultPingTimeoutMs = 5000;
constexpr int kDefaultFetchTimeoutMs = 30000;
constexpr int kDefaultDownloadTimeoutMs = 900000;
constexpr int kDefaultTransferTimeoutMs = 15000;
constexpr uint16_t kFallbackTcpPort = 443;
const char kAgentName[] = "Tessera_RS-485 update check";

int EnvMilliseconds(const char* name, int fallback) {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

// ---------- reachability ----------
#ifndef _WIN32

// Closes a socket descriptor on every way out.
class SocketHandle {
public:
    explicit SocketHandle(int fd) : FFd(fd) {}
    ~SocketHandle() {
        if (FFd >= 0) ::close(FFd);
    }
    SocketHandle(const SocketHandle&) = delete;
    SocketHandle& operator=(const SocketHandle&) = delete;
    int Fd() const { return FFd; }
    bool Valid() const { return FFd >= 0; }

private:
    int FFd;
};

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

// Waits for `events` on the descriptor until the deadline; false on time-out or error.
bool PollUntil(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, MillisecondsLeft(deadline));
        if (ready > 0) return true;
        if (ready == 0) return false;
        if (errno != EINTR) return false;
    }
}

uint16_t InternetChecksum(const uint8_t* bytes, size_t size) {
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < size; i += 2) sum += uint32_t(bytes[i] << 8 | bytes[i + 1]);
    if (size % 2) sum += uint32_t(bytes[size - 1] << 8);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return uint16_t(~sum);
}

constexpr uint8_t kEchoRequest = 8;
constexpr uint8_t kEchoReply = 0;
constexpr size_t kEchoHeaderSize = 8;

struct EchoSocket {
    int fd = -1;
    bool raw = false;  // a raw socket also delivers the IP header and everyone's ICMP traffic
};

// An unprivileged ICMP datagram socket where net.ipv4.ping_group_range admits this process,
// else a raw one (root or CAP_NET_RAW); -1 when neither is allowed.
EchoSocket OpenEchoSocket() {
    EchoSocket echo;
    echo.fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (echo.fd >= 0) return echo;
    echo.fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    echo.raw = echo.fd >= 0;
    return echo;
}

bool SendEcho(const EchoSocket& echo, const sockaddr_in& target, uint16_t id, uint16_t sequence) {
    uint8_t packet[kEchoHeaderSize] = {
        kEchoRequest,     0, 0, 0, uint8_t(id >> 8), uint8_t(id), uint8_t(sequence >> 8),
        uint8_t(sequence)};
    const uint16_t checksum = InternetChecksum(packet, sizeof packet);
    packet[2] = uint8_t(checksum >> 8);
    packet[3] = uint8_t(checksum);
    for (;;) {
        const ssize_t sent = ::sendto(echo.fd, packet, sizeof packet, 0,
                                      reinterpret_cast<const sockaddr*>(&target), sizeof target);
        if (sent == ssize_t(sizeof packet)) return true;
        if (sent < 0 && errno == EINTR) continue;
        return false;
    }
}

// A datagram socket gets only its own replies (the kernel picks the id); a raw one sees every
// ICMP packet, including our own request on the loopback, so it filters by type, source and id.
bool IsOurReply(const EchoSocket& echo, const uint8_t* data, size_t size, const sockaddr_in& from,
                const sockaddr_in& target, uint16_t id, uint16_t sequence) {
    size_t offset = 0;
    if (echo.raw) {
        if (size < 20) return false;
        offset = size_t(data[0] & 0x0F) * 4;
        if (from.sin_addr.s_addr != target.sin_addr.s_addr) return false;
    }
    if (size < offset + kEchoHeaderSize) return false;
    const uint8_t* icmp = data + offset;
    if (icmp[0] != kEchoReply) return false;
    if (uint16_t(icmp[6] << 8 | icmp[7]) != sequence) return false;
    return !echo.raw || uint16_t(icmp[4] << 8 | icmp[5]) == id;
}

bool AwaitEchoReply(const EchoSocket& echo, const sockaddr_in& target, uint16_t id,
                    uint16_t sequence, Clock::time_point deadline) {
    // An echo reply without data fits easily in 128 bytes (IP header, ICMP header).
    uint8_t reply[128];
    while (PollUntil(echo.fd, POLLIN, deadline)) {
        sockaddr_in from{};
        socklen_t fromSize = sizeof from;
        const ssize_t got = ::recvfrom(echo.fd, reply, sizeof reply, MSG_DONTWAIT,
                                       reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return false;
        }
        if (IsOurReply(echo, reply, size_t(got), from, target, id, sequence)) return true;
    }
    return false;
}

bool TcpConnects(const sockaddr_in& target, int timeoutMs) {
    SocketHandle tcp(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!tcp.Valid()) return false;
    sockaddr_in address = target;
    address.sin_port = htons(kFallbackTcpPort);
    if (::connect(tcp.Fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return true;
    if (errno != EINPROGRESS) return false;
    if (!PollUntil(tcp.Fd(), POLLOUT, Clock::now() + std::chrono::milliseconds(timeoutMs)))
        return false;
    int error = 0;
    socklen_t errorSize = sizeof error;
    return ::getsockopt(tcp.Fd(), SOL_SOCKET, SO_ERROR, &error, &errorSize) == 0 && error == 0;
}
#endif

// ---------- HTTP ----------

struct TransferLimits {
    int totalMs;
    int idleMs;
    qint64 maxBytes;
};

struct TransferOutcome {
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    int httpStatus = 0;
    QByteArray contentLength;  // the header as sent; empty when there was none
    qint64 received = 0;
    bool stopped = false;  // by a limit, a refused redirection or the sink
};

// The system's proxy settings (http_proxy, no_proxy), never for the local machine.
class SystemProxies : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override {
        if (QHostAddress(query.peerHostName()).isLoopback() ||
            query.peerHostName() == QLatin1String("localhost"))
            return {QNetworkProxy(QNetworkProxy::NoProxy)};
        return systemProxyForQuery(query);
    }
};

QUrl ToUrl(const QString& address) {
    QUrl url(address.trimmed());
    if (url.scheme().isEmpty()) url = QUrl(QStringLiteral("https://") + address.trimmed());
    return url;
}

qint64 AnnouncedLength(QNetworkReply* reply) {
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    return length.isValid() ? length.toLongLong() : -1;
}

// A Content-Length that is plain decimal digits, else -1 (absent, negative, repeated, text).
qint64 StrictLength(const QByteArray& header) {
    const QByteArray digits = header.trimmed();
    if (digits.isEmpty() || digits.size() > 18) return -1;
    for (const char c : digits)
        if (c < '0' || c > '9') return -1;
    return digits.toLongLong();
}

bool IsLoopbackHost(const QString& host) {
    return host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
           QHostAddress(host).isLoopback();
}

struct GetOptions {
    bool identityEncoding = false;  // no compression: the announced length is what arrives
    bool httpsOnly = false;         // every redirection must stay on HTTPS too
};

// One GET, always from the network and never stored in a cache, run to its end in a private
// event loop of the calling thread. Every chunk goes to `sink`; false from it stops the
// transfer.
TransferOutcome RunGet(const QString& address, const TransferLimits& limits,
                       const GetOptions& options,
                       const std::function<bool(const QByteArray&)>& sink) {
    TransferOutcome outcome;
    QNetworkAccessManager manager;
    manager.setProxyFactory(new SystemProxies);
    QNetworkRequest request(ToUrl(address));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(kAgentName));
    request.setTransferTimeout(limits.idleMs);
    if (options.identityEncoding) request.setRawHeader("Accept-Encoding", "identity");
    if (options.httpsOnly)
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::UserVerifiedRedirectPolicy);
    std::unique_ptr<QNetworkReply> reply(manager.get(request));

    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    auto stop = [&] {
        if (outcome.stopped) return;
        outcome.stopped = true;
        reply->abort();
    };
    auto drain = [&] {
        if (outcome.stopped) return;
        const QByteArray chunk = reply->readAll();
        outcome.received += chunk.size();
        if (outcome.received > limits.maxBytes || !sink(chunk)) stop();
    };
    QObject::connect(&deadline, &QTimer::timeout, &loop, stop);
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, [&] {
        if (AnnouncedLength(reply.get()) > limits.maxBytes) stop();
    });
    QObject::connect(reply.get(), &QNetworkReply::redirected, &loop, [&](const QUrl& target) {
        if (target.scheme() == QLatin1String("https"))
            emit reply->redirectAllowed();
        else
            stop();
    });
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, drain);
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    deadline.start(limits.totalMs);
    if (!reply->isFinished()) loop.exec();
    drain();
    outcome.error = reply->error();
    outcome.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    outcome.contentLength = reply->rawHeader("Content-Length");
    if (options.httpsOnly && reply->url().scheme() != QLatin1String("https"))
        outcome.stopped = true;
    return outcome;
}

// Errors that carry an HTTP status: the server did answer, with a page of its own.
bool IsHttpStatusError(QNetworkReply::NetworkError error) {
    return (error >= QNetworkReply::ContentAccessDenied &&
            error <= QNetworkReply::UnknownContentError) ||
           (error >= QNetworkReply::InternalServerError &&
            error <= QNetworkReply::UnknownServerError);
}

int TransferIdleMs() {
    return EnvMilliseconds("TESSERA_UPDATE_TRANSFER_TIMEOUT_MS", kDefaultTransferTimeoutMs);
}

}  // namespace

QString UpdateEnvText(const char* name, const QString& fallback) {
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

QString UpdateEnvAddress(const char* name, const QString& fallback) {
    const QString value = UpdateEnvText(name, fallback);
    return IsLoopbackHost(ToUrl(value).host()) ? value : fallback;
}

QUrl UpdateAddressUrl(const QString& address) {
    return ToUrl(address);
}

#ifndef _WIN32
uint32_t ResolveHostAddress(const QString& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const QByteArray name = host.toLocal8Bit();
    if (name.isEmpty() || ::getaddrinfo(name.constData(), nullptr, &hints, &found) != 0 ||
        found == nullptr)
        return 0;
    uint32_t address = 0;
    if (found->ai_addr != nullptr && found->ai_family == AF_INET)
        address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(found);
    return address;
}

bool HostReachable(const QString& host) {
    const int timeoutMs = EnvMilliseconds("TESSERA_UPDATE_PING_TIMEOUT_MS", kDefaultPingTimeoutMs);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = ResolveHostAddress(host);
    // An unresolved name is 0.0.0.0, which Linux would deliver to this machine itself.
    if (target.sin_addr.s_addr == 0) return false;

    const EchoSocket echo = OpenEchoSocket();
    SocketHandle closer(echo.fd);
    // No ICMP socket for this process: the web host counts as reachable when its HTTPS port
    // accepts a connection within the echo's time-out.
    if (!closer.Valid()) return TcpConnects(target, timeoutMs);

    static std::atomic<uint16_t> nextSequence{1};
    const uint16_t id = uint16_t(::getpid());
    const uint16_t sequence = nextSequence++;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    if (!SendEcho(echo, target, id, sequence)) return false;
    return AwaitEchoReply(echo, target, id, sequence, deadline);
}
#endif

QString FetchUrlText(const QString& address) {
    const TransferLimits limits{
        EnvMilliseconds("TESSERA_UPDATE_FETCH_TIMEOUT_MS", kDefaultFetchTimeoutMs),
        TransferIdleMs(), MaxPageBytes};
    QByteArray body;
    const TransferOutcome outcome =
        RunGet(address, limits, GetOptions{}, [&body](const QByteArray& chunk) {
            body += chunk;
            return true;
        });
    if (outcome.stopped) return QString();
    if (outcome.error != QNetworkReply::NoError && !IsHttpStatusError(outcome.error))
        return QString();
    return QString::fromUtf8(body);
}

bool DownloadUrlToFile(const QString& address, const QString& filePath) {
    if (ToUrl(address).scheme() != QLatin1String("https")) return false;
    QSaveFile file(filePath);
    // Unbuffered, so that each write reports what reached the file and a full disk is seen
    // before the file is committed.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
    const TransferLimits limits{
        EnvMilliseconds("TESSERA_UPDATE_DOWNLOAD_TIMEOUT_MS", kDefaultDownloadTimeoutMs),
        TransferIdleMs(), MaxInstallerBytes};
    qint64 written = 0;
    const TransferOutcome outcome =
        RunGet(address, limits, GetOptions{true, true}, [&](const QByteArray& chunk) {
            const qint64 count = file.write(chunk);
            if (count > 0) written += count;
            return count == chunk.size();
        });
    const bool httpOk = outcome.httpStatus >= 200 && outcome.httpStatus < 300;
    const qint64 announced = StrictLength(outcome.contentLength);
    const bool whole = announced >= 0 && written == announced && file.flush() &&
                       file.error() == QFileDevice::NoError;
    if (outcome.stopped || outcome.error != QNetworkReply::NoError || !httpOk || !whole) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
