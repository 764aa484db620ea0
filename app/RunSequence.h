#pragma once

#include "app/CommandLineOptions.h"

// One run of the tool after a successful parse, up to and including the final
// key wait. Returns the exit code: that of the run's outcome.
int RunParsedCommandLine(const CommandLineOptions& options);
