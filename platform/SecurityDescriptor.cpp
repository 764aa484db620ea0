#include "platform/SecurityDescriptor.h"

#include <sddl.h>

#include <string>

namespace Vexo::Platform {

Vexo::Error LastWindowsError(const std::string& what) {
    const DWORD code = GetLastError();
    return Vexo::Error(what + ": Windows error " + std::to_string(code),
                       static_cast<std::int32_t>(code));
}

Expected<SecurityDescriptor> SecurityDescriptor::FromText(const wchar_t* text) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(text, SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
        return LastWindowsError("security descriptor");
    }
    return SecurityDescriptor(descriptor);
}

} // namespace Vexo::Platform
