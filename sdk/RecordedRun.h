#pragma once

#include "core/Expected.h"
#include "sdk/PendingDeletions.h"
#include "sdk/RecoveryFolder.h"
#include "sdk/RecoveryRecord.h"

#include <string>

// What becomes of a run's recovery record when the run ends normally.
enum class RecordAtEnd {
    Remove,      // the machine is as it was, or as it is meant to be
    KeepWayBack, // neither: the next run still needs the way back
};

// One install or uninstall with its recovery record, kept on disc from
// before the run changes anything until it has ended normally.
class RecordedRun {
public:
    // First undoes what an interrupted run left recorded (a file in use goes
    // at the next restart, through `pending`), saying so. Then begins this
    // run's record: from the machine as it is now, or, when the earlier run
    // could not be undone completely, from the way back it left, which still
    // counts. An error when no record can be kept, or when an earlier
    // record cannot be trusted: then nothing has been changed, and nothing
    // may be.
    static Expected<RecordedRun> Begin(PendingDeletions& pending);

    // What was there before, and the changes, written ahead as they are noted.
    RecoveryRecord& record() { return m_record; }

    // An earlier run's way back is still the one that counts.
    bool continuesEarlierRun() const { return m_continuesEarlierRun; }

    void End(RecordAtEnd ending) const;

private:
    RecordedRun(RecoveryFolder folder, RecoveryRecord record, bool continuesEarlierRun);

    RecoveryFolder m_folder;
    RecoveryRecord m_record;
    bool m_continuesEarlierRun;
};

// What the status report tells of an earlier run.
struct EarlierRun {
    enum class Found { Nothing, Record, UnusableRecord, UnusableFolder } found = Found::Nothing;
    std::wstring recordPath;
    std::string folderRefusal; // why the folder cannot keep a record
};
EarlierRun FindEarlierRun();
