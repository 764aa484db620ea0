#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Vexo::Platform {

enum class FileReadProblem {
    None,
    Missing,
    Link,
    SecondName,
    OthersCanChange,
    TooLarge,
    Unreadable
};

struct ProtectedFile {
    FileReadProblem problem;
    std::uint32_t windowsError;
    std::vector<std::uint8_t> bytes;
};

ProtectedFile ReadProtectedFile(const std::wstring& path, std::uint64_t maxBytes);

} // namespace Vexo::Platform
