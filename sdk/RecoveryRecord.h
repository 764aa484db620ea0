#pragma once

#include "core/Expected.h"
#include "sdk/PreviousInstallation.h"
#include "sdk/RunChanges.h"

#include <string>
#include <vector>

// The recovery record: the way back of one install or uninstall. It lies in
// the recovery folder (RecoveryFolder.h) from before the run changes
// anything until the run has ended normally, and every change is noted in
// it before it is made, so that a run stopped at any point is undone by the
// next one (RecordedRun.h) with the same UndoChanges that a failed install
// uses (Rollback.h):
//
// clang-format off
// | the run                   | noted as                    | the undo                         |
// |---------------------------|-----------------------------|----------------------------------|
// | finds the registered SDK  | named32/64; file, views,    | writes each back from its copy   |
// | files                     | saved (a copy beside the    | where it is gone or differs;     |
// |                           | record, its size, SHA-256)  | registers it again where a view  |
// |                           |                             | no longer names it               |
// | makes a folder            | folder, with its files      | removes it when empty (or at the |
// |                           |                             | restart)                         |
// | writes a DLL              | written, size and SHA-256   | deletes it while it holds those  |
// |                           |                             | bytes                            |
// | renames a DLL in use      | aside, size and SHA-256     | deletes it while it holds those  |
// | aside                     |                             | bytes (or at the restart)        |
// | hands a DLL to regsvr32   | handed; then registered     | unregisters it where a view      |
// |                           |                             | names it because of the run      |
// | makes the record's own    | made                        | removes them with the record,    |
// | folders                   |                             | when empty                       |
// clang-format on
//
// The next run uses a record only when it can be trusted: its folders and
// file can be changed by administrators only, it is whole (its last line
// holds the SHA-256 of all before it) and every path in it is one a run
// could have made. Otherwise it leaves the record alone and changes
// nothing. A saved copy that no longer holds the bytes noted for it is not
// written back, and the undo is incomplete. An undo that is complete ends
// the record; one that is not keeps it as the way back until a run
// completes.
struct RecoveryRecord {
    PreviousInstallation previous;
    RunChanges changes;
    // The folders that runs made to keep the record in, outermost first.
    std::vector<std::wstring> recordFolders;
};

// The record's text, every path in it made full. One field a line: its name,
// the length of its value in bytes, a colon and the value in UTF-8.
std::string RecordText(const RecoveryRecord& record);

// The name beside the record of the saved copy of the `index`th previous file.
std::wstring SavedCopyName(std::size_t index);

// The record that `text` holds, without the bytes of the saved copies,
// when it is a whole record of this version and every path in it is one a
// run could have made; `recordFolders` are the folders that runs make for
// the record. Otherwise the reason: "it is damaged" or "it names a file
// that is not the SDK's: <path>".
Expected<RecoveryRecord> ReadRecordText(const std::string& text,
                                        const std::vector<std::wstring>& recordFolders);
