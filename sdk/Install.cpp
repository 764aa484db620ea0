#include "sdk/Install.h"

#include "core/OnExit.h"
#include "core/Text.h"
#include "log/Log.h"
#include "platform/DelayedDeletion.h"
#include "platform/FileRemoval.h"
#include "platform/FileWriter.h"
#include "platform/FullPath.h"
#include "platform/HeldFile.h"
#include "platform/HeldFolder.h"
#include "platform/PassingHold.h"
#include "sdk/ComScope.h"
#include "sdk/ComponentTable.h"
#include "sdk/InstallFolder.h"
#include "sdk/Registrations.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace fs = std::filesystem;
using Vexo::Platform::HeldFile;
using Vexo::Platform::passingHoldMilliseconds;

namespace {

// One DLL the program carries: its bytes and their digest, or why not.
struct Payload {
    const SdkComponent* component;
    Expected<std::vector<std::uint8_t>> bytes;
    Vexo::Platform::ContentDigest digest;
};

std::vector<Payload> ReadPayloads() {
    std::vector<Payload> payloads;
    for (const auto& component : ComponentTable) {
        Payload payload{&component,
                        Vexo::Resources::ReadResource(component.fileName, component.resourceType),
                        {}};
        if (payload.bytes.hasValue()) {
            const auto digest = Vexo::Platform::DigestOf(payload.bytes.value());
            if (!digest) {
                payload.bytes = Vexo::Error("Unable to hash " + toNarrow(component.fileName), 0);
            } else {
                payload.digest = *digest;
            }
        }
        payloads.push_back(std::move(payload));
    }
    return payloads;
}

// The files the install is to write, by name.
std::vector<MadeFile> FilesToWrite(const std::vector<Payload>& payloads) {
    std::vector<MadeFile> files;
    for (const auto& payload : payloads) {
        if (payload.bytes.hasValue()) {
            files.push_back(MadeFile{payload.component->fileName, payload.digest});
        }
    }
    return files;
}

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
    auto held = HeldFile::Hold(target.wstring(), passingHoldMilliseconds);
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

// A DLL of the previous installation that a program has loaded can be
// neither written over nor deleted, but it can be renamed: when it holds
// other bytes than this version's, it goes aside, for the restart to delete,
// and frees its name for the new one. One that cannot even be held (someone
// has it open for writing) stays as it is.
bool MoveOtherVersionAside(const fs::path& target, const std::vector<std::uint8_t>& bytes,
                           const PreviousInstallation& previous, RunChanges& changes,
                           PendingDeletions& pending) {
    const auto old = std::find_if(
        previous.files.begin(), previous.files.end(), [&target](const RememberedFile& file) {
            return file.digest && Vexo::Platform::SameFileOnDisc(file.path, target.wstring());
        });
    if (old == previous.files.end()) {
        return false;
    }
    if (const auto held = HeldFile::Hold(target.wstring(), passingHoldMilliseconds);
        !held || held->Contains(bytes)) {
        return false;
    }
    const auto aside = Vexo::Platform::MoveAside(
        target.wstring(), passingHoldMilliseconds, [&changes, &old](const std::wstring& name) {
            return changes.AboutToMoveAside(MadeFile{name, *old->digest});
        });
    if (aside.hasError()) {
        return false;
    }
    pending.AddFile(aside.value());
    return true;
}

bool Write(const fs::path& target, const std::vector<std::uint8_t>& bytes,
           Vexo::Platform::WriteOutcome& outcome) {
    outcome =
        Vexo::Platform::WriteWholeFile(target.wstring(), bytes, passingHoldMilliseconds).outcome;
    if (outcome == Vexo::Platform::WriteOutcome::Written) {
        logInfo("Written: %s bytes: %zu\n", toNarrow(target.wstring()).c_str(), bytes.size());
    }
    return outcome == Vexo::Platform::WriteOutcome::Written;
}

// Writes one DLL. A target that cannot be written is still registered when
// it holds this version's bytes; a file that was not written whole is never
// registered.
std::optional<Extracted> ExtractComponent(const Payload& payload, const fs::path& folder,
                                          const PreviousInstallation& previous, RunChanges& changes,
                                          PendingDeletions& pending) {
    if (payload.bytes.hasError()) {
        logError("%s", payload.bytes.error().message.c_str());
        return std::nullopt;
    }
    const auto& bytes = payload.bytes.value();
    const fs::path target = folder / payload.component->fileName;
    const std::string targetText = toNarrow(target.wstring());
    if (!changes.AboutToWrite(MadeFile{target.wstring(), payload.digest})) {
        return std::nullopt;
    }
    Vexo::Platform::WriteOutcome outcome{};
    if (Write(target, bytes, outcome) ||
        (outcome == Vexo::Platform::WriteOutcome::NotOpened &&
         MoveOtherVersionAside(target, bytes, previous, changes, pending) &&
         Write(target, bytes, outcome))) {
        return HoldIfOurs(target, bytes, false);
    }
    changes.NotWritten(target.wstring());
    if (outcome == Vexo::Platform::WriteOutcome::Incomplete) {
        logError("Could not write all of: %s\n", targetText.c_str());
        return std::nullopt;
    }
    logWarning("Could not write: %s unable to extract file.\n", targetText.c_str());
    return HoldIfOurs(target, bytes, true);
}

// A file that could not be held, or whose folder could not be, might change
// under regsvr32, so it is not handed to it.
bool Register(Extracted& extracted, bool folderHeld, RunChanges& changes) {
    if (!folderHeld || !extracted.held) {
        LogUnableToRegister(extracted.entry.path);
        return false;
    }
    if (!changes.AboutToRegister(extracted.entry.path)) {
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

Expected<bool> Install(fs::path path, const PreviousInstallation& previous, RunChanges& changes,
                       PendingDeletions& pending) {
    logInfo("Starting install\n");
    const OnExit exitLog([] { logInfo("Exiting install\n"); });
    const OnExit comRelease = OpenComScope();

    const std::vector<Payload> payloads = ReadPayloads();
    const auto folder = SelectInstallFolder(std::move(path), FilesToWrite(payloads), changes);
    if (folder.hasError()) {
        return folder.error();
    }
    // Held from before the first write until the last regsvr32 has ended.
    const auto heldFolder =
        Vexo::Platform::HeldFolder::Hold(Vexo::Platform::FullPath(folder.value().wstring()));
    std::vector<Extracted> registerList;
    for (const auto& payload : payloads) {
        if (auto extracted =
                ExtractComponent(payload, folder.value(), previous, changes, pending)) {
            registerList.push_back(std::move(*extracted));
        }
    }
    std::size_t registered = 0;
    for (auto& extracted : registerList) {
        registered += Register(extracted, heldFolder.has_value(), changes) ? 1 : 0;
    }
    // A change that could not be written ahead stopped the install there.
    if (changes.writeAheadFailure) {
        return *changes.writeAheadFailure;
    }
    changes.complete = registered == ComponentTable.size();
    return true;
}
