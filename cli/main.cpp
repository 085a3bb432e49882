// tessera-cli: the instrument from a script. See UsageText() and the README.
#include <cerrno>
#include <cstdio>
#include <cstring>
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
        // A full disk may show only when the last of the output is flushed.
        std::cout.flush();
        if (!std::cout || std::fflush(stdout) != 0 || std::ferror(stdout))
            throw CliError(ExitUsage, std::string("cannot write the output: ") +
                                          std::strerror(errno ? errno : EIO));
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
