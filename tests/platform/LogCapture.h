#pragma once

#include "log/Logger.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

using LogLine = std::pair<LogLevel, std::string>;

// While it lives, the process-wide logger records every line, with its level,
// exactly as the code under test logged it.
class LogCapture {
public:
    LogCapture() {
        auto logger = std::make_unique<Logger>();
        logger->addSink(std::make_unique<Sink>(m_lines));
        installLogger(std::move(logger));
    }
    ~LogCapture() { installLogger(nullptr); }

    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const std::vector<LogLine>& lines() const { return *m_lines; }

private:
    class Sink : public Vexo::Log::SinkInterface {
    public:
        explicit Sink(std::shared_ptr<std::vector<LogLine>> lines) : m_lines(std::move(lines)) {}
        void write(LogLevel level, const std::string& message) override {
            m_lines->emplace_back(level, message);
        }

    private:
        std::shared_ptr<std::vector<LogLine>> m_lines;
    };

    std::shared_ptr<std::vector<LogLine>> m_lines = std::make_shared<std::vector<LogLine>>();
};

} // namespace testsupport
