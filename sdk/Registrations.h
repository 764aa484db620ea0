#pragma once

#include <string>

// Whether either SDK registration (32-bit or 64-bit view) names the file at
// `path` now. Both sides are taken as full paths (a relative or drive-relative
// path from the current folder of its drive) and compared without regard to
// letter case, each up to its first NUL.
bool IsRegistered(const std::wstring& path);
