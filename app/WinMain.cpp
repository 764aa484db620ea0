#include "app/CommandLine.h"
#include "app/RunSequence.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::string programName = "rimkit_manager";
    const CommandLineOptions options = ParseCommandLine(programName);
    if (!options.valid) {
        return -1;
    }
    return RunParsedCommandLine(options);
}
