#pragma once

#include "platform/Bitness.h"
#include "platform/ContentDigest.h"
#include "platform/FileRemoval.h"
#include "platform/HeldFile.h"
#include "platform/HeldFolder.h"

#include <optional>
#include <string>

// Whether either SDK registration (32-bit or 64-bit view) names the file at
// `path` now. Both sides are taken as full paths (a relative or drive-relative
// path from the current folder of its drive) and compared without regard to
// letter case, each up to its first NUL.
bool IsRegistered(const std::wstring& path);

// The file that the SDK registration of the 32-bit or the 64-bit view names,
// up to its first NUL, as a program of that bitness opens it (a 32-bit one's
// System32 is SysWOW64); nothing when none is registered there.
std::optional<std::wstring> RegisteredPath(Vexo::Platform::Bitness view);

// The file that programs of `view` open when they load `registeredPath`, up
// to its first NUL: a 32-bit program's System32 is SysWOW64.
std::wstring FileLoadedIn(Vexo::Platform::Bitness view, const std::wstring& registeredPath);

// Whether a registration names the file at `path` now; if so, logs "Not
// deleted, still registered: " at Warning: the caller leaves the file be.
bool SpareWhileRegistered(const std::wstring& path);

// Whether that view's registration names the file at `path` now.
bool IsRegisteredIn(Vexo::Platform::Bitness view, const std::wstring& path);

// Whether what a registration names is there, as the status report tells it:
// something is at `path`, even if this process may not look at it; a place
// that cannot be reached now counts as not there.
bool IsOnDisc(const std::wstring& path);

// Whether the registration of either view names something on disc.
bool AnyRegistrationOnDisc();

// Has the regsvr32 of the SDK DLL's bitness register the file. It worked
// only when regsvr32 ended with 0 and the registration of its view names the
// file now. Logs "Registered: " or, at Error, "Unable to register: "; unmarks
// the entry when it worked, so that it is not deleted at the end. A file that
// is not one of the SDK's DLLs is not handed to regsvr32 and counts as failed.
bool RegisterFile(FileEntry& entry);

// Logs, at Error, that the file could not be registered.
void LogUnableToRegister(const std::wstring& path);

// The file at `path` and its folder, held so that what regsvr32 loads is
// what was looked at, or why regsvr32, run elevated, may not load it.
// Loadable only where neither the file nor its folder can be changed by
// others, no folder on the way to it can be renamed or replaced by them (or
// someone else's code, put there or beside it, would run with the tool's
// rights), and it holds `expected` when that is given: other bytes count as
// a change by others. A file that is not there is loadable from such a
// folder, with nothing held.
struct LoadableFile {
    enum class Verdict { Loadable, OthersCanChange, NotHeld } verdict;
    std::optional<Vexo::Platform::HeldFile> file;
    std::optional<Vexo::Platform::HeldFolder> folder;
};
LoadableFile HoldForLoading(const std::wstring& path,
                            const std::optional<Vexo::Platform::ContentDigest>& expected);

// Has regsvr32 unregister the file, holding it and its folder until it has
// ended, when it may be loaded and holds `expected` (when given: the bytes
// the run wrote there). Logs "Unregistered: " or, at Error, "Unable to
// unregister: "; marks the entry for deletion when it worked. A file that may
// not be loaded, or that holds other bytes than the run wrote, is not run:
// the SDK class is removed from the views that name it, as the DLL's own
// unregistration would, with a Warning that says so.
bool UnregisterFile(FileEntry& entry,
                    const std::optional<Vexo::Platform::ContentDigest>& expected = std::nullopt);
