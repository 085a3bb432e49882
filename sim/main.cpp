// tessera-sim: virtual instruments on a pseudo-terminal, for any Modbus RTU or QV master.
// One instrument, or several on one line (--bus, --instrument). Prints the device path to
// open (or, behind a gateway, --tcp or --modbus-tcp, the port name to connect to), serves
// until SIGINT or SIGTERM, then exits cleanly.
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/BusList.h"
#include "sim/TcpGateway.h"
#include "sim/VirtualBus.h"
#include "sim/VirtualInstrument.h"

namespace {

constexpr int kUsageError = 2;

void PrintUsage(std::ostream& out) {
    out << "usage: tessera-sim [--protocol modbus|qv] [--address N] [--params K] [--frozen]\n"
           "       tessera-sim --bus LIST | --instrument ENTRY... [--params K] [--frozen]\n"
           "  --protocol    protocol spoken at start (default modbus)\n"
           "  --address     network address, 1..247 for modbus, 1..65000 for qv (default 1)\n"
           "  --bus         several instruments on one line, e.g. modbus:7,qv:12,modbus:30@19200\n"
           "  --instrument  one more instrument on the line, protocol:address[@speed][+Nms];\n"
           "                repeatable (speed 1200..115200, default 9600: each instrument answers\n"
           "                only requests sent at its speed; +Nms: a slow instrument that starts\n"
           "                every answer N ms after the request, e.g. modbus:9+300ms)\n"
           "  --params      number of measured parameters 1..3 (default 3)\n"
           "  --frozen      measured values stay fixed instead of drifting\n"
           "  --tcp HOST:PORT         serve the line through a transparent serial server\n"
           "  --modbus-tcp HOST:PORT  serve the line through a Modbus TCP gateway\n"
           "                (HOST numeric, PORT 0: any free port; prints the name to connect to)\n"
           "  --drop-after N  the gateway closes each connection at its request N+1\n"
           "  --help        this text\n"
           "  --version     the program's version\n";
}

bool ParseNumber(const char* text, long low, long high, long& value) {
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && value >= low && value <= high;
}

struct Options {
    sim::Config config;            // the single instrument
    bool singleNamed = false;      // --protocol or --address given
    std::vector<sim::Config> bus;  // --bus and --instrument, in order
    bool frozen = false;
    std::optional<sim::GatewayOptions> gateway;  // --tcp or --modbus-tcp
    int dropAfter = 0;
    bool help = false;
    bool version = false;
};

// "127.0.0.1:5020" -> host and port (0..65535).
bool ParseGateway(const std::string& name, const std::string& value, Options& options) {
    const size_t colon = value.rfind(':');
    long port = 0;
    if (colon == std::string::npos || colon == 0 ||
        !ParseNumber(value.c_str() + colon + 1, 0, 65535, port))
        return false;
    sim::GatewayOptions gateway;
    gateway.kind = name == "--tcp" ? sim::GatewayKind::Transparent : sim::GatewayKind::ModbusTcp;
    gateway.host = value.substr(0, colon);
    gateway.port = uint16_t(port);
    options.gateway = gateway;
    return true;
}

bool ParseValueOption(const std::string& name, const char* value, Options& options,
                      std::string& error) {
    long number = 0;
    if (name == "--tcp" || name == "--modbus-tcp") {
        if (ParseGateway(name, value, options)) return true;
        error = name + " needs HOST:PORT, e.g. 127.0.0.1:5020";
        return false;
    }
    if (name == "--drop-after") {
        if (!ParseNumber(value, 1, 1000000, number)) return false;
        options.dropAfter = int(number);
        return true;
    }
    if (name == "--bus") return sim::ParseBus(value, options.bus, error);
    if (name == "--instrument") {
        sim::Config config;
        if (!sim::ParseInstrument(value, config, error)) return false;
        options.bus.push_back(config);
        return true;
    }
    options.singleNamed |= name == "--protocol" || name == "--address";
    if (name == "--protocol" && std::string(value) == "modbus")
        options.config.protocol = sim::Protocol::Modbus;
    else if (name == "--protocol" && std::string(value) == "qv")
        options.config.protocol = sim::Protocol::Qv;
    else if (name == "--address" && ParseNumber(value, 1, 65000, number))
        options.config.address = uint16_t(number);
    else if (name == "--params" && ParseNumber(value, 1, 3, number))
        options.config.parameterCount = int(number);
    else
        return false;
    return true;
}

bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--frozen" || name == "--help" || name == "--version") {
            bool& flag = name == "--frozen" ? options.frozen
                         : name == "--help" ? options.help
                                            : options.version;
            flag = true;
            continue;
        }
        if (i + 1 >= argc || !ParseValueOption(name, argv[++i], options, error)) return false;
    }
    if (!options.bus.empty() && options.singleNamed) {
        error =
            "--protocol and --address describe the single instrument; use --bus or --instrument";
        return false;
    }
    for (sim::Config& config : options.bus) config.parameterCount = options.config.parameterCount;
    return options.config.protocol == sim::Protocol::Qv || options.config.address <= 247;
}

// The program's demo panel; frozen, its values stay where they start.
void SetUpPanel(sim::InstrumentModel& model, bool frozen) {
    sim::SetUpDemoPanel(model);
    if (!frozen) return;
    for (int p = 1; p <= 3; ++p) model.FreezeValue(p, model.Parameter(p).base);
}

// Blocks SIGINT and SIGTERM for sigwait. A shell starts background jobs with SIGINT ignored,
// and an ignored signal never reaches sigwait: give both a handler first. Blocked before the
// reader thread exists, so only the sigwait ever takes them.
sigset_t BlockStopSignals() {
    struct sigaction wanted {};
    wanted.sa_handler = [](int) {};
    sigaction(SIGINT, &wanted, nullptr);
    sigaction(SIGTERM, &wanted, nullptr);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    return stopSignals;
}

// One instrument alone on its line hears every speed, as it always has.
std::unique_ptr<sim::VirtualBus> MakeLine(const Options& options) {
    if (options.bus.empty())
        return std::make_unique<sim::VirtualBus>(std::vector<sim::Config>{options.config},
                                                 sim::SingleInstrumentLine(options.config));
    return std::make_unique<sim::VirtualBus>(options.bus);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) {
        if (error.empty())
            PrintUsage(std::cerr);
        else
            std::cerr << "tessera-sim: " << error << " (tessera-sim --help for usage)\n";
        return kUsageError;
    }
    if (options.help) {
        PrintUsage(std::cout);
        return 0;
    }
    if (options.version) {
        std::cout << "tessera-sim " << TESSERA_VERSION << "\n";
        return 0;
    }
    sigset_t stopSignals = BlockStopSignals();

    std::unique_ptr<sim::VirtualBus> line = MakeLine(options);
    for (size_t i = 0; i < line->Size(); ++i)
        SetUpPanel(line->Instrument(i).Model(), options.frozen);
    try {
        line->Start();
    } catch (const std::exception& failure) {
        std::cerr << "tessera-sim: " << failure.what() << "\n";
        return 1;
    }
    std::unique_ptr<sim::TcpGateway> gateway;
    if (options.gateway) {
        gateway = std::make_unique<sim::TcpGateway>(line->DevicePath(), *options.gateway);
        gateway->DropAfterRequests(options.dropAfter);
        try {
            gateway->Start();
        } catch (const std::exception& failure) {
            std::cerr << "tessera-sim: " << failure.what() << "\n";
            return 1;
        }
    }
    std::cout << (gateway ? gateway->Url() : line->DevicePath()) << std::endl;
    for (const sim::Config& config : options.bus) std::cerr << sim::Describe(config) << "\n";

    int received = 0;
    sigwait(&stopSignals, &received);
    if (gateway) gateway->Stop();
    line->Stop();
    return 0;
}
