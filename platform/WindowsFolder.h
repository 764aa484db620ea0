#pragma once

#include <string>

namespace Vexo::Platform {

// Whether `path` (up to its first NUL, as a full path) lies in the Windows
// folder, or is it: what is there belongs to the system. Told by the
// identity of the folders on the way (volume and file number), not by their
// names, so that no spelling gets past it: another letter case, the long
// "\\?\" form, a short 8.3 name, or a link or junction that leads inside.
bool IsInWindowsFolder(const std::wstring& path);

} // namespace Vexo::Platform
