#include "sdk/Install.h"

#include "core/OnExit.h"
#include "core/Text.h"
#include "log/Log.h"
#include "platform/FileRemoval.h"
#include "platform/FileWriter.h"
#include "platform/ServerRegistration.h"
#include "sdk/ComponentTable.h"
#include "sdk/InstallFolder.h"
#include "sdk/Registrations.h"

namespace fs = std::filesystem;

namespace {

// Deletes the marked files, except those a registration names: a failed
// registration must not take away the copy that the machine still uses. What
// cannot be deleted now is left to `pending`.
void DeleteUnregisteredFiles(const FileList& fileList, PendingDeletions& pending) {
    for (const auto& entry : fileList) {
        if (!entry.marked) {
            continue;
        }
        if (IsRegistered(entry.path)) {
            logWarning("Not deleted, still registered: %s\n", toNarrow(entry.path).c_str());
            pending.AddFile(entry.path);
            continue;
        }
        for (const auto& outcome : DeleteMarkedFiles({entry})) {
            if (!outcome.deleted) {
                pending.AddFile(outcome.path);
            }
        }
    }
}

// Writes one DLL and adds it to the register list. A target that cannot be
// opened is still listed, so that a copy already there gets registered; a
// file that opened but was not written whole is never registered.
void ExtractComponent(const SdkComponent& component, const fs::path& folder, FileList& registerList,
                      PendingDeletions& pending) {
    const auto bytes = Vexo::Resources::ReadResource(component.fileName, component.resourceType);
    if (bytes.hasError()) {
        logError("%s", bytes.error().message.c_str());
        return;
    }
    const fs::path target = folder / component.fileName;
    const std::string targetText = toNarrow(target.wstring());
    switch (Vexo::Platform::WriteWholeFile(target, bytes.value())) {
    case Vexo::Platform::WriteOutcome::Written:
        logInfo("Written: %s bytes: %zu\n", targetText.c_str(), bytes.value().size());
        break;
    case Vexo::Platform::WriteOutcome::NotOpened:
        logWarning("Could not write: %s unable to extract file.\n", targetText.c_str());
        logInfo("Adding %s to the register list so that something will be registered.\n",
                targetText.c_str());
        break;
    case Vexo::Platform::WriteOutcome::Incomplete:
        logError("Could not write all of: %s\n", targetText.c_str());
        DeleteUnregisteredFiles({FileEntry{target.wstring(), true, false}}, pending);
        return;
    }
    registerList.push_back(FileEntry{target.wstring(), true, false});
}

void Register(FileEntry& entry) {
    if (RunRegsvr32(entry.path, registerArguments)) {
        entry.marked = false;
        logInfo("Registered: %s\n", toNarrow(entry.path).c_str());
        return;
    }
    const std::string failure = "Unable to register: " + toNarrow(entry.path) +
                                " with args: " + toNarrow(registerArguments);
    logError("%s\n", failure.c_str());
}

} // namespace

Expected<bool> Install(fs::path path, PendingDeletions& pending) {
    logInfo("Starting install\n");
    const OnExit exitLog([] { logInfo("Exiting install\n"); });
    FileList registerList;
    const OnExit pendingDeletion(
        [&registerList, &pending] { DeleteUnregisteredFiles(registerList, pending); });
    const OnExit comRelease = OpenComScope();

    const auto folder = SelectInstallFolder(std::move(path));
    if (folder.hasError()) {
        return folder.error();
    }
    for (const auto& component : ComponentTable) {
        ExtractComponent(component, folder.value(), registerList, pending);
    }
    for (auto& entry : registerList) {
        Register(entry);
    }
    return true;
}
