#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Vexo::Platform {

// The whole content of the file at `path`, read without locking anyone out;
// nothing when it cannot be opened or read.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::wstring& path);

} // namespace Vexo::Platform
