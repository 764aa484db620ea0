#pragma once

#include "log/SinkInterface.h"

#include <fstream>
#include <string>

namespace Vexo::Log {

// Writes every message to a text file, which it creates or truncates when it
// is made; each "\n" is stored as CR LF. Throws std::runtime_error when the
// file cannot be opened.
class FileSink : public SinkInterface {
public:
    explicit FileSink(std::wstring path);
    ~FileSink() override;

    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    void write(LogLevel level, const std::string& message) override;

private:
    std::wstring path;
    std::fstream stream;
};

} // namespace Vexo::Log
