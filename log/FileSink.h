#pragma once

#include "log/SinkInterface.h"
#include "platform/NewFile.h"

#include <string>

namespace Vexo::Log {

// Writes every message to a text file that it creates anew when it is made
// (what stood at the path before is replaced, never written through); each
// "\n" is stored as CR LF, and each message reaches the file at once, in one
// write. Throws std::runtime_error when the file cannot be made.
class FileSink : public SinkInterface {
public:
    explicit FileSink(std::wstring path);

    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    void write(LogLevel level, const std::string& message) override;

private:
    std::wstring path;
    Vexo::Platform::FreshFile file;
};

} // namespace Vexo::Log
