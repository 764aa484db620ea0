#pragma once

#include "sdk/InstallChanges.h"
#include "sdk/PreviousInstallation.h"

#include <string>
#include <vector>

// The way back of one install or uninstall: what was registered before it,
// with the files to put back, and what it has changed so far.
struct RecoveryState {
    PreviousInstallation previous;
    InstallChanges changes;
    // The folders that runs made to keep the record in, outermost first.
    std::vector<std::wstring> recordFolders;
};
