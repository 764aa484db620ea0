#pragma once

#include <optional>
#include <string>
#include <vector>

namespace Vexo::Platform {

// The process's own command line split into arguments, the program path
// first; nothing when the system cannot split it.
std::optional<std::vector<std::wstring>> ReadProcessArguments();

} // namespace Vexo::Platform
