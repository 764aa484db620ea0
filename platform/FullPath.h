#pragma once

#include <string>
#include <vector>

namespace Vexo::Platform {

// The full path that the system makes of `path` (used up to its first NUL):
// a relative or drive-relative path ("C:sdk") is taken from the current
// folder of its drive. The path unchanged (up to its first NUL) when the
// system cannot resolve it.
std::wstring FullPath(const std::wstring& path);

// Whether two paths name the same file on disc: both taken as full paths and
// compared by the Windows rules, letters without regard to case.
bool SameFileOnDisc(const std::wstring& left, const std::wstring& right);

// Whether any of `paths` names the same file on disc as `path`.
bool AnySameFileOnDisc(const std::vector<std::wstring>& paths, const std::wstring& path);

// Adds `path` (up to its first NUL) to `paths` unless one of them names the
// same file on disc already.
void AddOnce(std::vector<std::wstring>& paths, const std::wstring& path);

} // namespace Vexo::Platform
