#include "log/LogLevel.h"

namespace Vexo::Log {

const char* levelName(LogLevel level) {
    switch (level) {
    case Info:
        return "Info";
    case Warning:
        return "Warning";
    case Error:
        return "Error";
    default:
        return "Unknown";
    }
}

} // namespace Vexo::Log
