#pragma once

#include <optional>
#include <string>

namespace Vexo::Platform {

// The user's temporary-files folder, ending with a backslash; nothing when
// the system cannot tell it or its path needs more than 260 characters.
std::optional<std::wstring> TemporaryFolder();

} // namespace Vexo::Platform
