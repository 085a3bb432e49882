#pragma once
// tessera-cli's commands. Each writes its result to `out` (progress and frames go to stderr)
// and returns the exit code, or throws CliError.
#include <memory>
#include <ostream>

#include "cli/Options.h"
#include "cli/Session.h"
#include "config/ConfigFile.h"

namespace cli {

using config::InstrumentConfig;

int RunCommand(const Options& options, std::ostream& out);

// The port of --port at --baud with --parity and --stop-bits; throws CliError.
std::unique_ptr<Line> OpenLine(const Options& options);

// regs read|write and raw (cli/Registers.cpp).
int RegsCommand(const Options& options, std::ostream& out);
int RawCommand(const Options& options, std::ostream& out);

// The instrument's whole configuration; values it does not give are absent.
InstrumentConfig ReadConfig(Session& session);

}  // namespace cli
