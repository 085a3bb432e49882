#pragma once
// A network gateway in front of the virtual line, as found in a cabinet: it listens on a TCP
// port and opens the line's pseudo-terminal like any master. For one connection at a time it
//   - carries the line's bytes as they are, both ways (a transparent serial server), or
//   - takes Modbus TCP requests (MBAP header), puts each on the line as a Modbus RTU frame,
//     waits for the answer and sends it back with the request's transaction id and the
//     answering instrument's address as unit id; an answer that does not come, or comes
//     damaged, is reported with exception 0x0B (target device failed to respond), as gateways
//     do (a Modbus TCP gateway).
// The instruments' faults (silence, damage, delays) reach the client through it; its own
// fault is the dropped connection.
//
//   sim::VirtualBus bus({...});  bus.Start();
//   sim::TcpGateway gateway(bus.DevicePath(), {.kind = sim::GatewayKind::ModbusTcp});
//   gateway.Start();             // throws std::runtime_error when it cannot listen
//   connect to gateway.Url() ... // "modbus-tcp://127.0.0.1:40123"
//
// Threads: Start() creates one thread that accepts and serves; every public member function
// is thread-safe.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "sim/Bytes.h"

namespace sim {

enum class GatewayKind { Transparent, ModbusTcp };

struct GatewayOptions {
    GatewayKind kind = GatewayKind::Transparent;
    std::string host = "127.0.0.1";  // the address listened on (numeric)
    uint16_t port = 0;               // 0: any free port (Port() tells which)
    uint32_t lineSpeed = 9600;       // the speed the gateway sets on its line
    // Modbus TCP: no answer on the line this long is exception 0x0B.
    int answerTimeoutMs = 500;
    // Modbus TCP: a pause this long ends an answer whose length its header does not tell.
    int frameSilenceMs = 30;
};

class TcpGateway {
public:
    TcpGateway(const std::string& linePath, const GatewayOptions& options);
    ~TcpGateway();  // Stop()
    TcpGateway(const TcpGateway&) = delete;
    TcpGateway& operator=(const TcpGateway&) = delete;

    // Opens the line and listens; throws std::runtime_error saying why it cannot.
    void Start();
    void Stop();  // safe to call more than once
    uint16_t Port() const { return FPort; }
    // The port name a client opens: tcp://HOST:PORT or modbus-tcp://HOST:PORT.
    std::string Url() const;

    // Faults: the connection being served is closed now; or every connection is closed when
    // its request number `requests + 1` arrives, unanswered (0: never). A transparent server
    // counts each burst of bytes from the client as one request.
    void DropConnection();
    void DropAfterRequests(int requests) { FDropAfter = requests; }

    size_t Connections() const { return FConnections; }  // accepted so far
    size_t Requests() const { return FRequests; }        // requests taken so far

private:
    void Run();
    void Serve(int client);
    bool ServeTransparent(int client, short clientEvents, short lineEvents, int& requestsSeen);
    bool ServeModbus(int client, Bytes& pending, int& requestsSeen);
    bool CarryModbusRequest(int client, const Bytes& frame);
    bool CollectAnswer(Bytes& answer);
    bool DropDue(int requestsSeen);
    bool SendAll(int client, const uint8_t* data, size_t length);
    bool WriteLine(const uint8_t* data, size_t length);
    void DrainLine();

    const std::string FLinePath;
    const GatewayOptions FOptions;
    int FLine = -1;
    int FListen = -1;
    int FWakeRead = -1;
    int FWakeWrite = -1;
    uint16_t FPort = 0;
    std::thread FThread;
    std::atomic<bool> FStopping{false};
    std::atomic<bool> FDropNow{false};
    std::atomic<int> FDropAfter{0};
    std::atomic<size_t> FConnections{0};
    std::atomic<size_t> FRequests{0};
};

}  // namespace sim
