#include "sdk/FileDeletion.h"

#include "core/Text.h"
#include "log/Log.h"
#include "platform/FullPath.h"
#include "platform/PassingHold.h"
#include "platform/PathPresence.h"
#include "sdk/ComponentTable.h"

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <iterator>
#include <system_error>
#include <vector>

namespace {

using Outcome = FileRemoval::Outcome;

// Renamed again, a copy would escape the restart it may be scheduled for.
FileRemoval DeleteCopy(const std::wstring& path) {
    if (DeleteFiles({FileEntry{path, true, false}}).front().deleted) {
        return {Outcome::Deleted, {}, 0};
    }
    if (Vexo::Platform::IsPresent(path)) {
        return {Outcome::MovedAside, path, 0};
    }
    return {Outcome::Failed, {}, 0};
}

// What became of each file, in order; the DLLs wait out a passing hold
// together.
std::vector<FileRemoval> Remove(const std::vector<std::wstring>& paths) {
    std::vector<std::wstring> dlls;
    std::copy_if(paths.begin(), paths.end(), std::back_inserter(dlls),
                 [](const std::wstring& path) { return !IsAsideCopy(path); });
    const std::vector<FileRemoval> dllRemovals =
        DeleteOrMoveAside(dlls, Vexo::Platform::passingHoldMilliseconds);
    std::vector<FileRemoval> removals;
    removals.reserve(paths.size());
    auto nextDll = dllRemovals.begin();
    for (const auto& path : paths) {
        removals.push_back(IsAsideCopy(path) ? DeleteCopy(path) : *nextDll++);
    }
    return removals;
}

void Report(const std::wstring& path, const FileRemoval& removal, PendingDeletions& pending) {
    const std::string text = toNarrow(path);
    switch (removal.outcome) {
    case Outcome::Deleted:
        logInfo("Deleted: %s\n", text.c_str());
        break;
    case Outcome::MovedAside:
        logWarning("Delete: Failed: %s\n", text.c_str());
        pending.AddFile(removal.aside);
        break;
    case Outcome::InUse:
        LogLeftInUse(path, removal.windowsError);
        break;
    case Outcome::Failed:
        logError("Delete: Failed: %s\n", text.c_str());
        break;
    }
}

// Deleted, or renamed to another name; a copy that stays for the restart
// is still where it was.
bool GoneFromItsPath(const std::wstring& path, const FileRemoval& removal) {
    return removal.outcome == Outcome::Deleted ||
           (removal.outcome == Outcome::MovedAside && removal.aside != path);
}

} // namespace

void LogLeftInUse(const std::wstring& path, std::int32_t windowsError) {
    logWarning("Not deleted, in use: %s (Windows error %d)\n", toNarrow(path).c_str(),
               static_cast<int>(windowsError));
}

FileList DeleteMarkedFiles(const FileList& fileList, PendingDeletions& pending) {
    FileList outcome = fileList;
    std::vector<FileEntry*> marked;
    std::vector<std::wstring> paths;
    for (auto& entry : outcome) {
        if (entry.marked) {
            marked.push_back(&entry);
            paths.push_back(entry.path);
        }
    }
    const std::vector<FileRemoval> removals = Remove(paths);
    for (std::size_t index = 0; index < marked.size(); ++index) {
        Report(marked[index]->path, removals[index], pending);
        marked[index]->deleted = GoneFromItsPath(marked[index]->path, removals[index]);
    }
    return outcome;
}

void DeleteCopiesIn(const std::wstring& folder, std::initializer_list<std::wstring_view> kinds) {
    FileList copies;
    std::error_code error;
    std::filesystem::directory_iterator entries(Vexo::Platform::FullPath(folder), error);
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        const std::wstring path = entries->path().wstring();
        std::error_code kind;
        if (entries->symlink_status(kind).type() == std::filesystem::file_type::regular &&
            std::any_of(kinds.begin(), kinds.end(), [&path](std::wstring_view copyKind) {
                return IsCopyOfComponent(path, copyKind);
            })) {
            copies.push_back(FileEntry{path, true, false});
        }
    }
    for (const auto& copy : DeleteFiles(copies)) {
        if (copy.deleted) {
            logInfo("Deleted: %s\n", toNarrow(copy.path).c_str());
        }
    }
}
