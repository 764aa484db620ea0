#pragma once

#include "app/CommandLineOptions.h"
#include "app/RunOutcome.h"

// Runs at most one maintenance operation, chosen by the options, and tells
// how it ended: an install succeeds when it completed, an uninstall when no
// registration is left naming something on disc; the status report and no
// operation at all succeed. An exception fails any of them.
RunOutcome RunSelectedOperation(const CommandLineOptions& options);
