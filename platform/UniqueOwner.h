#pragma once

#include <utility>

namespace Vexo::Platform {

// Sole owner of a system handle; releases it exactly once. `Traits` says
// which values own nothing (IsValid) and how to release one (Release).
template <typename Handle, typename Traits> class UniqueOwner {
public:
    UniqueOwner() = default;
    explicit UniqueOwner(Handle handle) : m_handle(handle) {}
    ~UniqueOwner() { reset(); }

    UniqueOwner(const UniqueOwner&) = delete;
    UniqueOwner& operator=(const UniqueOwner&) = delete;
    UniqueOwner(UniqueOwner&& other) noexcept : m_handle(other.release()) {}
    UniqueOwner& operator=(UniqueOwner&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }

    bool valid() const { return Traits::IsValid(m_handle); }
    Handle get() const { return m_handle; }

    Handle release() { return std::exchange(m_handle, nullptr); }
    void reset(Handle handle = nullptr) {
        if (valid()) {
            Traits::Release(m_handle);
        }
        m_handle = handle;
    }

private:
    Handle m_handle = nullptr;
};

} // namespace Vexo::Platform
