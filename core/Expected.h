#pragma once

#include "core/Error.h"

#include <functional>
#include <optional>
#include <stdexcept>
#include <utility>

// The result of an operation that can fail: a value or a Vexo::Error.
template <typename T> class Expected {
public:
    Expected(T value) : m_value(std::move(value)) {}
    Expected(const Vexo::Error& error) : m_error(error) {}

    bool hasValue() const { return m_value.has_value(); }
    bool hasError() const { return m_error.has_value(); }

    T& value() {
        if (!m_value) {
            throw std::runtime_error("Expected: Has no value.");
        }
        return *m_value;
    }
    const T& value() const {
        if (!m_value) {
            throw std::runtime_error("Expected: Has no value.");
        }
        return *m_value;
    }

    // Callers test hasError() first.
    const Vexo::Error& error() const { return *m_error; }

    Expected& onValue(const std::function<void(const T&)>& callback) {
        if (m_value) {
            callback(*m_value);
        }
        return *this;
    }

    Expected& onError(const std::function<void(const Vexo::Error&)>& callback) {
        if (m_error) {
            callback(*m_error);
        }
        return *this;
    }

private:
    // Declared value first, so that the error is destroyed first.
    std::optional<T> m_value;
    std::optional<Vexo::Error> m_error;
};
