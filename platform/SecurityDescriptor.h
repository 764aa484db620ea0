#pragma once

#include "core/Expected.h"

#include <windows.h>

#include <memory>

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
    struct LocalFreeDeleter {
        void operator()(void* block) const { LocalFree(block); }
    };

    explicit SecurityDescriptor(PSECURITY_DESCRIPTOR descriptor) : m_descriptor(descriptor) {}

    std::unique_ptr<void, LocalFreeDeleter> m_descriptor;
};

// An error with the Windows error code of the call that just failed:
// "<what>: Windows error <code>".
Vexo::Error LastWindowsError(const std::string& what);

} // namespace Vexo::Platform
