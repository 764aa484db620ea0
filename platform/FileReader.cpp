#include "platform/FileReader.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace Vexo::Platform {

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path.c_str()), std::ios::binary);
    if (!file.is_open()) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                    std::istreambuf_iterator<char>());
    if (file.bad()) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace Vexo::Platform
