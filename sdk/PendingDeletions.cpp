#include "sdk/PendingDeletions.h"

#include "core/Text.h"
#include "log/Log.h"
#include "platform/DelayedDeletion.h"
#include "platform/FreshFile.h"
#include "platform/FullPath.h"
#include "platform/PathPresence.h"
#include "platform/Registry.h"
#include "sdk/ComponentTable.h"
#include "sdk/Registrations.h"

#include <filesystem>
#include <optional>
#include <system_error>

namespace {

using Vexo::Platform::FullPath;

// Nothing but `scheduled` files is left in the folder.
bool EmptyOnceGone(const std::wstring& folder, const std::vector<std::wstring>& scheduled) {
    std::error_code error;
    std::filesystem::directory_iterator entries(FullPath(folder), error);
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        if (!Vexo::Platform::AnySameFileOnDisc(scheduled, entries->path().wstring())) {
            return false;
        }
    }
    return !error;
}

void LogScheduled(const std::wstring& path) {
    logWarning("Scheduled for deletion at the next restart: %s\n", toNarrow(path).c_str());
}

// A file is first renamed aside (unless it is such a copy already), so that
// the restart deletes only this copy: a later install may put and register a
// new file under the same name before the machine restarts. The log names it
// as it was named. Gives the path the restart deletes.
std::optional<std::wstring> ScheduleFile(const std::wstring& file) {
    std::wstring onDisc = FullPath(file);
    if (!IsAsideCopy(onDisc)) {
        const std::wstring aside = Vexo::Platform::FreshName(onDisc, 0, L"old");
        if (Vexo::Platform::MoveAside(onDisc, aside)) {
            onDisc = aside;
        }
    }
    if (!Vexo::Platform::DeleteAtRestart(onDisc)) {
        return std::nullopt;
    }
    LogScheduled(file);
    return onDisc;
}

bool ScheduleFolder(const std::wstring& folder) {
    if (!Vexo::Platform::DeleteAtRestart(FullPath(folder))) {
        return false;
    }
    LogScheduled(folder);
    return true;
}

} // namespace

void PendingDeletions::AddFile(const std::wstring& path) {
    Vexo::Platform::AddOnce(m_files, path);
}

void PendingDeletions::AddFolder(const std::wstring& path) {
    Vexo::Platform::AddOnce(m_folders, path);
}

bool PendingDeletions::EmptiesFolder(const std::wstring& folder) const {
    return EmptyOnceGone(folder, m_files);
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
        if (Vexo::Platform::IsPresent(folder) && EmptyOnceGone(folder, scheduled)) {
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
