#pragma once

#include "log/LogLevel.h"

#include <string>

namespace Vexo::Log {

// A destination of log messages. A sink writes the level name, ": " and the
// message as received, and adds nothing after it.
class SinkInterface {
public:
    virtual ~SinkInterface() = default;
    virtual void write(LogLevel level, const std::string& message) = 0;
};

} // namespace Vexo::Log
