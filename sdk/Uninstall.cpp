#include "sdk/Uninstall.h"

#include "core/OnExit.h"
#include "core/Text.h"
#include "log/Log.h"
#include "platform/Registry.h"
#include "platform/ServerRegistration.h"
#include "sdk/ComponentTable.h"

namespace {

void CleanUp(const FileList& fileList) {
    DeleteMarkedFiles(fileList);
    RemoveParentFolder(fileList).onError(
        [](const Vexo::Error& error) { logError("%s\n", error.message.c_str()); });
}

void Unregister(FileEntry& entry) {
    if (RunRegsvr32(entry.path, unregisterArguments)) {
        entry.marked = true;
        logInfo("Unregistered: %s\n", toNarrow(entry.path).c_str());
        return;
    }
    const std::string failure = "Unable to unregister: " + toNarrow(entry.path) +
                                " with args: " + toNarrow(unregisterArguments);
    logError("%s\n", failure.c_str());
}

} // namespace

void CollectRegisteredFile(FileList& fileList, const std::optional<std::wstring>& registeredPath,
                           const std::string& notInstalledMessage) {
    if (registeredPath) {
        fileList.push_back(FileEntry{*registeredPath, false, false});
        return;
    }
    logInfo("Found: %s\n", notInstalledMessage.c_str());
}

Expected<bool> Uninstall() {
    logInfo("Starting uninstall\n");
    const OnExit exitLog([] { logInfo("Exiting uninstall\n"); });
    const OnExit comRelease = OpenComScope();

    FileList fileList;
    CollectRegisteredFile(fileList, ReadRegistryString(HKEY_LOCAL_MACHINE, registrationKey32),
                          "Rimkit 32bit DLL not installed.");
    CollectRegisteredFile(fileList, ReadRegistryString(HKEY_LOCAL_MACHINE, registrationKey64),
                          "Rimkit  64bit DLL not installed.");

    const OnExit cleanup([&fileList] { CleanUp(fileList); });
    for (auto& entry : fileList) {
        Unregister(entry);
    }
    return true;
}
