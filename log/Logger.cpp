#include "log/Logger.h"

#include <utility>

namespace {
std::unique_ptr<Logger> processLogger;
}

Logger::~Logger() {
    // First added, first destroyed: standard output is done before the file.
    for (auto& sink : m_sinks) {
        sink.reset();
    }
}

void Logger::addSink(std::unique_ptr<Vexo::Log::SinkInterface> sink) {
    m_sinks.push_back(std::move(sink));
}

void Logger::log(LogLevel level, const std::string& message) {
    for (const auto& sink : m_sinks) {
        sink->write(level, message);
    }
}

void installLogger(std::unique_ptr<Logger> logger) {
    auto previous = std::exchange(processLogger, std::move(logger));
    previous.reset();
}

Logger* currentLogger() {
    return processLogger.get();
}
