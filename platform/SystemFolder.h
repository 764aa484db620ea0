#pragma once

#include <optional>
#include <string>

namespace Vexo::Platform {

// The system folder (System32 for this 64-bit program), without a trailing
// backslash; nothing when the system cannot tell it.
std::optional<std::wstring> SystemFolder();

// The system folder of 32-bit programs (SysWOW64), without a trailing
// backslash; nothing on a system that runs no 32-bit programs.
std::optional<std::wstring> SystemFolder32();

// The Windows folder that the system folders lie in (the machine's own, not a
// user's of a terminal server), without a trailing backslash.
std::optional<std::wstring> WindowsFolder();

} // namespace Vexo::Platform
