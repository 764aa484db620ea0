#pragma once

#include <windows.h>

#include <utility>

namespace Vexo::Platform {

// Sole owner of a loaded DLL; frees it exactly once.
class UniqueModule {
public:
    UniqueModule() = default;
    explicit UniqueModule(HMODULE module) : m_module(module) {}
    ~UniqueModule() { reset(); }

    UniqueModule(const UniqueModule&) = delete;
    UniqueModule& operator=(const UniqueModule&) = delete;
    UniqueModule(UniqueModule&& other) noexcept : m_module(other.release()) {}
    UniqueModule& operator=(UniqueModule&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }

    bool valid() const { return m_module != nullptr; }
    HMODULE get() const { return m_module; }

    HMODULE release() { return std::exchange(m_module, nullptr); }
    void reset(HMODULE module = nullptr) {
        if (valid()) {
            FreeLibrary(m_module);
        }
        m_module = module;
    }

private:
    HMODULE m_module = nullptr;
};

} // namespace Vexo::Platform
