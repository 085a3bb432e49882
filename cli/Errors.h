#pragma once
// Exit codes of tessera-cli and the error that carries one up to main().
#include <stdexcept>
#include <string>

namespace cli {

enum ExitCode : int {
    ExitSuccess = 0,
    ExitUsage = 1,         // bad command line or configuration file
    ExitPort = 2,          // the port cannot be opened
    ExitNoAnswer = 3,      // the instrument did not answer, or the read-back differs
    ExitRefused = 4,       // the instrument refused (Modbus exception, QV result)
    ExitInterrupted = 130  // Ctrl+C: what was done so far is printed
};

class CliError : public std::runtime_error {
public:
    CliError(ExitCode code, const std::string& message)
        : std::runtime_error(message), FCode(code) {}
    ExitCode Code() const { return FCode; }

private:
    ExitCode FCode;
};

}  // namespace cli
