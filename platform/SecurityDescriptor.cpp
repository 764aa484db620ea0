#include "platform/SecurityDescriptor.h"

#include "platform/WindowsError.h"

#include <sddl.h>

namespace Vexo::Platform {

Expected<SecurityDescriptor> SecurityDescriptor::FromText(const wchar_t* text) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(text, SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
        return LastWindowsError("security descriptor");
    }
    return SecurityDescriptor(descriptor);
}

} // namespace Vexo::Platform
