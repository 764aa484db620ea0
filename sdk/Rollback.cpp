#include "sdk/Rollback.h"

#include "core/Text.h"
#include "log/Log.h"
#include "platform/FileReader.h"
#include "platform/FileWriter.h"
#include "platform/FullPath.h"
#include "platform/PathPresence.h"
#include "platform/Wow64Path.h"
#include "sdk/Registrations.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;
using Vexo::Platform::Bitness;

namespace {

void UnregisterNewFiles(const InstallChanges& changes) {
    for (const auto& path : changes.registered) {
        FileEntry entry{path, false, false};
        UnregisterFile(entry);
    }
}

// A new file that a registration still names (its unregistering failed, or it
// is where the previous installation's file was) stays.
void DeleteNewFiles(const InstallChanges& changes, PendingDeletions& pending) {
    for (const auto& path : changes.written) {
        if (!Vexo::Platform::IsPresent(path)) {
            continue;
        }
        if (IsRegistered(path)) {
            logWarning("Not deleted, still registered: %s\n", toNarrow(path).c_str());
            continue;
        }
        for (const auto& outcome : DeleteMarkedFiles({FileEntry{path, true, false}})) {
            if (!outcome.deleted) {
                pending.AddFile(outcome.path);
            }
        }
    }
}

void RemoveCreatedFolders(const InstallChanges& changes, PendingDeletions& pending) {
    for (auto folder = changes.createdFolders.rbegin(); folder != changes.createdFolders.rend();
         ++folder) {
        std::error_code error;
        if (!fs::remove(*folder, error) && Vexo::Platform::IsPresent(folder->wstring())) {
            pending.AddFolder(folder->wstring());
        }
    }
}

bool HoldsItsBytes(const RememberedFile& file) {
    return Vexo::Platform::ReadWholeFile(file.path) == file.bytes;
}

// The remembered file is where it was, byte for byte.
bool PutBack(const RememberedFile& file) {
    if (!file.bytes) {
        return Vexo::Platform::IsPresent(file.path);
    }
    if (Vexo::Platform::IsPresent(file.path) && HoldsItsBytes(file)) {
        return true;
    }
    // The system's files are never written (uninstall leaves them as they were).
    if (Vexo::Platform::IsInWindowsFolder(file.path)) {
        return false;
    }
    std::error_code error;
    fs::create_directories(fs::path(Vexo::Platform::FullPath(file.path)).parent_path(), error);
    if (Vexo::Platform::WriteWholeFile(file.path, *file.bytes) !=
        Vexo::Platform::WriteOutcome::Written) {
        return false;
    }
    logInfo("Restored: %s\n", toNarrow(file.path).c_str());
    return true;
}

// Every view that named the file names it again.
bool RegisterAgain(const RememberedFile& file) {
    const auto namesIt = [&file](Bitness view) { return IsRegisteredIn(view, file.path); };
    if (!std::all_of(file.views.begin(), file.views.end(), namesIt)) {
        FileEntry entry{file.path, false, false};
        RegisterFile(entry);
    }
    return std::all_of(file.views.begin(), file.views.end(), namesIt);
}

bool SameRegistration(const std::optional<std::wstring>& before,
                      const std::optional<std::wstring>& now) {
    if (!before || !now) {
        return !before && !now;
    }
    return Vexo::Platform::SameFileOnDisc(*before, *now);
}

bool IsRemembered(const PreviousInstallation& previous, const std::optional<std::wstring>& path) {
    return path && std::any_of(previous.files.begin(), previous.files.end(),
                               [&path](const RememberedFile& file) {
                                   return Vexo::Platform::SameFileOnDisc(file.path, *path);
                               });
}

void ReportIncomplete(const std::wstring& path) {
    logError("Rollback incomplete: %s\n", toNarrow(path).c_str());
}

// A view that named no remembered file must name what it named before: no
// new file that could not be unregistered, nothing lost.
bool ViewIsAsBefore(const PreviousInstallation& previous, Bitness view) {
    const auto& before = view == Bitness::Bits32 ? previous.named32 : previous.named64;
    const auto now = RegisteredPath(view);
    if (IsRemembered(previous, before) || SameRegistration(before, now)) {
        return true;
    }
    ReportIncomplete(now ? *now : *before);
    return false;
}

} // namespace

void RollBack(const InstallChanges& changes, const PreviousInstallation& previous,
              PendingDeletions& pending) {
    logError("Install failed; rolling back.\n");
    UnregisterNewFiles(changes);
    DeleteNewFiles(changes, pending);
    RemoveCreatedFolders(changes, pending);

    std::vector<bool> putBack;
    for (const auto& file : previous.files) {
        putBack.push_back(PutBack(file));
    }
    bool complete = true;
    for (std::size_t index = 0; index < previous.files.size(); ++index) {
        const RememberedFile& file = previous.files[index];
        if (!putBack[index] || !RegisterAgain(file)) {
            ReportIncomplete(file.path);
            complete = false;
        }
    }
    for (const auto view : {Bitness::Bits32, Bitness::Bits64}) {
        complete = ViewIsAsBefore(previous, view) && complete;
    }
    if (complete) {
        logInfo("Rollback complete: the machine is as it was before this install.\n");
    }
}
