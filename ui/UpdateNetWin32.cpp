// Windows side of the update check's reachability test: the name through WinSock, the echo
// through the IP helper API, which any user may send (no raw socket, so no fallback needed).
// The page fetch and the download are Qt's, in UpdateNet.cpp, on both systems.
#include "ui/UpdateNet.h"

// These headers only work in this order.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
// WinSock before windows.h, which would otherwise bring in the old WinSock 1 header.
#include <windows.h>
// iphlpapi.h before icmpapi.h, which uses its address and option types without including them.
#include <iphlpapi.h>
#include <icmpapi.h>
// clang-format on

namespace {

constexpr int kDefaultPingTimeoutMs = 5000;

int PingTimeoutMs() {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue("TESSERA_UPDATE_PING_TIMEOUT_MS", &ok);
    return ok && value > 0 ? value : kDefaultPingTimeoutMs;
}

// Started once for the process and left running: the worker may resolve again at any check.
bool WinsockStarted() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

}  // namespace

uint32_t ResolveHostAddress(const QString& host) {
    const std::wstring name = host.toStdWString();
    if (name.empty() || !WinsockStarted()) return 0;
    ADDRINFOW hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    ADDRINFOW* found = nullptr;
    if (GetAddrInfoW(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return 0;
    uint32_t address = 0;
    if (found->ai_addr != nullptr && found->ai_family == AF_INET)
        address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    FreeAddrInfoW(found);
    return address;
}

bool HostReachable(const QString& host) {
    const uint32_t address = ResolveHostAddress(host);
    if (address == 0) return false;
    const HANDLE icmp = IcmpCreateFile();
    if (icmp == INVALID_HANDLE_VALUE) return false;
    // One reply without data, with the room the call wants beside it: an ICMP error message
    // (8 bytes) and an I/O status block (16).
    char request = 0;
    alignas(ICMP_ECHO_REPLY) char reply[sizeof(ICMP_ECHO_REPLY) + 8 + 16];
    const DWORD replies = IcmpSendEcho(icmp, IPAddr(address), &request, 0, nullptr, reply,
                                       DWORD(sizeof reply), DWORD(PingTimeoutMs()));
    IcmpCloseHandle(icmp);
    return replies > 0 && reinterpret_cast<const ICMP_ECHO_REPLY*>(reply)->Status == IP_SUCCESS;
}
