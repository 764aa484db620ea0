#include "sdk/StatusReport.h"

#include "core/Text.h"
#include "log/Log.h"
#include "platform/ContentDigest.h"
#include "platform/FileReader.h"
#include "platform/KnownFolders.h"
#include "platform/Registry.h"
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

// The digest of the DLL this program carries for `view`; nothing when it
// cannot be had, and then nothing can be told of a registered file.
std::optional<Vexo::Platform::ContentDigest> CarriedDllDigest(Vexo::Platform::Bitness view) {
    for (const auto& component : ComponentTable) {
        if (component.bitness == view) {
            return CarriedDigest(component);
        }
    }
    return std::nullopt;
}

// Names a registered file that is there but is not the DLL this version
// carries for its view: a stale, damaged or swapped DLL that the status line
// alone shows as installed. A file that cannot be read (or a folder) cannot
// be shown to be this version's, so it is named too.
void WarnIfNotThisVersions(const std::optional<std::wstring>& registeredPath,
                           Vexo::Platform::Bitness view) {
    if (!registeredPath) {
        return;
    }
    const std::wstring file = FileLoadedIn(view, *registeredPath);
    const auto carried = CarriedDllDigest(view);
    if (!carried || !IsOnDisc(file)) {
        return;
    }
    // A file larger than the DLL is not it, and is not read into memory.
    const auto bytes = Vexo::Platform::ReadFileUpTo(file, carried->size);
    if (!bytes || Vexo::Platform::DigestOf(*bytes) != carried) {
        logWarning("Registered file is not this version's DLL: %s\n",
                   toNarrow(*registeredPath).c_str());
    }
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
    if (IsOnDisc(FileLoadedIn(view, *registeredPath))) {
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
    const auto registered32 = ReadRegistryString(HKEY_LOCAL_MACHINE, registrationKey32);
    const auto registered64 = ReadRegistryString(HKEY_LOCAL_MACHINE, registrationKey64);
    ReportComponentStatus(registered32, displayName32, Vexo::Platform::Bitness::Bits32);
    ReportComponentStatus(registered64, displayName64, Vexo::Platform::Bitness::Bits64);
    WarnIfNotThisVersions(registered32, Vexo::Platform::Bitness::Bits32);
    WarnIfNotThisVersions(registered64, Vexo::Platform::Bitness::Bits64);
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
