// tessera-sim: the virtual instrument on a pseudo-terminal, for any Modbus RTU or QV master.
// Prints the device path to open, serves until SIGINT or SIGTERM, then exits cleanly.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "sim/VirtualInstrument.h"

namespace {

void PrintUsage() {
    std::cerr << "usage: tessera-sim [--protocol modbus|qv] [--address N] [--params K] [--frozen]\n"
                 "  --protocol  protocol spoken at start (default modbus)\n"
                 "  --address   network address, 1..247 for modbus, 1..65000 for qv (default 1)\n"
                 "  --params    number of measured parameters 1..3 (default 3)\n"
                 "  --frozen    measured values stay fixed instead of drifting\n";
}

bool ParseNumber(const char* text, long low, long high, long& value) {
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && value >= low && value <= high;
}

struct Options {
    sim::Config config;
    bool frozen = false;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--frozen") {
            options.frozen = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        long number = 0;
        if (name == "--protocol" && std::strcmp(value, "modbus") == 0)
            options.config.protocol = sim::Protocol::Modbus;
        else if (name == "--protocol" && std::strcmp(value, "qv") == 0)
            options.config.protocol = sim::Protocol::Qv;
        else if (name == "--address" && ParseNumber(value, 1, 65000, number))
            options.config.address = uint16_t(number);
        else if (name == "--params" && ParseNumber(value, 1, 3, number))
            options.config.parameterCount = int(number);
        else
            return false;
    }
    return options.config.protocol == sim::Protocol::Qv || options.config.address <= 247;
}

// Voltage, current and frequency drifting slowly, so the readings page has something to show.
void LetValuesDrift(sim::InstrumentModel& model) {
    model.SetParameterSetup(1, 250.0f, 1, 1);
    model.LetValueDrift(1, 230.0f, 2.5f, 20000);
    model.SetParameterSetup(2, 5.0f, 4, 3);
    model.LetValueDrift(2, 4.2f, 0.3f, 13000);
    model.SetParameterSetup(3, 60.0f, 12, 2);
    model.LetValueDrift(3, 50.0f, 0.05f, 7000);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        PrintUsage();
        return 2;
    }
    // A shell starts background jobs with SIGINT ignored, and an ignored signal never reaches
    // sigwait: give both a handler first. Blocked before the reader thread exists, so only the
    // sigwait below ever takes them.
    struct sigaction wanted {};
    wanted.sa_handler = [](int) {};
    sigaction(SIGINT, &wanted, nullptr);
    sigaction(SIGTERM, &wanted, nullptr);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    sim::VirtualInstrument instrument(options.config);
    if (!options.frozen) LetValuesDrift(instrument.Model());
    try {
        instrument.Start();
    } catch (const std::exception& error) {
        std::cerr << "tessera-sim: " << error.what() << "\n";
        return 1;
    }
    std::cout << instrument.DevicePath() << std::endl;

    int received = 0;
    sigwait(&stopSignals, &received);
    instrument.Stop();
    return 0;
}
