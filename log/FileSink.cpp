#include "log/FileSink.h"

#include "core/Text.h"

#include <stdexcept>

namespace Vexo::Log {

namespace {

Vexo::Platform::FreshFile CreateOrThrow(const std::wstring& path) {
    auto created = Vexo::Platform::CreateNewFile(path);
    if (created.hasError()) {
        throw std::runtime_error("Error: Failed to open " + toNarrow(path) + "\n");
    }
    return std::move(created.value());
}

} // namespace

FileSink::FileSink(std::wstring path) : path(std::move(path)), file(CreateOrThrow(this->path)) {}

void FileSink::write(LogLevel level, const std::string& message) {
    std::string bytes;
    for (const char c : std::string(levelName(level)) + ": " + message) {
        if (c == '\n') {
            bytes += '\r';
        }
        bytes += c;
    }
    // A log that cannot be written has nowhere to report that.
    file.Append(bytes);
}

} // namespace Vexo::Log
