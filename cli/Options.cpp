#include "cli/Options.h"

#include <charconv>
#include <set>

#include "cli/Errors.h"
#include "protocol/Limits.h"

namespace cli {

namespace {

const std::set<std::string> Commands = {
    "ports",       "search",          "scan", "read", "get-config", "set-config",
    "set-address", "switch-protocol", "regs", "raw"};

[[noreturn]] void Usage(const std::string& message) {
    throw CliError(ExitUsage, message);
}

long Number(const std::string& option, const std::string& text, long low, long high) {
    long value = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (text.empty() || result.ec != std::errc() || result.ptr != end || value < low ||
        value > high)
        Usage(option + " needs a number within " + std::to_string(low) + ".." +
              std::to_string(high) + ", not \"" + text + "\"");
    return value;
}

}  // namespace

std::vector<long> ParseNumberList(const std::string& text, long low, long high, const char* what) {
    std::vector<long> numbers;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string::npos) end = text.size();
        const std::string item = text.substr(start, end - start);
        const size_t dash = item.find('-', 1);
        const long first = Number(what, item.substr(0, dash), low, high);
        const long last =
            dash == std::string::npos ? first : Number(what, item.substr(dash + 1), low, high);
        if (last < first) Usage(std::string(what) + ": range " + item + " runs backwards");
        for (long n = first; n <= last; ++n) numbers.push_back(n);
        start = end + 1;
    }
    return numbers;
}

Options ParseOptions(int argc, const char* const* argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::optional<std::string> attached;
        if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
            attached = arg.substr(arg.find('=') + 1);
            arg = arg.substr(0, arg.find('='));
        }
        auto value = [&]() -> std::string {
            if (attached) return *attached;
            if (i + 1 >= argc) Usage(arg + " needs a value");
            return argv[++i];
        };
        auto flag = [&](bool& target) {
            if (attached) Usage(arg + " takes no value");
            target = true;
        };
        if (arg == "--help" || arg == "-h")
            flag(o.help);
        else if (arg == "--version")
            flag(o.version);
        else if (arg == "--json")
            flag(o.json);
        else if (arg == "-v" || arg == "--verbose")
            flag(o.verbose);
        else if (arg == "--dry-run")
            flag(o.dryRun);
        else if (arg == "--with-address")
            flag(o.withAddress);
        else if (arg == "--port")
            o.port = value();
        else if (arg == "--baud")
            o.baud = int32_t(Number(arg, value(), 1, 4000000));
        else if (arg == "--protocol") {
            o.protocol = value();
            if (o.protocol != "auto" && o.protocol != "qv" && o.protocol != "modbus")
                Usage("--protocol is auto, qv or modbus");
        } else if (arg == "--address")
            o.address = Number(arg, value(), 1, protocol::HighestAddress);
        else if (arg == "--timeout")
            o.timeoutMs = int(Number(arg, value(), 1, 60000));
        else if (arg == "--net-allowance")
            o.networkAllowanceMs = int(Number(arg, value(), 0, 60000));
        else if (arg == "--params")
            o.params = value();
        else if (arg == "--count") {
            o.count = Number(arg, value(), 0, 100000000);
            o.countGiven = true;
        } else if (arg == "--parity") {
            o.parity = value();
            if (o.parity != "none" && o.parity != "even" && o.parity != "odd")
                Usage("--parity is none, even or odd");
        } else if (arg == "--stop-bits")
            o.stopBits = int(Number(arg, value(), 1, 2));
        else if (arg == "--function")
            o.function = int(Number(arg, value(), 1, 16));
        else if (arg == "--start")
            o.start = Number(arg, value(), 0, 65535);
        else if (arg == "--type")
            o.type = value();
        else if (arg == "--order")
            o.order = value();
        else if (arg == "--base")
            o.base = value();
        else if (arg == "--value")
            o.values = value();
        else if (arg == "--crc")
            flag(o.crc);
        else if (arg == "--interval")
            o.intervalMs = Number(arg, value(), 0, 86400000);
        else if (arg == "--csv")
            o.csv = value();
        else if (arg == "-o" || arg == "--output")
            o.output = value();
        else if (arg == "--only")
            o.only = value();
        else if (arg == "--addresses")
            o.addresses = value();
        else if (arg == "--bauds")
            o.bauds = value();
        else if (arg == "--protocols")
            o.protocols = value();
        else if (arg.size() > 1 && arg[0] == '-' && arg != "-")
            Usage("unknown option " + arg);
        else if (o.command.empty()) {
            if (!Commands.count(arg)) Usage("unknown command \"" + arg + "\"");
            o.command = arg;
        } else {
            o.arguments.push_back(arg);
        }
    }
    if (o.command.empty() && !o.help && !o.version) Usage("no command given");
    ParseNumberList(o.params, 1, 3, "--params");
    return o;
}

std::string UsageText() {
    return R"(usage: tessera-cli [options] COMMAND [arguments]

Commands:
  ports                        serial ports present, with stable names and adapters
  search                       find the one instrument on the line (address, protocol)
  scan                         ask every address in turn and list the instruments found
  read                         readings of the measured parameters, as the panels show them
  get-config                   the instrument's whole configuration as a file
  set-config FILE              write what differs from FILE, read back and compare
  set-address N                give the instrument a new network address
  switch-protocol qv|modbus    switch the instrument's protocol
  regs read|write              any Modbus register or coil (functions 1-6, 15, 16)
  raw HEX                      one frame typed in hex, the answer shown and decoded

Options of every command:
  --port P            serial port: a path, a name under /dev, or COMn; or a gateway:
                      tcp://HOST:PORT (transparent serial server, QV and Modbus RTU) or
                      modbus-tcp://HOST:PORT (Modbus TCP gateway, Modbus only)
  --baud B            line speed (default )" +
           std::to_string(protocol::DefaultLineSpeed) + R"()
  --protocol P        auto, qv or modbus (default auto: tried as the search tries)
  --address N         the instrument's address (default: found by the search)
  --timeout MS        silence that ends the wait for an answer (default )" +
           std::to_string(protocol::AnswerTimeoutMs) + R"()
  --net-allowance MS  added to that wait through a gateway (default )" +
           std::to_string(serial_backend::DefaultNetworkAllowanceMs) + R"()
  --parity P          none, even or odd (default none)
  --stop-bits N       1 or 2 (default 1)
  --json              machine-readable output
  -v                  every frame in hex on stderr
  --help, --version

scan:        --addresses 1-247  --bauds 9600,19200|all  --protocols qv,modbus
read:        --params 1,2,3  --count N (0: until Ctrl+C)  --interval MS  --csv FILE|-
get-config:  -o FILE
set-config:  --only KEYS (keys or groups: info,param1,relay2.delay)  --dry-run
             --with-address (also the file's address and protocol; not written otherwise)
regs read:   --function 1|2|3|4 (default 3)  --start R  --count C (registers or coils)
             --type u16|s16|u32|s32|float  --order ABCD|CDAB|BADC|DCBA  --base dec|hex|bin
regs write:  --start R  --value V[,V...]  --function 5|6|15|16 (default 6, or 16 for a block)
             --type, --order as for read
raw:         "01 03 03 EB 00 01" (blanks optional)  --crc (append the frame check)

Exit codes: 0 success, 1 usage, 2 the port cannot be opened, 3 no answer or the read-back
differs, 4 the instrument refused, 130 interrupted by Ctrl+C.
)";
}

}  // namespace cli
