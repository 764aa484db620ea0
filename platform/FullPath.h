#pragma once

#include <string>

namespace Vexo::Platform {

// The full path that the system makes of `path` (used up to its first NUL):
// a relative or drive-relative path ("C:sdk") is taken from the current
// folder of its drive. The path unchanged (up to its first NUL) when the
// system cannot resolve it.
std::wstring FullPath(const std::wstring& path);

// Whether two paths name the same file on disc: both taken as full paths and
// compared by the Windows rules, letters without regard to case.
bool SameFileOnDisc(const std::wstring& left, const std::wstring& right);

} // namespace Vexo::Platform
