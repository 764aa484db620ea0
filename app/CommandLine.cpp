#include "app/CommandLine.h"

#include "core/Text.h"
#include "platform/ProcessArguments.h"

#include <exception>

namespace {

void AddFlag(argparse::ArgumentParser& parser, const char* help, const char* shortName,
             const char* longName) {
    parser.add_argument(shortName, longName).help(help).default_value(false).implicit_value(true);
}

bool FlagIsSet(const argparse::ArgumentParser& parser, const char* longName) {
    return parser[longName] == true;
}

} // namespace

argparse::ArgumentParser CreateParser(const std::string& programName) {
    // One named parser returned from one place: the library's built-in
    // options keep a pointer to the object they were defined on.
    argparse::ArgumentParser parser(programName, "1.0");
    AddFlag(parser, "Install the Rimkit (required administrator privileges).", "-i", "--install");
    AddFlag(parser, "Uninstall the Rimkit (required administrator privileges).", "-u",
            "--uninstall");
    AddFlag(parser, "Console output. Without this option the application runs silently.", "-c",
            "--console");
    parser.add_argument("-p", "--path")
        .help("Where to put the Rimkit on the file system.")
        .default_value(std::string());
    AddFlag(parser, "Print the current status of the system to the console.", "-s", "--status");
    AddFlag(parser, "Creates a log file in the temp folder.", "-l", "--logfile");
    parser.add_argument("-?", "-h", "--help")
        .help("Show this help text.")
        .default_value(false)
        .implicit_value(true);
    return parser;
}

CommandLineOptions ParseArguments(const std::string& programName,
                                  const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        return CommandLineOptions{};
    }
    argparse::ArgumentParser parser = CreateParser(programName);
    CommandLineOptions options;
    try {
        parser.parse_args(arguments);
        options.valid = true;
        options.install = FlagIsSet(parser, "--install");
        options.uninstall = FlagIsSet(parser, "--uninstall");
        options.console = FlagIsSet(parser, "--console");
        options.path = toWide(parser.get<std::string>("--path"));
        options.status = FlagIsSet(parser, "--status");
        options.logfile = FlagIsSet(parser, "--logfile");
        if (FlagIsSet(parser, "--help")) {
            options.helpText = parser.help().str();
        }
    } catch (const std::exception& failure) {
        // The library reports bad input with several exception types; any of
        // them means the command line is unusable.
        options = CommandLineOptions{};
        options.error = failure.what();
    }
    return options;
}

CommandLineOptions ParseCommandLine(const std::string& programName) {
    const auto wideArguments = Vexo::Platform::ReadProcessArguments();
    if (!wideArguments) {
        CommandLineOptions options;
        options.error = "Cannot parse command line!";
        return options;
    }
    std::vector<std::string> arguments;
    arguments.reserve(wideArguments->size());
    for (const auto& argument : *wideArguments) {
        arguments.push_back(toNarrow(argument));
    }
    return ParseArguments(programName, arguments);
}
