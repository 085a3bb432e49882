#include "sim/TcpGateway.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

#include "protocol/Crc.h"

namespace sim {

namespace {

using Clock = std::chrono::steady_clock;

std::runtime_error SystemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

void CloseIfOpen(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

speed_t SpeedConstant(uint32_t bitsPerSecond) {
    switch (bitsPerSecond) {
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        default:
            return B9600;
    }
}

uint16_t Word(const uint8_t* bytes) {
    return uint16_t(bytes[0] << 8 | bytes[1]);
}

void PutWord(Bytes& out, uint16_t value) {
    out.push_back(uint8_t(value >> 8));
    out.push_back(uint8_t(value & 0xFF));
}

// A Modbus RTU answer's whole length as far as its first bytes tell (0: not known yet, or a
// function whose answer ends only at the pause after it).
size_t ExpectedAnswerLength(const Bytes& answer) {
    if (answer.size() < 2) return 0;
    const uint8_t function = answer[1];
    if (function & 0x80) return 5;
    if (function == 3 || function == 4) return answer.size() < 3 ? 0 : 5 + size_t(answer[2]);
    if (function == 6 || function == 16) return 8;
    return 0;
}

constexpr size_t kMbapHeader = 7;
constexpr uint8_t kTargetFailedToRespond = 0x0B;

}  // namespace

TcpGateway::TcpGateway(const std::string& linePath, const GatewayOptions& options)
    : FLinePath(linePath), FOptions(options) {}

TcpGateway::~TcpGateway() {
    Stop();
}

std::string TcpGateway::Url() const {
    const char* scheme = FOptions.kind == GatewayKind::ModbusTcp ? "modbus-tcp://" : "tcp://";
    return scheme + FOptions.host + ":" + std::to_string(FPort);
}

// The line is opened raw at the gateway's speed, as the gateway's own serial port.
void TcpGateway::Start() {
    if (FThread.joinable()) return;
    FLine = ::open(FLinePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (FLine < 0) throw SystemError("open " + FLinePath);
    termios raw{};
    if (::tcgetattr(FLine, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::cfsetspeed(&raw, SpeedConstant(FOptions.lineSpeed));
        ::tcsetattr(FLine, TCSANOW, &raw);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(FOptions.port);
    if (::inet_pton(AF_INET, FOptions.host.c_str(), &address.sin_addr) != 1) {
        Stop();
        throw std::runtime_error("not a numeric IPv4 address: " + FOptions.host);
    }
    FListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int on = 1;
    if (FListen >= 0) ::setsockopt(FListen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    socklen_t size = sizeof address;
    if (FListen < 0 ||
        ::bind(FListen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(FListen, 4) != 0 ||
        ::getsockname(FListen, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        const auto failure =
            SystemError("listen on " + FOptions.host + ":" + std::to_string(FOptions.port));
        Stop();
        throw failure;
    }
    FPort = ntohs(address.sin_port);
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        const auto failure = SystemError("pipe2");
        Stop();
        throw failure;
    }
    FWakeRead = wake[0];
    FWakeWrite = wake[1];
    FStopping = false;
    FThread = std::thread([this] { Run(); });
}

void TcpGateway::Stop() {
    if (FThread.joinable()) {
        FStopping = true;
        const char one = 1;
        (void)!::write(FWakeWrite, &one, 1);
        FThread.join();
    }
    CloseIfOpen(FListen);
    CloseIfOpen(FLine);
    CloseIfOpen(FWakeRead);
    CloseIfOpen(FWakeWrite);
}

void TcpGateway::DropConnection() {
    FDropNow = true;
    const char one = 1;
    if (FWakeWrite >= 0) (void)!::write(FWakeWrite, &one, 1);
}

void TcpGateway::Run() {
    while (!FStopping) {
        pollfd fds[2] = {{FListen, POLLIN, 0}, {FWakeRead, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
        if (fds[1].revents) {
            char drained[64];
            while (::read(FWakeRead, drained, sizeof drained) > 0) {
            }
            continue;  // a stop, or a drop with no connection to drop
        }
        const int client = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client < 0) continue;
        // A drop asked for by someone who saw this connection counted must not be forgotten,
        // so the flag is cleared before the count goes up.
        FDropNow = false;
        ++FConnections;
        const int on = 1;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        Serve(client);
        ::close(client);
    }
}

bool TcpGateway::DropDue(int requestsSeen) {
    const int after = FDropAfter;
    return after > 0 && requestsSeen > after;
}

// Until the client leaves, a fault drops it, or the gateway stops.
void TcpGateway::Serve(int client) {
    int requestsSeen = 0;
    Bytes pending;
    const bool transparent = FOptions.kind == GatewayKind::Transparent;
    for (;;) {
        pollfd fds[3] = {{client, POLLIN, 0}, {FWakeRead, POLLIN, 0}, {FLine, POLLIN, 0}};
        if (::poll(fds, transparent ? 3 : 2, -1) < 0 && errno != EINTR) return;
        if (FStopping || FDropNow) return;
        if (fds[1].revents) {
            char drained[64];
            while (::read(FWakeRead, drained, sizeof drained) > 0) {
            }
            continue;
        }
        const bool going =
            transparent ? ServeTransparent(client, fds[0].revents, fds[2].revents, requestsSeen)
                        : !(fds[0].revents & (POLLIN | POLLHUP | POLLERR)) ||
                              ServeModbus(client, pending, requestsSeen);
        if (!going) return;
    }
}

bool TcpGateway::ServeTransparent(int client, short clientEvents, short lineEvents,
                                  int& requestsSeen) {
    uint8_t chunk[1024];
    if (clientEvents & (POLLIN | POLLHUP | POLLERR)) {
        const ssize_t got = ::recv(client, chunk, sizeof chunk, 0);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) return false;
        if (got > 0) {
            ++requestsSeen;
            ++FRequests;
            if (DropDue(requestsSeen)) return false;
            if (!WriteLine(chunk, size_t(got))) return false;
        }
    }
    if ((lineEvents & (POLLHUP | POLLERR)) && !(lineEvents & POLLIN)) return false;  // line gone
    if (lineEvents & POLLIN) {
        for (;;) {
            const ssize_t got = ::read(FLine, chunk, sizeof chunk);
            if (got <= 0) break;
            if (!SendAll(client, chunk, size_t(got))) return false;
        }
    }
    return true;
}

// A header no Modbus TCP frame has ends the connection, as a gateway does with garbage.
bool TcpGateway::ServeModbus(int client, Bytes& pending, int& requestsSeen) {
    uint8_t chunk[1024];
    const ssize_t got = ::recv(client, chunk, sizeof chunk, 0);
    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) return false;
    if (got > 0) pending.insert(pending.end(), chunk, chunk + got);
    while (pending.size() >= kMbapHeader) {
        const uint16_t length = Word(&pending[4]);
        if (Word(&pending[2]) != 0 || length < 2 || length > 254) return false;
        if (pending.size() < 6 + size_t(length)) break;
        const Bytes frame(pending.begin(), pending.begin() + 6 + length);
        pending.erase(pending.begin(), pending.begin() + 6 + length);
        ++requestsSeen;
        ++FRequests;
        if (DropDue(requestsSeen)) return false;
        if (!CarryModbusRequest(client, frame)) return false;
    }
    return true;
}

bool TcpGateway::CarryModbusRequest(int client, const Bytes& frame) {
    Bytes rtu(frame.begin() + 6, frame.end());  // unit id and PDU
    rtu.resize(rtu.size() + 2);
    StoreCrc(rtu.data(), uint16_t(rtu.size()));
    DrainLine();
    if (!WriteLine(rtu.data(), rtu.size())) return false;
    Bytes answer;
    if (!CollectAnswer(answer)) return false;
    const size_t expected = ExpectedAnswerLength(answer);
    const bool whole = answer.size() >= 4 && (expected == 0 || answer.size() == expected) &&
                       Crc16(answer.data(), uint16_t(answer.size())) == 0;
    Bytes reply;
    PutWord(reply, Word(&frame[0]));
    PutWord(reply, 0);
    if (whole) {
        PutWord(reply, uint16_t(answer.size() - 2));
        reply.insert(reply.end(), answer.begin(), answer.end() - 2);
    } else {
        PutWord(reply, 3);
        reply.push_back(frame[6]);
        reply.push_back(uint8_t(frame[7] | 0x80));
        reply.push_back(kTargetFailedToRespond);
    }
    return SendAll(client, reply.data(), reply.size());
}

// The answer ends when its header's length is there, at a pause after an answer of unknown
// length, or at the answer time-out. False when the gateway stops or drops meanwhile.
bool TcpGateway::CollectAnswer(Bytes& answer) {
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(FOptions.answerTimeoutMs);
    for (;;) {
        const size_t expected = ExpectedAnswerLength(answer);
        if (expected && answer.size() >= expected) return true;
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return true;
        int waitMs = int(left);
        if (!answer.empty() && expected == 0) waitMs = std::min(waitMs, FOptions.frameSilenceMs);
        pollfd fds[2] = {{FLine, POLLIN, 0}, {FWakeRead, POLLIN, 0}};
        const int ready = ::poll(fds, 2, waitMs);
        if (FStopping || FDropNow) return false;
        if (ready < 0 && errno != EINTR) return false;
        if (ready == 0 && !answer.empty() && expected == 0) return true;  // the pause
        if (ready <= 0 || !(fds[0].revents & POLLIN)) continue;
        uint8_t chunk[512];
        for (;;) {
            const ssize_t got = ::read(FLine, chunk, sizeof chunk);
            if (got <= 0) break;
            answer.insert(answer.end(), chunk, chunk + got);
        }
    }
}

void TcpGateway::DrainLine() {
    uint8_t chunk[512];
    while (::read(FLine, chunk, sizeof chunk) > 0) {
    }
}

bool TcpGateway::WriteLine(const uint8_t* data, size_t length) {
    size_t done = 0;
    while (done < length) {
        const ssize_t put = ::write(FLine, data + done, length - done);
        if (put > 0) {
            done += size_t(put);
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EINTR) return false;
        pollfd out{FLine, POLLOUT, 0};
        if (::poll(&out, 1, 2000) == 0) return false;
    }
    return true;
}

bool TcpGateway::SendAll(int client, const uint8_t* data, size_t length) {
    size_t done = 0;
    while (done < length) {
        const ssize_t put = ::send(client, data + done, length - done, MSG_NOSIGNAL);
        if (put > 0) {
            done += size_t(put);
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EINTR) return false;
        pollfd out{client, POLLOUT, 0};
        if (::poll(&out, 1, 2000) == 0) return false;
    }
    return true;
}

}  // namespace sim
