#pragma once

#include <string>

namespace Vexo::Platform {

// Has the system delete the file or empty folder at `path` (used up to its
// first NUL) when the machine next starts, before anything can load it. True
// when the deletion was recorded; recording needs administrator rights.
bool DeleteAtRestart(const std::wstring& path);

// Renames the file at `path` (used up to its first NUL) to `aside`, a fresh
// name in the same folder (FreshName, kind "old"), so that its own name is
// free at once even while a program still has the file loaded. False when
// it cannot be renamed (someone holds it without allowing that, or the name
// is taken: a name someone else took stays theirs).
bool MoveAside(const std::wstring& path, const std::wstring& aside);

} // namespace Vexo::Platform
