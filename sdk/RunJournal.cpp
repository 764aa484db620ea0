#include "sdk/RunJournal.h"

#include "core/Text.h"
#include "log/Log.h"
#include "sdk/Rollback.h"

#include <utility>

namespace {

// Undoes the earlier run. Gives its way back when that is still needed.
std::optional<RecoveryState> UndoEarlierRun(const RecoveryRecord& record, PendingDeletions& pending,
                                            std::vector<std::wstring>& recordFolders) {
    logWarning("An earlier run was interrupted; undoing what it changed.\n");
    auto earlier = record.Read();
    if (earlier.hasError()) {
        // Nothing in it can be used; a record of this run's takes its place.
        logError("Rollback incomplete: %s\n", toNarrow(record.path()).c_str());
        return std::nullopt;
    }
    RecoveryState& state = earlier.value();
    if (!UndoChanges(state.changes, state.previous, pending)) {
        return std::move(state);
    }
    logInfo("Interrupted run undone.\n");
    recordFolders = state.recordFolders;
    return std::nullopt;
}

} // namespace

RunJournal::RunJournal(RecoveryRecord record, RecoveryState state, bool carriesEarlierRun)
    : m_record(std::move(record)), m_state(std::move(state)),
      m_carriesEarlierRun(carriesEarlierRun) {}

Expected<RunJournal> RunJournal::Open(PendingDeletions& pending) {
    auto record = RecoveryRecord::InProgramFiles();
    if (!record) {
        return Vexo::Error("Unable to find the Program Files folder.", 0);
    }
    RecoveryState state;
    std::optional<RecoveryState> earlier;
    if (record->Exists()) {
        earlier = UndoEarlierRun(*record, pending, state.recordFolders);
    }
    if (earlier) {
        state = std::move(*earlier);
    } else {
        state.previous = RememberInstallation();
    }
    const auto begun = record->Begin(state);
    if (begun.hasError()) {
        return begun.error();
    }
    state.changes.keep = [kept = *record](const InstallChanges& changes) {
        return kept.Update(changes);
    };
    return RunJournal(std::move(*record), std::move(state), earlier.has_value());
}

void RunJournal::Close(bool keepWayBack) const {
    if (!keepWayBack) {
        m_record.Remove();
    }
}

bool InterruptedRunRecorded() {
    const auto record = RecoveryRecord::InProgramFiles();
    return record && record->Exists();
}
