#pragma once

#include "core/Expected.h"
#include "sdk/RecoveryRecord.h"

#include <optional>
#include <string>
#include <vector>

// Where a run keeps its recovery record: the folder Vexo\Rimkit\Recovery
// under the 64-bit Program Files folder, which only administrators may
// change (the temporary folder, ProgramData and the install folder are open
// to others, who could plant a record there for the next elevated run to
// act on). Beside the record lie the saved copies of the previous files.
class RecoveryFolder {
public:
    // The error when the system does not report Program Files.
    static Expected<RecoveryFolder> InProgramFiles();

    const std::wstring& recordPath() const { return m_recordPath; }

    // Vexo, Vexo\Rimkit and Vexo\Rimkit\Recovery: the folders that runs
    // make for the record.
    const std::vector<std::wstring>& levels() const { return m_levels; }

    // Whether an earlier run left a record (or anything) at its path.
    bool HoldsRecord() const;

    // Why the folders that are there cannot keep a record, which nothing may
    // be changed for: "The recovery folder cannot be kept: <folder> is a link
    // (is not a folder, or others than administrators can change <folder>).
    // Nothing was changed." Nothing when they can, or are not there yet.
    std::optional<Vexo::Error> FolderRefusal() const;

    // The record an earlier run left, with the bytes of those saved copies
    // that still hold what it noted for them, when it can be trusted;
    // otherwise why not: "others than administrators can change it", "it is
    // damaged" or "it names a file that is not the SDK's: <path>". Reads
    // only; changes nothing.
    Expected<RecoveryRecord> ReadRecord() const;

    // Makes the missing folders, each with an access list of its own
    // (Recovery for administrators only), adding them to `made` before it
    // makes them. Never changes a folder that is there already: refuses one
    // that cannot keep a record (FolderRefusal).
    Expected<bool> Prepare(std::vector<std::wstring>& made) const;

    // Keeps a copy of each previous file that has bytes, then the record.
    // Each replaces what was there whole, tried again for a moment while
    // another program has it open. The error names the file and the Windows
    // error code.
    Expected<bool> SaveCopies(const PreviousInstallation& previous) const;
    Expected<bool> Write(const RecoveryRecord& record) const;

    // Deletes the record and the copies it names, by name (never what a link
    // there leads to), then the folders that runs made for it, where they
    // are empty.
    void Remove(const RecoveryRecord& record) const;

private:
    explicit RecoveryFolder(const std::wstring& programFiles);

    std::vector<std::wstring> m_levels;
    std::wstring m_recordPath;
};

// The line a refused record is reported with: "The recovery record <path>
// cannot be used: <reason>. Nothing was changed.", with the reason's code.
Vexo::Error RecordRefused(const std::wstring& recordPath, const Vexo::Error& reason);

// The code of a record that another program held for longer than a
// scanner's moment: it cannot be read now, and a later run can. Deployment
// systems retry a run that ends with this code.
inline constexpr std::int32_t unreadableNow = 1618;

inline constexpr char othersCanChangeIt[] = "others than administrators can change it";
