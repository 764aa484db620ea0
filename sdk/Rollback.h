#pragma once

#include "sdk/PendingDeletions.h"
#include "sdk/PreviousInstallation.h"
#include "sdk/RunChanges.h"

// Undoes what a run changed and puts back what was registered before it:
// unregisters the new DLLs that a registration names, deletes the files the
// run wrote or renamed aside while they still hold what it put there (one
// in use at the next restart, through `pending`), removes the folders the
// run made, writes each remembered file back where it is missing or
// differs, and registers it again where a view no longer names it. Logs
// "Rollback incomplete: " at Error for each thing it could not put right;
// true when the machine is as it was: the views name what they named before,
// and no new file or folder is left but those left to the restart.
bool UndoChanges(const RunChanges& changes, const PreviousInstallation& previous,
                 PendingDeletions& pending);

// Undoes an install that did not complete, saying so, and logs whether the
// machine is as it was. True when it is.
bool RollBack(const RunChanges& changes, const PreviousInstallation& previous,
              PendingDeletions& pending);
