#include "platform/NamedMutex.h"

#include "platform/SecurityDescriptor.h"
#include "platform/WindowsError.h"

#include <windows.h>

#include <utility>

namespace Vexo::Platform {

namespace {

// Full access for SYSTEM and Administrators, nothing for anyone else.
constexpr wchar_t administratorsOnly[] = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)";

} // namespace

Expected<NamedMutex> NamedMutex::Open(const std::wstring& name) {
    const auto descriptor = SecurityDescriptor::FromText(administratorsOnly);
    if (descriptor.hasError()) {
        return descriptor.error();
    }
    SECURITY_ATTRIBUTES attributes = descriptor.value().Attributes();
    UniqueHandle handle(
        CreateMutexExW(&attributes, name.c_str(), 0, SYNCHRONIZE | MUTEX_MODIFY_STATE));
    if (!handle.valid()) {
        return LastWindowsError("run lock");
    }
    return NamedMutex(std::move(handle));
}

NamedMutex::NamedMutex(NamedMutex&& other) noexcept
    : m_handle(std::move(other.m_handle)), m_owned(std::exchange(other.m_owned, false)) {}

NamedMutex::~NamedMutex() {
    if (m_owned) {
        ReleaseMutex(m_handle.get());
    }
}

Expected<bool> NamedMutex::Lock(unsigned long milliseconds) {
    switch (WaitForSingleObject(m_handle.get(), milliseconds)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED: // its owner ended without releasing it: nobody holds it now
        m_owned = true;
        return true;
    case WAIT_TIMEOUT:
        return false;
    default:
        return LastWindowsError("run lock");
    }
}

} // namespace Vexo::Platform
