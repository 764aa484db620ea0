#pragma once

#include <cstdint>
#include <functional>

namespace Vexo::Platform {

// How long a file is tried again while another program has it open for a
// moment: a virus scanner, an indexer or a backup lets go within a second or
// two of opening a file that was just written or is about to change.
inline constexpr unsigned long passingHoldMilliseconds = 3000;

// No retry: a caller that knows a hold will not pass, or that must not wait.
inline constexpr unsigned long tryOnce = 0;

// Whether a Windows error is what a file held open by someone else gives,
// so that it may pass: a sharing violation, a lock violation, or access
// denied (which Windows also gives for a file whose deletion is pending).
bool IsPassingHold(std::uint32_t windowsError);

// Runs `attempt` (0 for success, else the Windows error) again, after short
// pauses, while it fails with a passing hold, until `milliseconds` have
// passed in all; 0 tries once. Gives the last result: success or any other
// error ends it at once.
std::uint32_t RetryWhileHeld(const std::function<std::uint32_t()>& attempt,
                             unsigned long milliseconds);

} // namespace Vexo::Platform
