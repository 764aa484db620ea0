#include "sdk/Registrations.h"

#include "core/Text.h"
#include "log/Log.h"
#include "platform/FolderProtection.h"
#include "platform/FullPath.h"
#include "platform/PassingHold.h"
#include "platform/PathPresence.h"
#include "platform/Registry.h"
#include "platform/WindowsPath.h"
#include "platform/ServerRegistration.h"
#include "platform/Wow64Path.h"
#include "sdk/ComponentTable.h"

namespace {

bool Names(const std::optional<std::wstring>& registeredPath, const std::wstring& path) {
    return registeredPath && Vexo::Platform::SameFileOnDisc(*registeredPath, path);
}

// What regsvr32 did with the file: true when it ended with 0, an error with
// the cause when it could not be started. Whatever it did is flushed to the
// disc before the run moves on: the system writes the registry lazily, and a
// recovery record that goes on to the next step must not outlast the
// registration it relies on after a power cut.
Expected<bool> RunFor(const FileEntry& entry, const wchar_t* arguments) {
    const SdkComponent* component = FindComponent(entry.path);
    if (component == nullptr) {
        return false;
    }
    auto ran = RunRegsvr32(entry.path, arguments, component->bitness);
    if (!ran.hasError()) {
        // Both registry views live in this one hive.
        FlushRegistryKey(HKEY_LOCAL_MACHINE, L"SOFTWARE");
    }
    return ran;
}

bool Succeeded(const Expected<bool>& ran) {
    return ran.hasValue() && ran.value();
}

void LogFailure(const char* what, const std::wstring& path, const wchar_t* arguments,
                const Expected<bool>& ran) {
    std::string failure = what + toNarrow(path) + " with args: " + toNarrow(arguments);
    if (ran.hasError()) {
        failure += " (" + ran.error().message + ")";
    }
    logError("%s\n", failure.c_str());
}

} // namespace

bool IsRegistered(const std::wstring& path) {
    return IsRegisteredIn(Vexo::Platform::Bitness::Bits32, path) ||
           IsRegisteredIn(Vexo::Platform::Bitness::Bits64, path);
}

std::optional<std::wstring> RegisteredPath(Vexo::Platform::Bitness view) {
    const auto value = ReadRegistryString(
        HKEY_LOCAL_MACHINE,
        view == Vexo::Platform::Bitness::Bits32 ? registrationKey32 : registrationKey64);
    if (!value) {
        return std::nullopt;
    }
    return FileLoadedIn(view, *value);
}

std::wstring FileLoadedIn(Vexo::Platform::Bitness view, const std::wstring& registeredPath) {
    return view == Vexo::Platform::Bitness::Bits32
               ? Vexo::Platform::FileSeenBy32BitPrograms(registeredPath)
               : std::wstring(registeredPath.c_str());
}

bool IsRegisteredIn(Vexo::Platform::Bitness view, const std::wstring& path) {
    return Names(RegisteredPath(view), path);
}

bool SpareWhileRegistered(const std::wstring& path) {
    if (!IsRegistered(path)) {
        return false;
    }
    logWarning("Not deleted, still registered: %s\n", toNarrow(path).c_str());
    return true;
}

bool IsOnDisc(const std::wstring& path) {
    using Vexo::Platform::PathPresence;
    const PathPresence presence = Vexo::Platform::QueryPathPresence(path);
    return presence == PathPresence::Present || presence == PathPresence::Unreadable;
}

bool AnyRegistrationOnDisc() {
    for (const auto view : {Vexo::Platform::Bitness::Bits32, Vexo::Platform::Bitness::Bits64}) {
        const auto path = RegisteredPath(view);
        if (path && IsOnDisc(*path)) {
            return true;
        }
    }
    return false;
}

bool RegisterFile(FileEntry& entry) {
    // regsvr32 ending with 0 is not enough: a server whose registration left
    // its view naming another file, or none, registered nothing of this run's.
    const auto ran = RunFor(entry, registerArguments);
    if (Succeeded(ran) && IsRegisteredIn(FindComponent(entry.path)->bitness, entry.path)) {
        entry.marked = false;
        logInfo("Registered: %s\n", toNarrow(entry.path).c_str());
        return true;
    }
    LogFailure("Unable to register: ", entry.path, registerArguments, ran);
    return false;
}

void LogUnableToRegister(const std::wstring& path) {
    LogFailure("Unable to register: ", path, registerArguments, false);
}

namespace {

// The folder that holds the file counts whole (a DLL put beside it is
// loaded too), and must be there: one that is missing could be made by
// others.
bool MayBeLoaded(const std::wstring& file) {
    const std::wstring folder = Vexo::Platform::ParentFolder(file);
    return Vexo::Platform::IsPresent(folder) && !Vexo::Platform::FirstUnprotectedLevel(folder) &&
           (!Vexo::Platform::IsPresent(file) ||
            Vexo::Platform::ProtectionOf(file) == Vexo::Platform::Protection::AdministratorsOnly);
}

} // namespace

LoadableFile HoldForLoading(const std::wstring& path,
                            const std::optional<Vexo::Platform::ContentDigest>& expected) {
    using Verdict = LoadableFile::Verdict;
    const std::wstring file = Vexo::Platform::FullPath(path);
    if (!MayBeLoaded(file)) {
        return {Verdict::OthersCanChange, std::nullopt, std::nullopt};
    }
    if (!Vexo::Platform::IsPresent(file)) {
        return {Verdict::Loadable, std::nullopt, std::nullopt};
    }
    LoadableFile held{Verdict::Loadable,
                      Vexo::Platform::HeldFile::Hold(file, Vexo::Platform::passingHoldMilliseconds),
                      Vexo::Platform::HeldFolder::Hold(Vexo::Platform::ParentFolder(file))};
    if (!held.file || !held.folder) {
        held.verdict = Verdict::NotHeld;
    } else if (expected && held.file->Digest() != expected) {
        held.verdict = Verdict::OthersCanChange;
    }
    return held;
}

namespace {

// What the DLL's own unregistration removes, removed without loading it.
bool UnregisterWithoutRunning(FileEntry& entry) {
    bool removed = true;
    for (const auto view : {Vexo::Platform::Bitness::Bits32, Vexo::Platform::Bitness::Bits64}) {
        if (IsRegisteredIn(view, entry.path)) {
            removed = DeleteRegistryTree(HKEY_LOCAL_MACHINE, view == Vexo::Platform::Bitness::Bits32
                                                                 ? classKey32
                                                                 : classKey64) &&
                      removed;
        }
    }
    FlushRegistryKey(HKEY_LOCAL_MACHINE, L"SOFTWARE");
    if (!removed || IsRegistered(entry.path)) {
        LogFailure("Unable to unregister: ", entry.path, unregisterArguments, false);
        return false;
    }
    logWarning("Unregistered without running it, in a folder that others can change: %s\n",
               toNarrow(entry.path).c_str());
    entry.marked = true;
    return true;
}

} // namespace

bool UnregisterFile(FileEntry& entry,
                    const std::optional<Vexo::Platform::ContentDigest>& expected) {
    // Held from before regsvr32 starts until it has ended.
    const LoadableFile loading = FindComponent(entry.path) != nullptr
                                     ? HoldForLoading(entry.path, expected)
                                     : LoadableFile{LoadableFile::Verdict::Loadable, {}, {}};
    if (loading.verdict == LoadableFile::Verdict::OthersCanChange) {
        return UnregisterWithoutRunning(entry);
    }
    if (loading.verdict == LoadableFile::Verdict::NotHeld) {
        LogFailure("Unable to unregister: ", entry.path, unregisterArguments, false);
        return false;
    }
    const auto ran = RunFor(entry, unregisterArguments);
    if (Succeeded(ran)) {
        entry.marked = true;
        logInfo("Unregistered: %s\n", toNarrow(entry.path).c_str());
        return true;
    }
    LogFailure("Unable to unregister: ", entry.path, unregisterArguments, ran);
    return false;
}
