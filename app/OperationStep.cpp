#include "app/OperationStep.h"

#include "app/RunLock.h"
#include "log/Log.h"
#include "sdk/Install.h"
#include "sdk/PendingDeletions.h"
#include "sdk/PreviousInstallation.h"
#include "sdk/Rollback.h"
#include "sdk/StatusReport.h"
#include "sdk/Uninstall.h"

#include <exception>
#include <filesystem>

namespace {

void reportError(const Vexo::Error& error) {
    logError("%s\n", error.message.c_str());
}

// A fresh install starts from a machine without a registered SDK. It either
// completes or leaves the machine as it found it: whatever stops it, the
// installation that was there before comes back.
void InstallAfresh(const std::filesystem::path& path, PendingDeletions& pending) {
    const PreviousInstallation previous = RememberInstallation();
    InstallChanges changes;
    try {
        Uninstall(pending).onError(reportError);
        Install(path, changes).onError(reportError);
    } catch (const std::exception& failure) {
        logError("%s\n", failure.what());
        changes.complete = false;
    }
    if (!changes.complete) {
        RollBack(changes, previous, pending);
    }
}

void RunChanges(const CommandLineOptions& options, PendingDeletions& pending) {
    if (options.install) {
        InstallAfresh(options.path, pending);
    } else {
        Uninstall(pending).onError(reportError);
    }
}

// Install and uninstall change the machine, so they run one at a time; what
// they could not delete is left to the next restart once both are done, so
// that nothing the install registered goes with it.
void RunLockedChanges(const CommandLineOptions& options) {
    const auto lock = AcquireRunLock();
    if (!lock) {
        return;
    }
    PendingDeletions pending;
    RunChanges(options, pending);
    pending.ScheduleForRestart();
}

void RunOperations(const CommandLineOptions& options) {
    if (options.install || options.uninstall) {
        RunLockedChanges(options);
    } else if (options.status) {
        ReportStatus();
    }
}

} // namespace

void RunSelectedOperation(const CommandLineOptions& options) {
    try {
        RunOperations(options);
    } catch (const std::exception& failure) {
        // Out of memory and the like: say so, and let the run end normally.
        logError("%s\n", failure.what());
    }
}
