#pragma once

#include "core/Expected.h"
#include "sdk/PendingDeletions.h"
#include "sdk/PreviousInstallation.h"
#include "sdk/RunChanges.h"

#include <filesystem>

// Writes the SDK DLLs that the program carries into the install folder chosen
// from `path` and registers each of them. Fails only when no install folder
// can be had, or a change could not be written ahead; per-DLL failures are
// logged. Only a DLL that is byte for byte the program's own is registered:
// one written here, or one already there that could not be written over. A
// DLL of the previous installation in the way that a program has loaded is
// renamed aside (through `pending`, the restart deletes it), so that the new
// one takes its place. Each written file stays held, so that nobody can
// change it, until its regsvr32 has ended. Everything it changes is added to
// `changes`, which tells at the end whether the install is complete; it
// deletes nothing itself.
Expected<bool> Install(std::filesystem::path path, const PreviousInstallation& previous,
                       RunChanges& changes, PendingDeletions& pending);
