#include "sdk/Install.h"

#include "core/OnExit.h"
#include "core/Text.h"
#include "log/Log.h"
#include "platform/FileRemoval.h"
#include "platform/FileWriter.h"
#include "platform/FullPath.h"
#include "platform/HeldFile.h"
#include "platform/HeldFolder.h"
#include "platform/ServerRegistration.h"
#include "platform/Wow64Path.h"
#include "sdk/ComponentTable.h"
#include "sdk/InstallFolder.h"
#include "sdk/Registrations.h"

#include <optional>
#include <vector>

namespace fs = std::filesystem;
using Vexo::Platform::HeldFile;

namespace {

// One DLL on its way to being registered: its file, held since it was
// written or found, or nothing when it could not be held.
struct Extracted {
    FileEntry entry;
    std::optional<HeldFile> held;
};

// The file there is registered only when it is this version's DLL: a file of
// someone else's at the target must never be loaded by this elevated process.
// Nothing when it is not; the file is then left as it is.
std::optional<Extracted> HoldIfOurs(const fs::path& target, const std::vector<std::uint8_t>& bytes,
                                    bool logAdding) {
    auto held = HeldFile::Hold(target.wstring());
    const std::string targetText = toNarrow(target.wstring());
    if (held && !held->Contains(bytes)) {
        logError("Not registered, not this version's DLL: %s\n", targetText.c_str());
        return std::nullopt;
    }
    if (logAdding) {
        logInfo("Adding %s to the register list so that something will be registered.\n",
                targetText.c_str());
    }
    return Extracted{FileEntry{target.wstring(), true, false}, std::move(held)};
}

// Writes one DLL. A target that cannot be written is still registered when
// it holds this version's bytes; a file that opened but was not written
// whole is never registered.
std::optional<Extracted> ExtractComponent(const SdkComponent& component, const fs::path& folder,
                                          InstallChanges& changes) {
    const auto bytes = Vexo::Resources::ReadResource(component.fileName, component.resourceType);
    if (bytes.hasError()) {
        logError("%s", bytes.error().message.c_str());
        return std::nullopt;
    }
    const fs::path target = folder / component.fileName;
    const std::string targetText = toNarrow(target.wstring());
    // The system's files are not the tool's to write or to register.
    if (Vexo::Platform::IsInWindowsFolder(target.wstring()) ||
        !changes.AboutToWrite(target.wstring())) {
        logWarning("Could not write: %s unable to extract file.\n", targetText.c_str());
        return std::nullopt;
    }
    switch (Vexo::Platform::WriteWholeFile(target, bytes.value())) {
    case Vexo::Platform::WriteOutcome::Written:
        logInfo("Written: %s bytes: %zu\n", targetText.c_str(), bytes.value().size());
        return HoldIfOurs(target, bytes.value(), false);
    case Vexo::Platform::WriteOutcome::NotOpened:
        changes.NotWritten(target.wstring());
        logWarning("Could not write: %s unable to extract file.\n", targetText.c_str());
        return HoldIfOurs(target, bytes.value(), true);
    case Vexo::Platform::WriteOutcome::Incomplete:
        logError("Could not write all of: %s\n", targetText.c_str());
        return std::nullopt;
    }
    return std::nullopt;
}

// A file that could not be held, or whose folder could not be, might change
// under regsvr32, so it is not handed to it.
bool Register(Extracted& extracted, bool folderHeld, InstallChanges& changes) {
    if (!folderHeld || !extracted.held || !changes.AboutToRegister(extracted.entry.path)) {
        LogUnableToRegister(extracted.entry.path);
        return false;
    }
    const bool registered = RegisterFile(extracted.entry);
    extracted.held.reset();
    if (registered) {
        changes.Registered(extracted.entry.path);
    }
    return registered;
}

} // namespace

Expected<bool> Install(fs::path path, InstallChanges& changes) {
    logInfo("Starting install\n");
    const OnExit exitLog([] { logInfo("Exiting install\n"); });
    const OnExit comRelease = OpenComScope();

    const auto folder = SelectInstallFolder(std::move(path), changes);
    if (folder.hasError()) {
        return folder.error();
    }
    // Held from before the first write until the last regsvr32 has ended.
    const auto heldFolder =
        Vexo::Platform::HeldFolder::Hold(Vexo::Platform::FullPath(folder.value().wstring()));
    std::vector<Extracted> registerList;
    for (const auto& component : ComponentTable) {
        if (auto extracted = ExtractComponent(component, folder.value(), changes)) {
            registerList.push_back(std::move(*extracted));
        }
    }
    std::size_t registered = 0;
    for (auto& extracted : registerList) {
        registered += Register(extracted, heldFolder.has_value(), changes) ? 1 : 0;
    }
    changes.complete = registered == ComponentTable.size();
    return true;
}
