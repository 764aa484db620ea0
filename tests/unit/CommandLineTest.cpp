#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <random>
#include <string>
#include <tuple>
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

namespace {

// Set while random lists are parsed: a parse that ends the process would
// otherwise end the suite with exit code 0, as if every test had passed.
bool parsingRandomLists = false;

void FailWhenParsingRandomLists() {
    if (parsingRandomLists) {
        std::fputs("the parser ended the process\n", stderr);
        std::_Exit(3);
    }
}

struct ParsingRandomLists {
    ParsingRandomLists() { parsingRandomLists = true; }
    ~ParsingRandomLists() { parsingRandomLists = false; }
    ParsingRandomLists(const ParsingRandomLists&) = delete;
    ParsingRandomLists& operator=(const ParsingRandomLists&) = delete;
};

// One argument. The parser's built-in -v/--version prints and ends the
// process, also inside joined flags (-iv) or with a value (--version=1), so
// no argument that starts with '-' holds a 'v'.
std::string RandomArgument(std::mt19937& random) {
    static const char* const options[] = {
        "-i",        "-u",     "-c",         "-p",       "-s",        "-l",     "-?",
        "-h",        "--path", "--install",  "--status", "--console", "--help", "--logfile",
        "--path=C:", "-p=",    "--install=", "--",       "-",         "--frob", "-x"};
    static const char* const words[] = {"",
                                        "install",
                                        "/install",
                                        "C:\\Program Files\\Rimkit",
                                        "%ProgramFiles%\\Rimkit",
                                        "Pr\xC3\xB3gramm\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC",
                                        "\xF0\x9F\x98\x80-\xE2\x80\x94install",
                                        "\xFF\xFE\xC3(bad UTF-8)"};
    std::string argument;
    const auto pick = random() % 40;
    if (pick < 20) {
        argument = options[random() % std::size(options)];
    } else if (pick < 27) {
        argument = "-";
        for (auto count = 1 + random() % 5; count > 0; --count) {
            argument += "iucslph?xw"[random() % 10];
        }
    } else if (pick < 33) {
        argument = words[random() % std::size(words)];
    } else if (pick < 39) {
        for (auto count = random() % 12; count > 0; --count) {
            argument += static_cast<char>(1 + random() % 255); // arguments never hold a NUL
        }
    } else {
        argument = std::string(random() % 3, '-') + std::string(random() % 70000, 'a');
    }
    if (!argument.empty() && argument.front() == '-') {
        std::replace(argument.begin(), argument.end(), 'v', 'w');
    }
    return argument;
}

bool SameRecord(const CommandLineOptions& a, const CommandLineOptions& b) {
    return std::tie(a.valid, a.error, a.install, a.uninstall, a.status, a.console, a.logfile,
                    a.helpText) == std::tie(b.valid, b.error, b.install, b.uninstall, b.status,
                                            b.console, b.logfile, b.helpText) &&
           a.path.native() == b.path.native();
}

} // namespace

TEST(CommandLine, RandomArgumentListsParseTheSameWayEveryTime) {
    static const int registered = std::atexit(FailWhenParsingRandomLists);
    ASSERT_EQ(registered, 0);
    const ParsingRandomLists parsing;
    unsigned validLists = 0;
    constexpr unsigned firstSeed = 1000;
    constexpr unsigned lists = 20000;
    for (unsigned seed = firstSeed; seed < firstSeed + lists; ++seed) {
        std::mt19937 random(seed);
        std::vector<std::string> arguments(random() % 9);
        for (auto& argument : arguments) {
            argument = RandomArgument(random);
        }
        CommandLineOptions first;
        CommandLineOptions second;
        ASSERT_NO_THROW(first = Parse(arguments)) << "seed " << seed;
        ASSERT_NO_THROW(second = Parse(arguments)) << "seed " << seed;
        ASSERT_TRUE(SameRecord(first, second)) << "seed " << seed;
        validLists += first.valid ? 1 : 0;
        // A failed parse leaves the parser's message and nothing else.
        CommandLineOptions failed;
        failed.error = first.error;
        ASSERT_TRUE(first.valid ? first.error.empty()
                                : SameRecord(first, failed) && !first.error.empty())
            << "seed " << seed;
    }
    // About one list in six is valid; far fewer would leave the options untried.
    EXPECT_GT(validLists, lists / 10);
}
