#pragma once

#include <string>

namespace Vexo::Platform {

// The full path that the system makes of `path` (used up to its first NUL):
// a relative or drive-relative path ("C:sdk") is taken from the current
// folder of its drive. The path unchanged (up to its first NUL) when the
// system cannot resolve it.
std::wstring FullPath(const std::wstring& path);

} // namespace Vexo::Platform
