#pragma once

#include <string>

namespace Vexo::Platform {

// The file that a 32-bit program opens when it names `path` (used up to its
// first NUL): under the Windows folder, System32 is SysWOW64 for it (but for
// the few folders the system leaves alone) and Sysnative is System32. Given
// as a full path then; any other path names the same file for every program
// and comes back as it is (up to its first NUL).
std::wstring FileSeenBy32BitPrograms(const std::wstring& path);

} // namespace Vexo::Platform
