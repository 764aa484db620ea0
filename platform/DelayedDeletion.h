#pragma once

#include <optional>
#include <string>

namespace Vexo::Platform {

// Has the system delete the file or empty folder at `path` (used up to its
// first NUL) when the machine next starts, before anything can load it. True
// when the deletion was recorded; recording needs administrator rights.
bool DeleteAtRestart(const std::wstring& path);

// Renames the file at `path` (used up to its first NUL) to a new name in the
// same folder, so that its own name is free at once even while a program
// still has the file loaded. The new path, or nothing when it cannot be
// renamed (someone holds it without allowing that).
std::optional<std::wstring> MoveAside(const std::wstring& path);

// Whether `name` is a name that MoveAside gives a file named `original`.
bool IsMovedAsideName(const std::wstring& name, const std::wstring& original);

} // namespace Vexo::Platform
