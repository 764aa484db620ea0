#pragma once

#include "app/CommandLineOptions.h"

// Runs at most one maintenance operation, chosen by the options.
void RunSelectedOperation(const CommandLineOptions& options);
