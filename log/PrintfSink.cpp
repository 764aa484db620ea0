#include "log/PrintfSink.h"

#include <cstdio>

namespace Vexo::Log {

void PrintfSink::write(LogLevel level, const std::string& message) {
    std::printf("%s: %s", levelName(level), message.c_str());
}

} // namespace Vexo::Log
