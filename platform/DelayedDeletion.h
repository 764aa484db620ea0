#pragma once

#include <string>

namespace Vexo::Platform {

// Has the system delete the file or empty folder at `path` (used up to its
// first NUL) when the machine next starts, before anything can load it. True
// when the deletion was recorded; recording needs administrator rights.
bool DeleteAtRestart(const std::wstring& path);

} // namespace Vexo::Platform
