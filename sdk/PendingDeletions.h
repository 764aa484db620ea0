#pragma once

#include <string>
#include <vector>

// Whether nothing is in `folder` but `files` and copies renamed aside for a
// restart, this run's or an earlier one's.
bool HoldsOnlyWhatWaits(const std::wstring& folder, const std::vector<std::wstring>& files);

// What one run meant to delete and could not: copies of files in use that it
// renamed aside, and the folders that held them. Install and uninstall add to
// it; at the end of the run what is still there and not registered again by
// then is deleted at the next restart, the files before their folders.
class PendingDeletions {
public:
    // A copy renamed aside; any other file is renamed aside when it is
    // scheduled, or, when it cannot be, left where it is.
    void AddFile(const std::wstring& path);
    void AddFolder(const std::wstring& path);

    // Whether nothing but files left to the restart is in the folder.
    bool EmptiesFolder(const std::wstring& folder) const;

    // Logs "Scheduled for deletion at the next restart: " at Warning for each
    // path it schedules, and "Not deleted, in use: " for a file it cannot
    // rename aside. A folder goes only when nothing but scheduled files is
    // left in it.
    void ScheduleForRestart() const;

private:
    std::vector<std::wstring> m_files;
    std::vector<std::wstring> m_folders;
};
