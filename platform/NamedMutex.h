#pragma once

#include "core/Expected.h"
#include "platform/UniqueHandle.h"

#include <string>

namespace Vexo::Platform {

// A mutex that every process of the machine can name. Owned by one thread at
// a time; released when the owner is destroyed, if it is still held.
class NamedMutex {
public:
    // Opens the mutex with only the rights to wait for it and release it,
    // creating it when no process has it yet: then only SYSTEM and
    // Administrators may use it, so that no other account can hold or
    // squat it. The error carries the Windows error code (5 when the name
    // is held by a program whose descriptor refuses this account).
    static Expected<NamedMutex> Open(const std::wstring& name);

    NamedMutex(NamedMutex&& other) noexcept;
    NamedMutex& operator=(NamedMutex&&) = delete;
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;
    ~NamedMutex();

    // Waits for the mutex at most `milliseconds` (0 only tries): true when
    // this thread owns it now (also when its last owner died holding it),
    // false when another owner still holds it. The error carries the Windows
    // error code of a wait that failed.
    Expected<bool> Lock(unsigned long milliseconds);

private:
    explicit NamedMutex(UniqueHandle handle) : m_handle(std::move(handle)) {}

    UniqueHandle m_handle;
    bool m_owned = false;
};

} // namespace Vexo::Platform
