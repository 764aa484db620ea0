#pragma once

#include "log/SinkInterface.h"

namespace Vexo::Log {

// Writes every message to standard output, each line in one piece.
class PrintfSink : public SinkInterface {
public:
    void write(LogLevel level, const std::string& message) override;
};

} // namespace Vexo::Log
