#pragma once

#include <functional>
#include <utility>

// Scope guard: runs its callback once when the owning scope ends, on every
// path out of it. A guard may be declared empty and armed later by assigning
// a guard made from a callback; the two exchange their callbacks.
class OnExit {
public:
    OnExit() = default;
    explicit OnExit(std::function<void()> callback) : m_callback(std::move(callback)) {}

    OnExit(const OnExit&) = delete;
    OnExit& operator=(const OnExit&) = delete;

    OnExit& operator=(OnExit&& other) noexcept {
        std::swap(m_callback, other.m_callback);
        return *this;
    }

    ~OnExit() {
        if (!m_callback) {
            return;
        }
        // A guard runs while its scope unwinds; nothing may escape it.
        try {
            m_callback();
        } catch (...) {
        }
    }

private:
    std::function<void()> m_callback;
};
