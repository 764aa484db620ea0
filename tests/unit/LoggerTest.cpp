#include "log/FileSink.h"
#include "log/Log.h"
#include "log/Logger.h"
#include "log/PrintfSink.h"

#include "core/Text.h"
#include "support/Environment.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

using testsupport::ReadFileBytes;

namespace {

std::wstring TemporaryFile(const wchar_t* name) {
    wchar_t folder[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, folder);
    return std::wstring(folder) + name;
}

class RecordingSink : public Vexo::Log::SinkInterface {
public:
    RecordingSink(std::string name, std::vector<std::string>& journal)
        : m_name(std::move(name)), m_journal(journal) {}
    void write(LogLevel level, const std::string& message) override {
        m_journal.push_back(m_name + " " + std::to_string(level) + " " + message);
    }

private:
    std::string m_name;
    std::vector<std::string>& m_journal;
};

class Logging : public ::testing::Test {
protected:
    void TearDown() override {
        installLogger(nullptr);
        DeleteFileW(logPath.c_str());
    }

    const std::wstring logPath = TemporaryFile(L"rimkit_unit_log.txt");
    std::vector<std::string> journal;
};

} // namespace

TEST_F(Logging, FileSinkTruncatesAndStoresEachMessageWithCrLfLineEnds) {
    testsupport::WriteFileBytes(logPath, "older and longer content to be dropped");
    const std::string stored = "Info: started\r\nWarning: 50% done, %s stays\r\n"
                               "Error: two\r\nlines\r\nUnknown: zero\r\nUnknown: ";
    {
        Vexo::Log::FileSink sink(logPath);
        sink.write(Vexo::Log::Info, "started\n");
        sink.write(Vexo::Log::Warning, "50% done, %s stays\n");
        sink.write(Vexo::Log::Error, "two\nlines\n");
        sink.write(0, "zero\n");
        sink.write(4, "");
        // Others may read it meanwhile, and every message is in it already.
        EXPECT_EQ(ReadFileBytes(logPath), stored);
    }
    EXPECT_EQ(ReadFileBytes(logPath), stored);
}

TEST_F(Logging, FileSinkThatCannotOpenThrows) {
    const std::wstring path = TemporaryFile(L"no such folder\\rimkit.log");
    try {
        Vexo::Log::FileSink sink(path);
        FAIL() << "opened " << toNarrow(path);
    } catch (const std::runtime_error& failure) {
        EXPECT_EQ(std::string(failure.what()), "Error: Failed to open " + toNarrow(path) + "\n");
    }
}

TEST_F(Logging, PrintfSinkPrintsLevelNameAndMessageUnchanged) {
    // Standard output goes to a binary file meanwhile, to see printf's bytes.
    std::fflush(stdout);
    const int savedStdout = _dup(_fileno(stdout));
    const int file =
        _wopen(logPath.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
    _dup2(file, _fileno(stdout));
    _close(file);
    Vexo::Log::PrintfSink sink;
    sink.write(Vexo::Log::Error, "100% %s %d\n");
    sink.write(Vexo::Log::Info, "");
    sink.write(-1, "x");
    std::fflush(stdout);
    _dup2(savedStdout, _fileno(stdout));
    _close(savedStdout);

    EXPECT_EQ(ReadFileBytes(logPath), "Error: 100% %s %d\nInfo: Unknown: x");
}

TEST_F(Logging, FormattedMessagesReachEverySinkInTheOrderAdded) {
    auto logger = std::make_unique<Logger>();
    logger->addSink(std::make_unique<RecordingSink>("first", journal));
    logger->addSink(std::make_unique<RecordingSink>("second", journal));
    installLogger(std::move(logger));

    logInfo("v%d.%d", 9, 1);
    logWarning("%s", "");
    logError("%d%%", 5);
    logMessage(7, "custom");

    EXPECT_EQ(journal, (std::vector<std::string>{"first 1 v9.1", "second 1 v9.1", "first 2 ",
                                                 "second 2 ", "first 3 5%", "second 3 5%",
                                                 "first 7 custom", "second 7 custom"}));
}

TEST_F(Logging, InstallingAnotherLoggerClosesTheFirstOnesFile) {
    auto first = std::make_unique<Logger>();
    first->addSink(std::make_unique<Vexo::Log::FileSink>(logPath));
    installLogger(std::move(first));
    logInfo("kept\n");

    installLogger(std::make_unique<Logger>());
    // Complete now, not only at process exit.
    EXPECT_EQ(ReadFileBytes(logPath), "Info: kept\r\n");
    // The new logger has no sinks and still takes messages.
    EXPECT_NO_THROW(logError("dropped"));
    EXPECT_EQ(ReadFileBytes(logPath), "Info: kept\r\n");
}
