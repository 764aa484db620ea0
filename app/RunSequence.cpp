#include "app/RunSequence.h"

#include "app/Console.h"
#include "app/OperationStep.h"
#include "core/Text.h"
#include "log/FileSink.h"
#include "log/Log.h"
#include "log/Logger.h"
#include "log/PrintfSink.h"
#include "platform/Resources.h"
#include "platform/TemporaryFolder.h"
#include "platform/Utf8ConsoleOutput.h"

#include <cstdio>
#include <exception>
#include <memory>

namespace {

bool WantsConsole(const CommandLineOptions& options) {
    return options.console || options.status || !options.helpText.empty();
}

void LogVersion(const Vexo::Resources::Version& version) {
    logInfo("v%d.%d.%d\n", static_cast<int>(version.major), static_cast<int>(version.minor),
            static_cast<int>(version.build));
    logInfo("\n");
}

void AttachLogFile() {
    const auto folder = Vexo::Platform::TemporaryFolder();
    if (!folder) {
        logError("Failed to get temporary path.\n");
        return;
    }
    const std::wstring path = *folder + L"rimkit_manager.log";
    try {
        currentLogger()->addSink(std::make_unique<Vexo::Log::FileSink>(path));
    } catch (const std::exception& failure) {
        // Go on without the file; the message says which file and ends the line.
        logError("%s", failure.what());
        return;
    }
    logInfo("Created log file: %s\n", toNarrow(path).c_str());
}

} // namespace

int RunParsedCommandLine(const CommandLineOptions& options) {
    installLogger(std::make_unique<Logger>());
    currentLogger()->addSink(std::make_unique<Vexo::Log::PrintfSink>());

    if (WantsConsole(options)) {
        OpenConsole();
        logInfo("Console logging enabled.\n");
    }
    // After OpenConsole, which may give the process a console of its own; it
    // lasts past the key wait, so an inherited console is left as it was found.
    const Vexo::Platform::Utf8ConsoleOutput utf8Console;

    Vexo::Resources::ReadVersion().onValue(LogVersion);

    RunOutcome outcome = RunOutcome::Succeeded;
    if (!options.helpText.empty()) {
        logInfo("\n%s\n", options.helpText.c_str());
    } else {
        if (options.logfile) {
            AttachLogFile();
        }
        outcome = RunSelectedOperation(options);
    }

    std::printf("Press any key to exit.\n");
    std::fflush(stdout);
    WaitForKeyPress();
    return static_cast<int>(outcome);
}
