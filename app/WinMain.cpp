#include "app/CommandLine.h"
#include "app/RunSequence.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The tool runs elevated, often from a folder others can write to: every
    // DLL loaded later, by this code, the runtime, the shell or COM, comes
    // from the system folder only, never from the tool's or the current folder.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

    const std::string programName = "rimkit_manager";
    const CommandLineOptions options = ParseCommandLine(programName);
    if (!options.valid) {
        return -1;
    }
    return RunParsedCommandLine(options);
}
