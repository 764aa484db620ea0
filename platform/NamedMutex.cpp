#include "platform/NamedMutex.h"

#include <windows.h>

#include <utility>

namespace Vexo::Platform {

std::optional<NamedMutex> NamedMutex::Open(const std::wstring& name) {
    UniqueHandle handle(CreateMutexW(nullptr, FALSE, name.c_str()));
    if (!handle.valid()) {
        return std::nullopt;
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

LockOutcome NamedMutex::Lock(unsigned long milliseconds) {
    switch (WaitForSingleObject(m_handle.get(), milliseconds)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED: // its owner ended without releasing it: nobody holds it now
        m_owned = true;
        return LockOutcome::Acquired;
    case WAIT_TIMEOUT:
        return LockOutcome::TimedOut;
    default:
        return LockOutcome::Failed;
    }
}

} // namespace Vexo::Platform
