#include "app/OperationStep.h"

#include "app/RunLock.h"
#include "log/Log.h"
#include "sdk/Install.h"
#include "sdk/PendingDeletions.h"
#include "sdk/Registrations.h"
#include "sdk/Rollback.h"
#include "sdk/RunJournal.h"
#include "sdk/StatusReport.h"
#include "sdk/Uninstall.h"

#include <exception>
#include <filesystem>

namespace {

void reportError(const Vexo::Error& error) {
    logError("%s\n", error.message.c_str());
}

// How a run that changed the machine ended, and whether its way back is
// still needed: the machine is neither as it was nor as it is meant to be.
struct Ending {
    RunOutcome outcome;
    bool keepWayBack;
};

// A fresh install starts from a machine without a registered SDK. It either
// completes or leaves the machine as it found it: whatever stops it, the
// installation that was there before comes back.
Ending InstallAfresh(const std::filesystem::path& path, PendingDeletions& pending,
                     RecoveryState& state) {
    try {
        Uninstall(pending).onError(reportError);
        Install(path, state.changes).onError(reportError);
    } catch (const std::exception& failure) {
        logError("%s\n", failure.what());
        state.changes.complete = false;
    }
    if (state.changes.complete) {
        return {RunOutcome::Succeeded, false};
    }
    const bool rolledBack = RollBack(state.changes, state.previous, pending);
    return {RunOutcome::Failed, !rolledBack};
}

// Whoever goes by the registry finds the SDK gone only when no registration
// names anything on disc: a registration left naming a file there, whatever
// kept it (its regsvr32 failed or could not start, the file is not the
// SDK's), fails the uninstall. One naming a file that is gone does not. The
// way back of an earlier run that could not be undone stays.
Ending UninstallAll(PendingDeletions& pending, const RunJournal& journal) {
    Uninstall(pending).onError(reportError);
    return {AnyRegistrationOnDisc() ? RunOutcome::Failed : RunOutcome::Succeeded,
            journal.carriesEarlierRun()};
}

// Install and uninstall change the machine, so they run one at a time; what
// they could not delete is left to the next restart once both are done, so
// that nothing the install registered goes with it. Their way back is kept
// on disc until they have ended: a run that is stopped part way is undone
// by the next one.
RunOutcome RunLockedChanges(const CommandLineOptions& options) {
    const auto lock = AcquireRunLock();
    if (!lock) {
        return RunOutcome::AnotherRunBusy;
    }
    PendingDeletions pending;
    auto journal = RunJournal::Open(pending);
    if (journal.hasError()) {
        reportError(journal.error());
        return RunOutcome::Failed;
    }
    const Ending ending = options.install
                              ? InstallAfresh(options.path, pending, journal.value().state())
                              : UninstallAll(pending, journal.value());
    journal.value().Close(ending.keepWayBack);
    pending.ScheduleForRestart();
    return ending.outcome;
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
