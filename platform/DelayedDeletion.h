#pragma once

#include "core/Expected.h"

#include <functional>
#include <string>

namespace Vexo::Platform {

// Has the system delete the file or empty folder at `path` (used up to its
// first NUL) when the machine next starts, before anything can load it. True
// when the deletion was recorded; recording needs administrator rights. The
// restart leaves a read-only file where it is.
bool DeleteAtRestart(const std::wstring& path);

// Called with each aside name before the file is renamed to it; false stops
// the renaming.
using BeforeRename = std::function<bool(const std::wstring& aside)>;

// Renames the file at `path` (used up to its first NUL) aside, to a fresh
// name in the same folder (FreshName, kind "old"), so that its own name is
// free at once even while a program still has the file loaded. A name that
// is taken is passed over for another: it stays whoever's it is. A file that
// someone has open for a moment is tried again for up to
// `retryMilliseconds`. Gives the name it now has, or the Windows error (0
// when `beforeRename` stopped it).
Expected<std::wstring> MoveAside(const std::wstring& path, unsigned long retryMilliseconds,
                                 const BeforeRename& beforeRename = nullptr);

} // namespace Vexo::Platform
