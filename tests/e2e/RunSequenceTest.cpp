// The tool's run from entry to exit code: options, console line, version,
// help text, log file and the final prompt, as a caller of the real
// executable sees them (standard output redirected to a pipe).
#include "support/Environment.h"
#include "support/ExpectedOutput.h"
#include "support/ToolSandbox.h"

#include "core/Text.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using testsupport::ReadFileBytes;
using testsupport::RunResult;
using testsupport::ToolSandbox;
using testsupport::WriteFileBytes;

namespace {

constexpr std::uint32_t parseFailure = 0xFFFFFFFF; // -1 as the Windows caller sees it

const std::string& versionLines = testsupport::lines::version;
const std::string& consoleLine = testsupport::lines::console;
const std::string& prompt = testsupport::lines::prompt;

const std::string helpText =
    "Usage: rimkit_manager [-h] [--install] [--uninstall] [--console] [--path VAR] [--status] "
    "[--logfile] [--help]\r\n"
    "\r\n"
    "Optional arguments:\r\n"
    "  -h, --help     \tshows help message and exits \r\n"
    "  -v, --version  \tprints version information and exits \r\n"
    "  -i, --install  \tInstall the Rimkit (required administrator privileges). \r\n"
    "  -u, --uninstall\tUninstall the Rimkit (required administrator privileges). \r\n"
    "  -c, --console  \tConsole output. Without this option the application runs silently. \r\n"
    "  -p, --path     \tWhere to put the Rimkit on the file system. [default: \"\"]\r\n"
    "  -s, --status   \tPrint the current status of the system to the console. \r\n"
    "  -l, --logfile  \tCreates a log file in the temp folder. \r\n"
    "  -?, -h, --help \tShow this help text. \r\n";

std::wstring TemporaryFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, buffer);
    return buffer;
}

std::wstring LogFilePath() {
    return TemporaryFolder() + L"rimkit_manager.log";
}

void RemoveLogFile() {
    std::error_code ignored;
    std::filesystem::remove_all(LogFilePath(), ignored);
}

class RunSequence : public ::testing::Test {
protected:
    void SetUp() override { RemoveLogFile(); }
    void TearDown() override { RemoveLogFile(); }

    const ToolSandbox tool{L"C:\\Tools\\Run sequence"};
};

struct Scenario {
    const char* name;
    const wchar_t* arguments;
    std::uint32_t exitCode;
    std::string output;
};

const Scenario scenarios[] = {
    {"no options", L"", 0, versionLines + prompt},
    {"console", L"--console", 0, consoleLine + versionLines + prompt},
    {"console, short name", L"-c", 0, consoleLine + versionLines + prompt},
    {"help with operations", L"--help --install --logfile", 0,
     consoleLine + versionLines + "Info: \r\n" + helpText + "\r\n" + prompt},
    {"question mark help", L"-?", 0,
     consoleLine + versionLines + "Info: \r\n" + helpText + "\r\n" + prompt},
    {"built-in version", L"-v", 0, "1.0\r\n"},
    {"built-in version, long name", L"--version --install", 0, "1.0\r\n"},
    {"undefined option", L"--bogus", parseFailure, ""},
    {"bare word", L"install", parseFailure, ""},
    {"repeated option", L"--install --install", parseFailure, ""},
    {"path without its value", L"--path --install", parseFailure, ""},
};

} // namespace

TEST_F(RunSequence, OutputAndExitCodeForEachCommandLine) {
    for (const auto& scenario : scenarios) {
        SCOPED_TRACE(scenario.name);
        const RunResult run = tool.Run(scenario.arguments);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, scenario.exitCode);
        EXPECT_EQ(run.output, scenario.output);
        // Neither a failed parse nor help nor the version option makes a log file.
        EXPECT_FALSE(testsupport::PathExists(LogFilePath()));
    }
}

TEST_F(RunSequence, NothingButHelpRunsWhenHelpIsAsked) {
    const RunResult run = tool.Run(L"-h --install --status");
    EXPECT_EQ(run.output, consoleLine + versionLines + "Info: \r\n" + helpText + "\r\n" + prompt);
    EXPECT_FALSE(testsupport::PathExists(tool.folder() + L"\\9_1_1"));
}

namespace {

// The usage block of the deployment guide (docs/deploying.md), the one that
// starts with the usage line, with the line ends the tool writes.
std::string DocumentedUsageBlock() {
    const std::string guide = ReadFileBytes(testsupport::BuildPath("RIMKIT_DEPLOYING_DOC"));
    const std::string opening = "```\nUsage: rimkit_manager ";
    const auto start = guide.find(opening);
    const auto end = start == std::string::npos ? start : guide.find("\n```\n", start);
    if (end == std::string::npos) {
        return "(no usage block in docs/deploying.md)";
    }
    std::string block;
    for (char c : guide.substr(start + 4, end + 1 - (start + 4))) {
        block += c == '\n' ? "\r\n" : std::string(1, c);
    }
    return block;
}

} // namespace

TEST_F(RunSequence, DocumentedUsageIsTheHelpTextTheToolLogs) {
    EXPECT_EQ(tool.Run(L"--help").output,
              consoleLine + versionLines + "Info: \r\n" + DocumentedUsageBlock() + "\r\n" + prompt);
}

namespace {

const std::wstring otherFile = L"another_program.txt";
const std::string otherContent = "not the tool's\r\n";

// Wine's CreateSymbolicLinkW makes nothing, but Wine shows a Unix symbolic
// link as one: `ln` makes it.
void LinkLogPathTo(const std::wstring& target) {
    testsupport::RunUnixTool("RIMKIT_UNIX_LN", L"-sf " + target + L" rimkit_manager.log",
                             TemporaryFolder(),
                             [] { return testsupport::PathExists(LogFilePath()); });
}

struct LogFileCase {
    const char* name;
    const wchar_t* option;
    void (*prepare)();  // what stands at the log path before the run
    bool created;       // a log file of the run's own is there afterwards
    bool otherFileKept; // the other file is there afterwards, unchanged
};

// Symbolic links last: under Wine, removing a link that a failed run left
// behind removes what it points to, and the link stays.
const LogFileCase logFileCases[] = {
    {"a file left over from an earlier run", L"--logfile",
     [] { WriteFileBytes(LogFilePath(), "left over from an earlier run\r\n"); }, true, true},
    {"a hard link to another file", L"-l",
     [] {
         CreateHardLinkW(LogFilePath().c_str(), (TemporaryFolder() + otherFile).c_str(), nullptr);
     },
     true, true},
    {"a folder where the file should be", L"-l",
     [] { std::filesystem::create_directories(LogFilePath()); }, false, true},
    {"a symbolic link to another file", L"--logfile", [] { LinkLogPathTo(otherFile); }, true, true},
    {"a symbolic link to a file that is gone", L"--logfile",
     [] {
         LinkLogPathTo(otherFile);
         DeleteFileW((TemporaryFolder() + otherFile).c_str());
     },
     true, false},
};

// Anything but the log itself whose name starts like the log's, such as a
// new file that was never put in place.
bool AnythingBesideTheLog() {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((LogFilePath() + L"*").c_str(), &found);
    bool beside = false;
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
        beside = beside || std::wstring(found.cFileName) != L"rimkit_manager.log";
    }
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
    }
    return beside;
}

} // namespace

TEST_F(RunSequence, LogFileIsANewFileOfItsOwnWhateverStoodAtItsPath) {
    const std::string createdLine = "Info: Created log file: " + toNarrow(LogFilePath()) + "\r\n";
    const std::string openError =
        "Error: Error: Failed to open " + toNarrow(LogFilePath()) + "\r\n";
    for (const auto& row : logFileCases) {
        SCOPED_TRACE(row.name);
        RemoveLogFile();
        WriteFileBytes(TemporaryFolder() + otherFile, otherContent);
        row.prepare();

        const RunResult run = tool.Run(row.option);

        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_EQ(run.output, versionLines + (row.created ? createdLine : openError) + prompt);
        if (row.created) {
            // The console and version lines came before the file existed.
            EXPECT_EQ(ReadFileBytes(LogFilePath()), createdLine);
        }
        // Nothing that a link pointed to was written, made or removed.
        if (row.otherFileKept) {
            EXPECT_EQ(ReadFileBytes(TemporaryFolder() + otherFile), otherContent);
        } else {
            EXPECT_FALSE(testsupport::PathExists(TemporaryFolder() + otherFile));
        }
        EXPECT_FALSE(AnythingBesideTheLog());
    }
}
