#pragma once

#include "core/Error.h"

#include <cstdint>
#include <string>

namespace Vexo::Platform {

// An error with the Windows error code of the call that just failed:
// "<what>: Windows error <code>".
Vexo::Error LastWindowsError(const std::string& what);

// 0 when the call that just ended succeeded, else the Windows error it left:
// an attempt's result, as RetryWhileHeld takes it.
std::uint32_t ResultOfCall(bool succeeded);

} // namespace Vexo::Platform
