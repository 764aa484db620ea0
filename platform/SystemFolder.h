#pragma once

#include <optional>
#include <string>

namespace Vexo::Platform {

// The system folder (System32 for this 64-bit program), without a trailing
// backslash; nothing when the system cannot tell it.
std::optional<std::wstring> SystemFolder();

} // namespace Vexo::Platform
