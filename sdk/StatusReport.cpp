#include "sdk/StatusReport.h"

#include "core/Text.h"
#include "log/Log.h"
#include "platform/KnownFolders.h"
#include "platform/Registry.h"
#include "platform/Wow64Path.h"
#include "sdk/ComponentTable.h"
#include "sdk/Registrations.h"
#include "sdk/RecordedRun.h"

namespace {

void LogKnownFolders() {
    for (const auto& [token, folder] : MakeKnownFolderMap()) {
        logInfo("Id: %s == %s\n", toNarrow(token).c_str(), toNarrow(folder).c_str());
    }
}

void LogLegend() {
    logInfo("Installed: Entry found in the registry and file found on disc.\n");
    logInfo("Not installed: No entry found in the registry.\n");
    logInfo("Not found: Entry found in the registry but file not found on disc.\n");
}

} // namespace

void ReportComponentStatus(const std::optional<std::wstring>& registeredPath,
                           const std::string& displayName, Vexo::Platform::Bitness view) {
    if (!registeredPath) {
        logInfo("Status: %s: Not installed\n", displayName.c_str());
        return;
    }
    // The line shows the path as registered, which is what a detection rule
    // compares; the file judged is the one a program of that view loads.
    const std::string path = toNarrow(*registeredPath);
    const std::wstring file = view == Vexo::Platform::Bitness::Bits32
                                  ? Vexo::Platform::FileSeenBy32BitPrograms(*registeredPath)
                                  : *registeredPath;
    if (IsOnDisc(file)) {
        logInfo("Status: %s: Installed at: %s\n", displayName.c_str(), path.c_str());
    } else {
        logInfo("Status: %s: Not found at: %s\n", displayName.c_str(), path.c_str());
    }
}

void ReportStatus() {
    LogKnownFolders();
    logInfo("\n");
    LogLegend();
    logInfo("\n");
    ReportComponentStatus(ReadRegistryString(HKEY_LOCAL_MACHINE, registrationKey32), displayName32,
                          Vexo::Platform::Bitness::Bits32);
    ReportComponentStatus(ReadRegistryString(HKEY_LOCAL_MACHINE, registrationKey64), displayName64,
                          Vexo::Platform::Bitness::Bits64);
    const EarlierRun earlier = FindEarlierRun();
    if (earlier.found == EarlierRun::Found::Record) {
        logWarning("An earlier run was interrupted; the next install or uninstall undoes what it "
                   "changed.\n");
    } else if (earlier.found == EarlierRun::Found::UnusableFolder) {
        logWarning("%s\n", earlier.folderRefusal.c_str());
    } else if (earlier.found == EarlierRun::Found::UnusableRecord) {
        logWarning("An earlier run was interrupted, and its recovery record cannot be used: %s\n",
                   toNarrow(earlier.recordPath).c_str());
    }
}
