#pragma once

#include <cstdint>

using LogLevel = std::int32_t;

namespace Vexo::Log {

inline constexpr LogLevel Info = 1;
inline constexpr LogLevel Warning = 2;
inline constexpr LogLevel Error = 3;

// "Info", "Warning", "Error", or "Unknown" for any other value.
const char* levelName(LogLevel level);

} // namespace Vexo::Log
