#include "platform/WindowsError.h"

#include <windows.h>

#include <cstdint>

namespace Vexo::Platform {

Vexo::Error LastWindowsError(const std::string& what) {
    const DWORD code = GetLastError();
    return Vexo::Error(what + ": Windows error " + std::to_string(code),
                       static_cast<std::int32_t>(code));
}

std::uint32_t ResultOfCall(bool succeeded) {
    return succeeded ? ERROR_SUCCESS : GetLastError();
}

} // namespace Vexo::Platform
