#include "sdk/Rollback.h"

#include "core/Text.h"
#include "log/Log.h"
#include "platform/FileReader.h"
#include "platform/FileWriter.h"
#include "platform/FolderProtection.h"
#include "platform/FreshFile.h"
#include "platform/FullPath.h"
#include "platform/MissingFolders.h"
#include "platform/PassingHold.h"
#include "platform/PathPresence.h"
#include "platform/WindowsFolder.h"
#include "platform/WindowsPath.h"
#include "sdk/ComponentTable.h"
#include "sdk/FileDeletion.h"
#include "sdk/Registrations.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;
using Vexo::Platform::AddOnce;
using Vexo::Platform::Bitness;

namespace {

constexpr std::array<Bitness, 2> bothViews = {Bitness::Bits32, Bitness::Bits64};

using Paths = std::vector<std::wstring>;

const std::optional<std::wstring>& NamedBefore(const PreviousInstallation& previous, Bitness view) {
    return view == Bitness::Bits32 ? previous.named32 : previous.named64;
}

// A view names the file now that did not name it before the run: a
// registration of the run's, whatever its regsvr32 reported.
bool NewlyNamed(const PreviousInstallation& previous, const std::wstring& path) {
    return std::any_of(bothViews.begin(), bothViews.end(), [&](Bitness view) {
        const auto& before = NamedBefore(previous, view);
        return IsRegisteredIn(view, path) &&
               !(before && Vexo::Platform::SameFileOnDisc(*before, path));
    });
}

// What the run put at `path`: the bytes it wrote there, or, for a file it
// found holding this version's DLL and registered, that DLL's.
std::optional<Vexo::Platform::ContentDigest> BytesTheRunPut(const RunChanges& changes,
                                                            const std::wstring& path) {
    for (const auto& file : changes.written) {
        if (Vexo::Platform::SameFileOnDisc(file.path, path)) {
            return file.digest;
        }
    }
    const SdkComponent* component = FindComponent(path);
    return component != nullptr ? CarriedDigest(*component) : std::nullopt;
}

// Every file the run registered, wrote or handed to regsvr32 that a
// registration names because of the run.
void UnregisterNewFiles(const RunChanges& changes, const PreviousInstallation& previous) {
    Paths candidates;
    for (const auto& path : changes.registered) {
        AddOnce(candidates, path);
    }
    for (const auto& file : changes.written) {
        AddOnce(candidates, file.path);
    }
    for (const auto& path : changes.handedToRegsvr32) {
        AddOnce(candidates, path);
    }
    for (const auto& path : candidates) {
        if ((Vexo::Platform::AnySameFileOnDisc(changes.registered, path) && IsRegistered(path)) ||
            NewlyNamed(previous, path)) {
            FileEntry entry{path, false, false};
            UnregisterFile(entry, BytesTheRunPut(changes, path));
        }
    }
}

// Whether the path leads through a link or junction to somewhere else than
// its text says: the undo reaches nothing through one.
bool LeadsThroughLink(const std::wstring& path) {
    return Vexo::Platform::IsPresent(path) &&
           Vexo::Platform::ProtectionOf(path) == Vexo::Platform::Protection::Link;
}

// Deletes the file now, or at the restart when something has it in use.
void Delete(const std::wstring& path, PendingDeletions& pending) {
    DeleteMarkedFiles({FileEntry{path, true, false}}, pending);
}

// What a stopped write left beside a file: its new copy, never put in place.
void DeleteUnplacedCopies(const std::wstring& path) {
    const fs::path file(Vexo::Platform::FullPath(path));
    if (LeadsThroughLink(file.parent_path().wstring())) {
        return;
    }
    std::error_code error;
    fs::directory_iterator entries(file.parent_path(), error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        if (Vexo::Platform::IsFreshName(entries->path().filename().wstring(),
                                        file.filename().wstring(), L"new")) {
            std::error_code ignored;
            fs::remove(entries->path(), ignored);
        }
    }
}

// A file the run made is deleted only while it holds what the run put
// there: whatever stands there otherwise is someone else's since. One that
// a registration still names (its unregistering failed, or it is where the
// previous installation's file was) stays too. Gives the files left that
// are not the previous installation's.
Paths DeleteMadeFiles(const std::vector<MadeFile>& made, const PreviousInstallation& previous,
                      PendingDeletions& pending) {
    Paths left;
    for (const auto& file : made) {
        DeleteUnplacedCopies(file.path);
        if (!Vexo::Platform::IsPresent(file.path)) {
            continue;
        }
        const bool throughLink = LeadsThroughLink(file.path);
        if (!throughLink && !SpareWhileRegistered(file.path) &&
            Vexo::Platform::DigestOfFile(file.path) == file.digest) {
            Delete(file.path, pending);
        } else if (throughLink || !IsRemembered(previous, file.path)) {
            AddOnce(left, file.path);
        }
    }
    return left;
}

// Gives the folders left that will not go at the restart either.
Paths RemoveCreatedFolders(const RunChanges& changes, PendingDeletions& pending) {
    Paths left;
    for (auto folder = changes.createdFolders.rbegin(); folder != changes.createdFolders.rend();
         ++folder) {
        std::error_code error;
        if (LeadsThroughLink(folder->wstring())) {
            AddOnce(left, folder->wstring());
            continue;
        }
        if (fs::remove(*folder, error) || !Vexo::Platform::IsPresent(folder->wstring())) {
            continue;
        }
        if (pending.EmptiesFolder(folder->wstring())) {
            pending.AddFolder(folder->wstring());
        } else {
            AddOnce(left, folder->wstring());
        }
    }
    return left;
}

// The folders missing on the way to `folder`, made outermost first, each
// with its own access list like every folder the tool makes.
void MakeMissingFolders(const fs::path& folder) {
    std::error_code error;
    for (const auto& level : Vexo::Platform::MissingFolders(folder, error)) {
        Vexo::Platform::CreateProtectedFolder(level.wstring(), Vexo::Platform::OthersMay::Read);
    }
}

bool HoldsItsBytes(const RememberedFile& file) {
    return Vexo::Platform::ReadWholeFile(file.path) == file.bytes;
}

// The remembered file is where it was, byte for byte.
bool PutBack(const RememberedFile& file) {
    if (!file.bytes) {
        // A file in the Windows folder is only registered again; one whose
        // saved copy no longer holds its bytes is back only if it never left.
        return file.digest ? Vexo::Platform::DigestOfFile(file.path) == file.digest
                           : Vexo::Platform::IsPresent(file.path);
    }
    if (Vexo::Platform::IsPresent(file.path) && HoldsItsBytes(file)) {
        return true;
    }
    // The system's files are never written (uninstall leaves them as they were).
    if (Vexo::Platform::IsInWindowsFolder(file.path)) {
        return false;
    }
    MakeMissingFolders(fs::path(Vexo::Platform::FullPath(file.path)).parent_path());
    if (Vexo::Platform::WriteWholeFile(file.path, *file.bytes,
                                       Vexo::Platform::passingHoldMilliseconds)
            .outcome != Vexo::Platform::WriteOutcome::Written) {
        return false;
    }
    logInfo("Restored: %s\n", toNarrow(file.path).c_str());
    return true;
}

// Every view that named the file names it again. regsvr32 loads it only
// from where others cannot change it, held, with the bytes it had before the
// run (its saved copy shows only that these did not change meanwhile);
// otherwise it stays unregistered.
bool RegisterAgain(const RememberedFile& file) {
    const auto namesIt = [&file](Bitness view) { return IsRegisteredIn(view, file.path); };
    if (std::all_of(file.views.begin(), file.views.end(), namesIt)) {
        return true;
    }
    const LoadableFile loading = HoldForLoading(file.path, file.digest);
    if (loading.verdict != LoadableFile::Verdict::Loadable) {
        return false;
    }
    FileEntry entry{file.path, false, false};
    RegisterFile(entry);
    return std::all_of(file.views.begin(), file.views.end(), namesIt);
}

bool SameRegistration(const std::optional<std::wstring>& before,
                      const std::optional<std::wstring>& now) {
    if (!before || !now) {
        return !before && !now;
    }
    return Vexo::Platform::SameFileOnDisc(*before, *now);
}

// A view that named no remembered file must name what it named before: no
// new file that could not be unregistered, nothing lost. Adds what it names
// otherwise to `incomplete`.
void CheckView(const PreviousInstallation& previous, Bitness view, Paths& incomplete) {
    const auto& before = NamedBefore(previous, view);
    const auto now = RegisteredPath(view);
    if ((before && IsRemembered(previous, *before)) || SameRegistration(before, now)) {
        return;
    }
    AddOnce(incomplete, now ? *now : *before);
}

} // namespace

bool UndoChanges(const RunChanges& changes, const PreviousInstallation& previous,
                 PendingDeletions& pending) {
    UnregisterNewFiles(changes, previous);
    Paths filesLeft = DeleteMadeFiles(changes.written, previous, pending);
    for (const auto& path : DeleteMadeFiles(changes.movedAside, previous, pending)) {
        AddOnce(filesLeft, path);
    }
    const Paths foldersLeft = RemoveCreatedFolders(changes, pending);

    std::vector<bool> putBack;
    for (const auto& file : previous.files) {
        putBack.push_back(PutBack(file));
    }
    Paths notBack;
    for (std::size_t index = 0; index < previous.files.size(); ++index) {
        const RememberedFile& file = previous.files[index];
        if (!putBack[index] || !RegisterAgain(file)) {
            AddOnce(notBack, file.path);
        }
    }
    for (const auto view : bothViews) {
        CheckView(previous, view, notBack);
    }
    // The previous installation first, then what the run left.
    for (const auto& path : filesLeft) {
        AddOnce(notBack, path);
    }
    for (const auto& path : foldersLeft) {
        AddOnce(notBack, path);
    }
    for (const auto& path : notBack) {
        logError("Rollback incomplete: %s\n", toNarrow(path).c_str());
    }
    return notBack.empty();
}

bool RollBack(const RunChanges& changes, const PreviousInstallation& previous,
              PendingDeletions& pending) {
    logError("Install failed; rolling back.\n");
    const bool complete = UndoChanges(changes, previous, pending);
    if (complete) {
        logInfo("Rollback complete: the machine is as it was before this install.\n");
    }
    return complete;
}
