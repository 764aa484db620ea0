#include "sdk/Uninstall.h"

#include "core/OnExit.h"
#include "core/Text.h"
#include "log/Log.h"
#include "platform/FolderProtection.h"
#include "platform/FullPath.h"
#include "platform/PathPresence.h"
#include "platform/WindowsFolder.h"
#include "platform/WindowsPath.h"
#include "sdk/ComScope.h"
#include "sdk/ComponentTable.h"
#include "sdk/FileDeletion.h"
#include "sdk/Registrations.h"

#include <algorithm>
#include <vector>

namespace {

// A registration can name any file; only the SDK's own DLLs are ours to
// unregister and delete.
bool IsSdkFile(const FileEntry& entry) {
    return FindComponent(entry.path) != nullptr;
}

FileList SdkFiles(const FileList& fileList) {
    FileList sdkFiles;
    std::copy_if(fileList.begin(), fileList.end(), std::back_inserter(sdkFiles), IsSdkFile);
    return sdkFiles;
}

// A file in the Windows folder is the system's, whatever its name; one that
// a registration still names (the other view's, or one whose unregistering
// did not take) is still that registration's.
void KeepWhatIsNotOursToDelete(FileList& fileList) {
    for (auto& entry : fileList) {
        if (!entry.marked) {
            continue;
        }
        if (Vexo::Platform::IsInWindowsFolder(entry.path)) {
            logWarning("Not deleted, in the Windows folder: %s\n", toNarrow(entry.path).c_str());
            entry.marked = false;
        } else if (SpareWhileRegistered(entry.path)) {
            entry.marked = false;
        }
    }
}

// Deleted now, renamed aside for the restart, or left where it is because
// someone holds it.
bool Emptied(const FileEntry& entry) {
    return entry.deleted || (entry.marked && Vexo::Platform::IsPresent(entry.path));
}

// The folder goes only with files this run deleted from it or left to the
// restart: a registration of a folder, of a missing file or of a relative
// path must not cost a folder.
bool EmptiedSharedParent(const FileList& outcome) {
    if (outcome.empty()) {
        return true; // still reports that there was nothing to check
    }
    const std::wstring parent = Vexo::Platform::ParentFolder(outcome.front().path.c_str());
    return std::any_of(outcome.begin(), outcome.end(), [&parent](const FileEntry& entry) {
        return Emptied(entry) &&
               Vexo::Platform::SameFolder(parent, Vexo::Platform::ParentFolder(entry.path.c_str()));
    });
}

// The files this run meant to delete and left where they are, in use.
std::vector<std::wstring> LeftInUse(const FileList& outcome) {
    std::vector<std::wstring> leftInUse;
    for (const auto& entry : outcome) {
        if (entry.marked && !entry.deleted) {
            leftInUse.push_back(entry.path);
        }
    }
    return leftInUse;
}

// New copies of the SDK's DLLs that a stopped write left beside them, never
// put in place and so never loaded, go too where the folder is one the tool
// may clean: one that others cannot change.
void DeleteUnplacedCopies(const std::optional<std::wstring>& folder) {
    if (folder && !Vexo::Platform::FirstUnprotectedLevel(*folder)) {
        DeleteCopiesIn(*folder, {L"new"});
    }
}

// Files in use are renamed aside and go at the next restart, and then their
// folder.
void CleanUp(const FileList& fileList, PendingDeletions& pending) {
    FileList sdkFiles = SdkFiles(fileList);
    KeepWhatIsNotOursToDelete(sdkFiles);
    const FileList outcome = DeleteMarkedFiles(sdkFiles, pending);
    if (!EmptiedSharedParent(outcome)) {
        return;
    }
    DeleteUnplacedCopies(SharedParentFolder(outcome));
    RemoveParentFolder(outcome).onError([&outcome, &pending](const Vexo::Error& error) {
        const auto folder = SharedParentFolder(outcome);
        // What stays only waits for the restart, or for its program to end:
        // keeping the folder for it is no failure.
        if (folder && HoldsOnlyWhatWaits(*folder, LeftInUse(outcome))) {
            logWarning("%s\n", error.message.c_str());
        } else {
            logError("%s\n", error.message.c_str());
        }
        if (folder) {
            pending.AddFolder(*folder);
        }
    });
}

void Unregister(FileEntry& entry) {
    if (!IsSdkFile(entry)) {
        logError("Not an SDK file, left alone: %s\n", toNarrow(entry.path).c_str());
        return;
    }
    UnregisterFile(entry);
}

bool Lists(const FileList& fileList, const std::wstring& path) {
    return std::any_of(fileList.begin(), fileList.end(), [&path](const FileEntry& entry) {
        return Vexo::Platform::SameFileOnDisc(entry.path, path);
    });
}

} // namespace

void CollectRegisteredFile(FileList& fileList, const std::optional<std::wstring>& registeredPath,
                           const std::string& notInstalledMessage) {
    if (!registeredPath) {
        logInfo("Found: %s\n", notInstalledMessage.c_str());
        return;
    }
    // One file registered in both views is handled once.
    if (!Lists(fileList, *registeredPath)) {
        fileList.push_back(FileEntry{*registeredPath, false, false});
    }
}

Expected<bool> Uninstall(PendingDeletions& pending) {
    logInfo("Starting uninstall\n");
    const OnExit exitLog([] { logInfo("Exiting uninstall\n"); });
    const OnExit comRelease = OpenComScope();

    FileList fileList;
    // Each view's file as its programs open it: one 32-bit registration of
    // System32 names a file in SysWOW64.
    CollectRegisteredFile(fileList, RegisteredPath(Vexo::Platform::Bitness::Bits32),
                          "Rimkit 32bit DLL not installed.");
    CollectRegisteredFile(fileList, RegisteredPath(Vexo::Platform::Bitness::Bits64),
                          "Rimkit  64bit DLL not installed.");

    const OnExit cleanup([&fileList, &pending] { CleanUp(fileList, pending); });
    for (auto& entry : fileList) {
        Unregister(entry);
    }
    return true;
}
