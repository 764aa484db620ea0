#pragma once

#include "platform/UniqueHandle.h"

#include <optional>
#include <string>

namespace Vexo::Platform {

enum class LockOutcome {
    Acquired, // this thread owns the mutex now (also when its last owner died holding it)
    TimedOut, // another owner still holds it
    Failed    // the wait itself failed
};

// A mutex that every process of the machine can name. Owned by one thread at
// a time; released when the owner is destroyed, if it is still held.
class NamedMutex {
public:
    // Opens the mutex, creating it when no process has it yet; nothing when
    // the system refuses (no access, out of resources).
    static std::optional<NamedMutex> Open(const std::wstring& name);

    NamedMutex(NamedMutex&& other) noexcept;
    NamedMutex& operator=(NamedMutex&&) = delete;
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;
    ~NamedMutex();

    // Waits for the mutex at most `milliseconds`; 0 only tries.
    LockOutcome Lock(unsigned long milliseconds);

private:
    explicit NamedMutex(UniqueHandle handle) : m_handle(std::move(handle)) {}

    UniqueHandle m_handle;
    bool m_owned = false;
};

} // namespace Vexo::Platform
