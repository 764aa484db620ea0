#include "sdk/RecordedRun.h"

#include "log/Log.h"
#include "sdk/Rollback.h"

#include <memory>
#include <utility>

namespace {

// Writes the record with the changes so far before each change is made.
void WriteAheadInto(const RecoveryFolder& folder, RecoveryRecord& record) {
    auto head = std::make_shared<RecoveryRecord>();
    head->previous = record.previous;
    for (auto& file : head->previous.files) {
        file.bytes.reset(); // the text holds their digests; the copies hold them
    }
    head->recordFolders = record.recordFolders;
    record.changes.writeAhead = [folder,
                                 head](const RunChanges& changes) -> std::optional<Vexo::Error> {
        RecoveryRecord now{head->previous, changes, head->recordFolders};
        now.changes.writeAhead = nullptr;
        const auto written = folder.Write(now);
        if (written.hasError()) {
            return written.error();
        }
        return std::nullopt;
    };
}

} // namespace

RecordedRun::RecordedRun(RecoveryFolder folder, RecoveryRecord record, bool continuesEarlierRun)
    : m_folder(std::move(folder)), m_record(std::move(record)),
      m_continuesEarlierRun(continuesEarlierRun) {}

Expected<RecordedRun> RecordedRun::Begin(PendingDeletions& pending) {
    auto folder = RecoveryFolder::InProgramFiles();
    if (folder.hasError()) {
        return folder.error();
    }
    const RecoveryFolder& place = folder.value();
    if (auto refusal = place.FolderRefusal()) {
        return *refusal;
    }
    RecoveryRecord record;
    bool continuesEarlierRun = false;
    if (place.HoldsRecord()) {
        auto earlier = place.ReadRecord();
        if (earlier.hasError()) {
            // Left as it is, for an administrator to look at.
            return RecordRefused(place.recordPath(), earlier.error());
        }
        logWarning("An earlier run was interrupted; undoing what it changed.\n");
        RecoveryRecord& way = earlier.value();
        PendingDeletions undone;
        if (UndoChanges(way.changes, way.previous, undone)) {
            logInfo("Interrupted run undone.\n");
            // The restart's deletions reach the disc before the record that
            // led to them goes.
            undone.ScheduleForRestart();
            place.Remove(way);
        } else {
            pending = undone;
            record = std::move(way);
            continuesEarlierRun = true;
        }
    }
    if (!continuesEarlierRun) {
        const auto prepared = place.Prepare(record.recordFolders);
        if (prepared.hasError()) {
            return prepared.error();
        }
        auto previous = RememberInstallation();
        if (previous.hasError()) {
            place.Remove(record);
            return previous.error();
        }
        record.previous = std::move(previous.value());
    }
    auto begun = place.SaveCopies(record.previous);
    if (!begun.hasError()) {
        begun = place.Write(record);
    }
    if (begun.hasError()) {
        if (!continuesEarlierRun) {
            place.Remove(record);
        }
        return begun.error();
    }
    WriteAheadInto(place, record);
    return RecordedRun(std::move(folder.value()), std::move(record), continuesEarlierRun);
}

void RecordedRun::End(RecordAtEnd ending) const {
    if (ending == RecordAtEnd::Remove) {
        m_folder.Remove(m_record);
    }
}

EarlierRun FindEarlierRun() {
    const auto folder = RecoveryFolder::InProgramFiles();
    if (folder.hasError()) {
        return {};
    }
    if (auto refusal = folder.value().FolderRefusal()) {
        return {EarlierRun::Found::UnusableFolder, L"", refusal->message};
    }
    if (!folder.value().HoldsRecord()) {
        return {};
    }
    const bool usable = !folder.value().ReadRecord().hasError();
    return {usable ? EarlierRun::Found::Record : EarlierRun::Found::UnusableRecord,
            folder.value().recordPath(),
            {}};
}
