#include "log/PrintfSink.h"

#include "platform/StandardOutput.h"

namespace Vexo::Log {

void PrintfSink::write(LogLevel level, const std::string& message) {
    Vexo::Platform::WriteToStandardOutput(std::string(levelName(level)) + ": " + message);
}

} // namespace Vexo::Log
