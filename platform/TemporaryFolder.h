#pragma once

#include <optional>
#include <string>

namespace Vexo::Platform {

// The temporary-files folder of the account that runs the process (for
// SYSTEM a folder of its own where the system has GetTempPath2W), ending with
// a backslash; nothing when the system cannot tell it or its path needs more
// than 260 characters.
std::optional<std::wstring> TemporaryFolder();

} // namespace Vexo::Platform
