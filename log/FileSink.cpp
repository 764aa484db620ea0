#include "log/FileSink.h"

#include "core/Text.h"

#include <filesystem>
#include <stdexcept>

namespace Vexo::Log {

FileSink::FileSink(std::wstring path) : path(std::move(path)) {
    std::fstream opened(std::filesystem::path(this->path), std::ios_base::out);
    stream = std::move(opened);
    if (!stream.is_open()) {
        throw std::runtime_error("Error: Failed to open " + toNarrow(this->path) + "\n");
    }
}

FileSink::~FileSink() {
    stream.flush();
    stream.close();
}

void FileSink::write(LogLevel level, const std::string& message) {
    const std::string line = std::string(levelName(level)) + ": " + message;
    stream.write(line.data(), static_cast<std::streamsize>(line.size()));
}

} // namespace Vexo::Log
