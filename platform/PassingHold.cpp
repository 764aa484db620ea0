#include "platform/PassingHold.h"

#include <windows.h>

#include <algorithm>
#include <chrono>

namespace Vexo::Platform {

bool IsPassingHold(std::uint32_t windowsError) {
    return windowsError == ERROR_SHARING_VIOLATION || windowsError == ERROR_ACCESS_DENIED ||
           windowsError == ERROR_LOCK_VIOLATION;
}

std::uint32_t RetryWhileHeld(const std::function<std::uint32_t()>& attempt,
                             unsigned long milliseconds) {
    // Short pauses: the file is used as soon as it is free, and a hold that
    // never passes costs little more than the limit.
    constexpr unsigned long pause = 50;
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        const std::uint32_t result = attempt();
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - start)
                                .count();
        if (!IsPassingHold(result) || waited >= static_cast<long long>(milliseconds)) {
            return result;
        }
        Sleep(std::min(pause, milliseconds - static_cast<unsigned long>(waited)));
    }
}

} // namespace Vexo::Platform
