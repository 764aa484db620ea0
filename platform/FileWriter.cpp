#include "platform/FileWriter.h"

#include <fstream>

namespace Vexo::Platform {

WriteOutcome WriteWholeFile(const std::filesystem::path& path,
                            const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file.is_open()) {
        return WriteOutcome::NotOpened;
    }
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.flush();
    const bool writtenAndFlushed = file.good();
    file.close();
    return writtenAndFlushed && !file.fail() ? WriteOutcome::Written : WriteOutcome::Incomplete;
}

} // namespace Vexo::Platform
