#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Vexo::Platform {

enum class FileReadProblem {
    None,
    Missing,         // nothing is there
    Link,            // a symbolic link or junction, or reached through one
    SecondName,      // the file has another name, which someone else may own
    OthersCanChange, // its owner or access list lets others change it
    TooLarge,        // more bytes than the caller takes
    Unreadable,      // it cannot be opened or read, or it is a folder
};

struct ProtectedFile {
    FileReadProblem problem;
    std::uint32_t windowsError; // of the call that failed; 0 otherwise
    std::vector<std::uint8_t> bytes;
};

// Reads a file that only administrators may have made, judged and read
// through one handle, so that nothing can be swapped in between: it is no
// link, has no second name, only trusted accounts may change it, and it holds
// at most `maxBytes`. Others may read it meanwhile, not write it. A sharing
// violation (Unreadable) is the caller's to retry.
ProtectedFile ReadProtectedFile(const std::wstring& path, std::uint64_t maxBytes);

} // namespace Vexo::Platform
