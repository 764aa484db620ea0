#include "app/OperationStep.h"

#include "app/RunLock.h"
#include "log/Log.h"
#include "sdk/Install.h"
#include "sdk/PendingDeletions.h"
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

// A fresh install starts from a machine without a registered SDK. It either
// completes or leaves the machine as it found it: whatever stops it, the
// installation that was there before comes back. True when the machine is
// one or the other.
bool InstallAfresh(const std::filesystem::path& path, PendingDeletions& pending,
                   RecoveryState& state) {
    try {
        Uninstall(pending).onError(reportError);
        Install(path, state.changes).onError(reportError);
    } catch (const std::exception& failure) {
        logError("%s\n", failure.what());
        state.changes.complete = false;
    }
    return state.changes.complete || RollBack(state.changes, state.previous, pending);
}

// Install and uninstall change the machine, so they run one at a time; what
// they could not delete is left to the next restart once both are done, so
// that nothing the install registered goes with it. Their way back is kept
// on disc until they have ended: a run that is stopped part way is undone
// by the next one.
void RunLockedChanges(const CommandLineOptions& options) {
    const auto lock = AcquireRunLock();
    if (!lock) {
        return;
    }
    PendingDeletions pending;
    auto journal = RunJournal::Open(pending);
    if (journal.hasError()) {
        reportError(journal.error());
        return;
    }
    bool settled = false;
    if (options.install) {
        settled = InstallAfresh(options.path, pending, journal.value().state());
    } else {
        Uninstall(pending).onError(reportError);
        settled = !journal.value().carriesEarlierRun();
    }
    journal.value().Close(!settled);
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
