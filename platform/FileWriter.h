#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace Vexo::Platform {

enum class WriteOutcome {
    Written,   // every byte is in the file and the file is closed
    NotOpened, // the file could not be created or truncated (in use, no access...)
    Incomplete // it opened, but writing, flushing or closing failed (disk full...)
};

// Creates or truncates the file and writes `bytes` to it, without locking
// other processes out of it.
WriteOutcome WriteWholeFile(const std::filesystem::path& path,
                            const std::vector<std::uint8_t>& bytes);

} // namespace Vexo::Platform
