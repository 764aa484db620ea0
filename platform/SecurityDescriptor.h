#pragma once

#include "core/Expected.h"
#include "platform/LocalMemory.h"

#include <windows.h>

namespace Vexo::Platform {

// A security descriptor made from its text form (SDDL), freed once.
class SecurityDescriptor {
public:
    // The error carries the Windows error code.
    static Expected<SecurityDescriptor> FromText(const wchar_t* text);

    PSECURITY_DESCRIPTOR get() const { return m_descriptor.get(); }

    // Attributes that give a new object this descriptor.
    SECURITY_ATTRIBUTES Attributes() const {
        return SECURITY_ATTRIBUTES{sizeof(SECURITY_ATTRIBUTES), m_descriptor.get(), FALSE};
    }

private:
    explicit SecurityDescriptor(PSECURITY_DESCRIPTOR descriptor) : m_descriptor(descriptor) {}

    LocalMemory<> m_descriptor;
};

} // namespace Vexo::Platform
