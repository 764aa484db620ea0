#include "app/OperationStep.h"

#include "app/RunLock.h"
#include "log/Log.h"
#include "sdk/Install.h"
#include "sdk/InstallFolder.h"
#include "sdk/PendingDeletions.h"
#include "sdk/RecordedRun.h"
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

// How a run that changed the machine ended, and what becomes of its record.
struct Ending {
    RunOutcome outcome;
    RecordAtEnd record;
};

// The install: the installation there is replaced by this version's, which
// starts from a machine without a registered SDK. It either completes or
// leaves the machine as it found it: whatever stops it, the installation
// that was there before comes back.
Ending ReplaceInstallation(const std::filesystem::path& path, PendingDeletions& pending,
                           RecoveryRecord& record) {
    try {
        Uninstall(pending).onError(reportError);
        Install(path, record.previous, record.changes, pending).onError(reportError);
    } catch (const std::exception& failure) {
        logError("%s\n", failure.what());
        record.changes.complete = false;
    }
    if (record.changes.complete) {
        return {RunOutcome::Succeeded, RecordAtEnd::Remove};
    }
    const bool rolledBack = RollBack(record.changes, record.previous, pending);
    return {RunOutcome::Failed, rolledBack ? RecordAtEnd::Remove : RecordAtEnd::KeepWayBack};
}

// Whoever goes by the registry finds the SDK gone only when no registration
// names anything on disc: a registration left naming a file there, whatever
// kept it (its regsvr32 failed or could not start, the file is not the
// SDK's), fails the uninstall. One naming a file that is gone does not. An
// uninstall that succeeds makes an earlier run's way back pointless; one
// that fails keeps it.
Ending UninstallAll(PendingDeletions& pending, const RecordedRun& run) {
    Uninstall(pending).onError(reportError);
    if (!AnyRegistrationOnDisc()) {
        return {RunOutcome::Succeeded, RecordAtEnd::Remove};
    }
    return {RunOutcome::Failed,
            run.continuesEarlierRun() ? RecordAtEnd::KeepWayBack : RecordAtEnd::Remove};
}

// Install and uninstall change the machine, so they run one at a time; what
// they could not delete is left to the next restart once both are done, so
// that nothing the install registered goes with it. Their way back is kept
// on disc until they have ended, and the restart's deletions reach the disc
// before it goes: a run that is stopped part way is undone by the next one.
RunOutcome RunLockedChanges(const CommandLineOptions& options) {
    const RunLock lock = AcquireRunLock();
    if (!lock.held) {
        return lock.otherwise;
    }
    // A folder that would be refused is refused before anything is changed:
    // the installation there stays registered.
    if (options.install) {
        const auto judged = JudgeInstallFolder(options.path);
        if (judged.hasError()) {
            reportError(judged.error());
            return RunOutcome::Failed;
        }
    }
    PendingDeletions pending;
    auto run = RecordedRun::Begin(pending);
    if (run.hasError()) {
        reportError(run.error());
        pending.ScheduleForRestart();
        return run.error().code == unreadableNow ? RunOutcome::TryAgainLater : RunOutcome::Failed;
    }
    const Ending ending = options.install
                              ? ReplaceInstallation(options.path, pending, run.value().record())
                              : UninstallAll(pending, run.value());
    pending.ScheduleForRestart();
    run.value().End(ending.record);
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
