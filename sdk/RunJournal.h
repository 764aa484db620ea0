#pragma once

#include "core/Expected.h"
#include "sdk/PendingDeletions.h"
#include "sdk/RecoveryRecord.h"
#include "sdk/RecoveryState.h"

// The way back of one install or uninstall, kept on disc from before the run
// changes anything until it has ended normally.
class RunJournal {
public:
    // First undoes what an interrupted run left recorded (a file in use goes
    // at the next restart, through `pending`), saying so. Then begins this
    // run's record: from the machine as it is now, or, when the earlier run
    // could not be undone completely, from the way back it left, which
    // still counts. An error when no record can be kept: then nothing may
    // be changed.
    static Expected<RunJournal> Open(PendingDeletions& pending);

    // What was there before, and the changes, kept on disc as they are noted.
    RecoveryState& state() { return m_state; }

    // An earlier run's way back is still the one that counts.
    bool carriesEarlierRun() const { return m_carriesEarlierRun; }

    // The run has ended normally: its record goes, unless the way back is
    // still needed (the machine is not as it was, and not as it is meant to be).
    void Close(bool keepWayBack) const;

private:
    RunJournal(RecoveryRecord record, RecoveryState state, bool carriesEarlierRun);

    RecoveryRecord m_record;
    RecoveryState m_state;
    bool m_carriesEarlierRun;
};

// Whether a run was interrupted and left its way back on disc.
bool InterruptedRunRecorded();
