#include "sdk/PendingDeletions.h"

#include "core/Text.h"
#include "log/Log.h"
#include "platform/DelayedDeletion.h"
#include "platform/FileRemoval.h"
#include "platform/FullPath.h"
#include "platform/PassingHold.h"
#include "platform/PathPresence.h"
#include "platform/Registry.h"
#include "sdk/ComponentTable.h"
#include "sdk/FileDeletion.h"
#include "sdk/Registrations.h"

#include <filesystem>
#include <optional>
#include <system_error>

namespace {

using Vexo::Platform::FullPath;

void LogScheduled(const std::wstring& path) {
    logWarning("Scheduled for deletion at the next restart: %s\n", toNarrow(path).c_str());
}

// Only a copy renamed aside is scheduled, never a file under its own name: an
// install before the restart may put and register a new file under that
// name, which the restart would then take. So any other file is renamed
// aside first, or, held by someone the whole time, stays where it is. A copy
// that nothing has in use any more (its program ended meanwhile) is deleted
// now; trying takes a read-only attribute off, which the restart would not
// get past. Gives the path the restart deletes.
std::optional<std::wstring> ScheduleFile(const std::wstring& file) {
    std::wstring copy = file;
    if (!IsAsideCopy(file)) {
        const auto aside = Vexo::Platform::MoveAside(file, Vexo::Platform::passingHoldMilliseconds);
        if (aside.hasError()) {
            LogLeftInUse(file, aside.error().code);
            return std::nullopt;
        }
        copy = aside.value();
    }
    if (DeleteFiles({FileEntry{copy, true, false}}).front().deleted) {
        logInfo("Deleted: %s\n", toNarrow(copy).c_str());
        return std::nullopt;
    }
    if (!Vexo::Platform::DeleteAtRestart(FullPath(copy))) {
        return std::nullopt;
    }
    LogScheduled(copy);
    return FullPath(copy);
}

bool ScheduleFolder(const std::wstring& folder) {
    if (!Vexo::Platform::DeleteAtRestart(FullPath(folder))) {
        return false;
    }
    LogScheduled(folder);
    return true;
}

} // namespace

bool HoldsOnlyWhatWaits(const std::wstring& folder, const std::vector<std::wstring>& files) {
    std::error_code error;
    std::filesystem::directory_iterator entries(FullPath(folder), error);
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        const std::wstring path = entries->path().wstring();
        if (!IsAsideCopy(path) && !Vexo::Platform::AnySameFileOnDisc(files, path)) {
            return false;
        }
    }
    return !error;
}

void PendingDeletions::AddFile(const std::wstring& path) {
    Vexo::Platform::AddOnce(m_files, path);
}

void PendingDeletions::AddFolder(const std::wstring& path) {
    Vexo::Platform::AddOnce(m_folders, path);
}

bool PendingDeletions::EmptiesFolder(const std::wstring& folder) const {
    return HoldsOnlyWhatWaits(folder, m_files);
}

void PendingDeletions::ScheduleForRestart() const {
    std::vector<std::wstring> scheduled;
    for (const auto& file : m_files) {
        // A later step of this run may have registered the path again.
        if (!Vexo::Platform::IsPresent(file) || IsRegistered(file)) {
            continue;
        }
        if (const auto onDisc = ScheduleFile(file)) {
            scheduled.push_back(*onDisc);
        }
    }
    bool anyFolder = false;
    for (const auto& folder : m_folders) {
        if (Vexo::Platform::IsPresent(folder) && HoldsOnlyWhatWaits(folder, scheduled)) {
            anyFolder = ScheduleFolder(folder) || anyFolder;
        }
    }
    // The deletions are kept in the registry, which the system writes
    // lazily; they reach the disc before the run's record goes.
    if (!scheduled.empty() || anyFolder) {
        FlushRegistryKey(HKEY_LOCAL_MACHINE,
                         L"SYSTEM\\CurrentControlSet\\Control\\Session Manager");
    }
}
