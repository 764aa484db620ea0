#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

CommandLineOptions Parse(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "C:\\Tools\\rimkit_manager.exe");
    return ParseArguments("rimkit_manager", arguments);
}

// Every field but `error` as one text, so that a mismatch shows them all.
std::string Fields(const CommandLineOptions& o) {
    return std::string(o.valid ? "valid" : "invalid") + (o.install ? " install" : "") +
           (o.uninstall ? " uninstall" : "") + (o.status ? " status" : "") +
           (o.console ? " console" : "") + (o.logfile ? " logfile" : "") +
           (o.path.empty() ? "" : " path=" + o.path.string()) + (o.helpText.empty() ? "" : " help");
}

using Case = std::pair<std::vector<std::string>, std::string>;

} // namespace

TEST(CommandLine, AcceptedArgumentsSetTheirFields) {
    const Case cases[] = {
        {{}, "valid"},
        {{"--install", "--logfile"}, "valid install logfile"},
        {{"-iu"}, "valid install uninstall"},
        {{"-c", "-s", "--uninstall"}, "valid uninstall status console"},
        {{"--path", "C:\\Some Folder"}, "valid path=C:\\Some Folder"},
        {{"-p", "D:\\x", "-l"}, "valid logfile path=D:\\x"},
        {{"--console", "--path"}, "valid console"},
        {{"-?"}, "valid help"},
        {{"-h", "--install"}, "valid install help"},
    };
    for (const auto& [arguments, fields] : cases) {
        const CommandLineOptions options = Parse(arguments);
        EXPECT_EQ(Fields(options), fields) << ::testing::PrintToString(arguments);
        EXPECT_EQ(options.error, "") << ::testing::PrintToString(arguments);
    }
}

TEST(CommandLine, RejectedArgumentsLeaveOnlyTheParserMessage) {
    const Case cases[] = {
        {{"--frobnicate"}, "Unknown argument: --frobnicate"},
        {{"-ix"}, "Unknown argument: -ix"},
        {{"install"}, "Maximum number of positional arguments exceeded"},
        {{""}, "Maximum number of positional arguments exceeded"},
        {{"--install", "--install"}, "Duplicate argument"},
        {{"-c", "--path", "--install"}, "Too few arguments"},
    };
    for (const auto& [arguments, message] : cases) {
        const CommandLineOptions options = Parse(arguments);
        EXPECT_EQ(Fields(options), "invalid") << ::testing::PrintToString(arguments);
        EXPECT_EQ(options.error, message) << ::testing::PrintToString(arguments);
    }
    EXPECT_FALSE(ParseArguments("rimkit_manager", {}).valid);
}

TEST(CommandLine, PathKeepsNonAsciiCharacters) {
    const auto options = Parse({"--path", "C:\\Pr\xC3\xB3gramm\xC3\xA9\\\xE6\x97\xA5\xE6\x9C\xAC"});
    ASSERT_TRUE(options.valid) << options.error;
    EXPECT_EQ(options.path.wstring(), L"C:\\Pr\u00f3gramm\u00e9\\\u65e5\u672c");
}

TEST(CommandLine, HelpTextHasTheUsageAndOneLinePerOption) {
    const std::string help = Parse({"-?"}).helpText;
    EXPECT_EQ(help.rfind("Usage: rimkit_manager ", 0), 0u) << help;
    // Each option line: two spaces, the names padded with spaces, a tab, the help.
    std::vector<std::string> optionLines;
    for (auto at = help.find("\n  -"); at != std::string::npos; at = help.find("\n  -", at + 1)) {
        std::string names = help.substr(at + 3, help.find('\t', at) - at - 3);
        optionLines.push_back(names.erase(names.find_last_not_of(' ') + 1));
    }
    EXPECT_EQ(optionLines,
              (std::vector<std::string>{"-h, --help", "-v, --version", "-i, --install",
                                        "-u, --uninstall", "-c, --console", "-p, --path",
                                        "-s, --status", "-l, --logfile", "-?, -h, --help"}))
        << help;
}
