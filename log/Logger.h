#pragma once

#include "log/LogLevel.h"
#include "log/SinkInterface.h"

#include <memory>
#include <string>
#include <vector>

// Hands every message, with its level, to each of its sinks in the order they
// were added. No level is filtered.
class Logger {
public:
    Logger() = default;
    ~Logger();

    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    void addSink(std::unique_ptr<Vexo::Log::SinkInterface> sink);
    void log(LogLevel level, const std::string& message);

private:
    std::vector<std::unique_ptr<Vexo::Log::SinkInterface>> m_sinks;
};

// The process-wide logger. Installing one destroys the one before it; the
// installed one is destroyed at process exit.
void installLogger(std::unique_ptr<Logger> logger);
Logger* currentLogger();
