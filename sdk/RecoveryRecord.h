#pragma once

#include "core/Expected.h"
#include "sdk/RecoveryState.h"

#include <optional>
#include <string>
#include <vector>

// Where a run that changes the machine keeps its way back, so that it
// outlives the run when the run is stopped: the folder Vexo\Rimkit\Recovery
// under the 64-bit Program Files folder, where only administrators may
// write (the temporary folder, ProgramData and the install folder are open
// to others). Every write reaches the disc whole before the step it guards.
class RecoveryRecord {
public:
    // The record's place; nothing when the system does not report the folder.
    static std::optional<RecoveryRecord> InProgramFiles();

    bool Exists() const;

    // The state an earlier run left, with the bytes of its previous files.
    Expected<RecoveryState> Read() const;

    // Makes the record's folders (adding those it makes to the state), keeps
    // a copy of each previous file, then the record itself.
    Expected<bool> Begin(RecoveryState& state);

    // Keeps the changes made so far, with what Begin kept.
    bool Update(const InstallChanges& changes) const;

    // Removes the record, its copies, and its folders: its own one, and
    // those above it that runs made for it, where they are empty.
    void Remove() const;

    const std::wstring& path() const { return m_path; }

private:
    explicit RecoveryRecord(std::wstring folder);

    std::wstring m_folder;
    std::wstring m_path;
    RecoveryState m_kept; // without the previous files' bytes
    std::vector<std::wstring> m_savedCopies;
};
