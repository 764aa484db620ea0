#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Vexo::Platform {

enum class WriteOutcome {
    Written,   // every byte is in the file at the path, and on the disc
    NotOpened, // nothing changed at the path: no new file could be made beside it, or
               // what stands there could not be replaced (in use, no access, a folder)
    Incomplete // writing or flushing the new file failed (disk full...); it is gone again
};

struct WriteResult {
    WriteOutcome outcome;
    std::int32_t windowsError; // 0 when written
};

// Puts a file holding `bytes` at `path`: written under a fresh name beside
// it, flushed, and only then renamed onto `path` in place of the file or
// link there (never written through; see FreshFile). So the path holds the
// old file or the whole new one, whenever the machine stops. A target that
// someone has open for a moment is tried again for up to `retryMilliseconds`;
// 0 tries once.
// `ownedByAdministrators`: see FreshFile::Create.
WriteResult WriteWholeFile(const std::wstring& path, const std::vector<std::uint8_t>& bytes,
                           unsigned long retryMilliseconds, bool ownedByAdministrators = false);

} // namespace Vexo::Platform
