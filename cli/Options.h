#pragma once
// tessera-cli's command line: global options, one command, its options and arguments.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/Limits.h"
#include "serial/SerialBackend.h"

namespace cli {

struct Options {
    std::string command;                 // empty with --help or --version alone
    std::vector<std::string> arguments;  // positional arguments after the command

    std::string port;
    int32_t baud = protocol::DefaultLineSpeed;
    std::string protocol = "auto";  // auto, qv, modbus
    std::optional<long> address;
    int timeoutMs = protocol::AnswerTimeoutMs;  // silence that ends the wait for an answer
    // Added to it through a network port.
    int networkAllowanceMs = int(serial_backend::DefaultNetworkAllowanceMs);
    bool json = false;
    bool verbose = false;
    bool help = false;
    bool version = false;

    // read
    std::string params = "1";
    long count = 1;  // 0: until Ctrl+C
    long intervalMs = 300;
    std::optional<std::string> csv;
    // get-config
    std::optional<std::string> output;
    // set-config
    std::optional<std::string> only;
    bool dryRun = false;
    bool withAddress = false;  // set-config also writes the file's address and protocol
    // scan
    std::string addresses = "1-247";
    std::optional<std::string> bauds;  // default: --baud
    std::string protocols = "qv,modbus";
    // line framing of every command: none, even, odd; 1 or 2 stop bits
    std::string parity = "none";
    int stopBits = 1;
    bool countGiven = false;  // --count was on the command line
    // regs read|write
    int function = 0;  // 0: read 3, write 6 or 16 as the values need
    std::optional<long> start;
    std::string type = "u16";
    std::string order = "ABCD";
    std::string base = "dec";
    std::optional<std::string> values;  // write: comma-separated
    // raw
    bool crc = false;
};

// Throws CliError(ExitUsage) for anything it does not understand.
Options ParseOptions(int argc, const char* const* argv);

std::string UsageText();

// "1-5,9" -> 1, 2, 3, 4, 5, 9 (each within low..high); throws CliError(ExitUsage).
std::vector<long> ParseNumberList(const std::string& text, long low, long high, const char* what);

}  // namespace cli
