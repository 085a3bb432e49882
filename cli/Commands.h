#pragma once
// tessera-cli's commands. Each writes its result to `out` (progress and frames go to stderr)
// and returns the exit code, or throws CliError.
#include <ostream>

#include "cli/Options.h"
#include "cli/Session.h"
#include "config/ConfigFile.h"

namespace cli {

using config::InstrumentConfig;

int RunCommand(const Options& options, std::ostream& out);

// The instrument's whole configuration; values it does not give are absent.
InstrumentConfig ReadConfig(Session& session);

}  // namespace cli
