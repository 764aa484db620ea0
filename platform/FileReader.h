#pragma once

#include "platform/PassingHold.h"
#include "platform/UniqueHandle.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Vexo::Platform {

// The whole content of the file at `path` (used up to its first NUL), read
// without locking anyone out; nothing when it cannot be opened or read. A
// file that someone has open for a moment without sharing it is tried again
// for up to `retryMilliseconds`.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::wstring& path,
                                                       unsigned long retryMilliseconds = tryOnce);

// The same, for a file that matters only when it holds at most `largestSize`
// bytes: a larger one is not read (nothing), and one held for a moment is
// tried again for the passing hold.
std::optional<std::vector<std::uint8_t>> ReadFileUpTo(const std::wstring& path,
                                                      std::uint64_t largestSize);

// `size` bytes from the start of the open file; nothing when they cannot be
// read, or the file ends sooner.
std::optional<std::vector<std::uint8_t>> ReadFromStart(const UniqueHandle& file,
                                                       std::uint64_t size);

} // namespace Vexo::Platform
