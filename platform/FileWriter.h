#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace Vexo::Platform {

enum class WriteOutcome {
    Written,   // every byte is in the file and the file is closed
    NotOpened, // the file could not be created or opened for writing (in use, no access,
               // or a link stands there)
    Incomplete // it opened, but writing, flushing or closing failed (disk full...)
};

// Creates the file, or replaces the content of the one there, with `bytes`.
// Nobody else may write or delete it while it is written. A symbolic link,
// a reparse point or a file with more than one name at `path` is not
// written through: what it leads to is not this file's to change.
WriteOutcome WriteWholeFile(const std::filesystem::path& path,
                            const std::vector<std::uint8_t>& bytes);

// Puts a file holding `bytes` at `path` that is there whole or not at all,
// whenever the machine stops: it is written under a fresh name beside
// `path`, flushed to the disc, and only then renamed onto `path`, in place
// of whatever file or link was there (never written through).
bool WriteFileDurably(const std::wstring& path, const std::vector<std::uint8_t>& bytes);

} // namespace Vexo::Platform
