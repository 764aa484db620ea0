#pragma once

#include "sdk/InstallChanges.h"
#include "sdk/PendingDeletions.h"
#include "sdk/PreviousInstallation.h"

// Undoes an install that did not complete, and puts back what the uninstall
// before it removed: unregisters the new DLLs that were registered, deletes
// the new files (one in use at the next restart, through `pending`), removes
// the folders the install made if they are empty, writes each remembered file
// back where it is missing or differs, and registers it again where a view
// no longer names it. Logs whether the machine is as it was.
void RollBack(const InstallChanges& changes, const PreviousInstallation& previous,
              PendingDeletions& pending);
