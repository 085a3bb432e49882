// tessera-cli: the instrument from a script. See UsageText() and the README.
#include <cstdio>
#include <exception>
#include <iostream>

#include "cli/Commands.h"
#include "cli/Errors.h"
#include "cli/Options.h"
#include "cli/Platform.h"

int main(int argc, char** argv) {
    using namespace cli;
    try {
        const Options options = ParseOptions(argc, argv);
        if (options.help) {
            std::cout << UsageText();
            return ExitSuccess;
        }
        if (options.version) {
            std::cout << "tessera-cli " << TESSERA_VERSION << "\n";
            return ExitSuccess;
        }
        InstallInterruptHandler();
        const int code = RunCommand(options, std::cout);
        std::cout.flush();
        if (code == ExitInterrupted) std::fprintf(stderr, "tessera-cli: interrupted\n");
        return code;
    } catch (const CliError& e) {
        std::cout.flush();
        std::fprintf(stderr, "tessera-cli: %s\n", e.what());
        if (e.Code() == ExitUsage) std::fprintf(stderr, "(tessera-cli --help shows the usage)\n");
        return e.Code();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tessera-cli: %s\n", e.what());
        return ExitUsage;
    }
}
