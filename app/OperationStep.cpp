#include "app/OperationStep.h"

#include "app/RunLock.h"
#include "log/Log.h"
#include "sdk/Install.h"
#include "sdk/PendingDeletions.h"
#include "sdk/PreviousInstallation.h"
#include "sdk/Registrations.h"
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
RunOutcome InstallAfresh(const std::filesystem::path& path, PendingDeletions& pending) {
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
        return RunOutcome::Failed;
    }
    return RunOutcome::Succeeded;
}

// Whoever goes by the registry finds the SDK gone only when no registration
// names anything on disc: a registration left naming a file there, whatever
// kept it (its regsvr32 failed or could not start, the file is not the
// SDK's), fails the uninstall. One naming a file that is gone does not.
RunOutcome UninstallAll(PendingDeletions& pending) {
    Uninstall(pending).onError(reportError);
    return AnyRegistrationOnDisc() ? RunOutcome::Failed : RunOutcome::Succeeded;
}

RunOutcome RunChanges(const CommandLineOptions& options, PendingDeletions& pending) {
    if (options.install) {
        return InstallAfresh(options.path, pending);
    }
    return UninstallAll(pending);
}

// Install and uninstall change the machine, so they run one at a time; what
// they could not delete is left to the next restart once both are done, so
// that nothing the install registered goes with it.
RunOutcome RunLockedChanges(const CommandLineOptions& options) {
    const auto lock = AcquireRunLock();
    if (!lock) {
        return RunOutcome::AnotherRunBusy;
    }
    PendingDeletions pending;
    const RunOutcome outcome = RunChanges(options, pending);
    pending.ScheduleForRestart();
    return outcome;
}

RunOutcome RunOperations(const CommandLineOptions& options) {
    if (options.install || options.uninstall) {
        return RunLockedChanges(options);
    }
    if (options.status) {
        ReportStatus();
    }
    return RunOutcome::Succeeded;
}

} // namespace

RunOutcome RunSelectedOperation(const CommandLineOptions& options) {
    try {
        return RunOperations(options);
    } catch (const std::exception& failure) {
        // Out of memory and the like: say so, and let the run end normally,
        // as one that did not do its work.
        logError("%s\n", failure.what());
        return RunOutcome::Failed;
    }
}
