#pragma once

#include "core/Error.h"

#include <string>

namespace Vexo::Platform {

// An error with the Windows error code of the call that just failed:
// "<what>: Windows error <code>".
Vexo::Error LastWindowsError(const std::string& what);

} // namespace Vexo::Platform
